// SPDX-License-Identifier: MIT
#include "TelnetCodec.h"

using namespace Telnet;

void TelnetDecoder::TakeCommand(uint8_t byte, std::vector<uint8_t>& data)
{
    if (byte == IAC) {
        data.push_back(IAC);  // a doubled 0xFF is one data byte
        Now = State::Data;
    } else if (byte >= WILL) {
        Verb = byte;
        Now = State::Option;
    } else if (byte == SB) {
        Now = State::SubOption;
    } else {
        Now = State::Data;  // NOP, GA, a stray SE and the like
    }
}

void TelnetDecoder::Feed(const uint8_t* bytes, size_t count, std::vector<uint8_t>& data,
                         std::vector<TelnetCommand>& commands)
{
    for (size_t i = 0; i < count; ++i) {
        const uint8_t byte = bytes[i];
        switch (Now) {
        case State::Data:
            if (byte == IAC)
                Now = State::Command;
            else
                data.push_back(byte);
            break;
        case State::Command: TakeCommand(byte, data); break;
        case State::Option:
            commands.push_back({false, Verb, byte});
            Now = State::Data;
            break;
        case State::SubOption:
            Sub = {true, SB, byte};
            Now = State::SubData;
            break;
        case State::SubData:
            if (byte == IAC)
                Now = State::SubCommand;
            else if (Sub.Payload.size() < PayloadLimit)
                Sub.Payload.push_back(byte);
            break;
        case State::SubCommand:
            if (byte == IAC) {
                if (Sub.Payload.size() < PayloadLimit)
                    Sub.Payload.push_back(IAC);
                Now = State::SubData;
            } else if (byte == SE) {
                commands.push_back(std::move(Sub));
                Sub = {};
                Now = State::Data;
            } else {
                // A server that never ends its subnegotiation: drop it and read the byte as the
                // command it starts, so that the stream does not stay swallowed.
                Sub = {};
                TakeCommand(byte, data);
            }
            break;
        }
    }
}

void AppendTelnetData(const uint8_t* bytes, size_t count, std::vector<uint8_t>& out)
{
    for (size_t i = 0; i < count; ++i) {
        out.push_back(bytes[i]);
        if (bytes[i] == IAC)
            out.push_back(IAC);
    }
}

void AppendNegotiation(uint8_t verb, uint8_t option, std::vector<uint8_t>& out)
{
    out.insert(out.end(), {IAC, verb, option});
}

void AppendSubnegotiation(uint8_t option, const std::vector<uint8_t>& payload,
                          std::vector<uint8_t>& out)
{
    out.insert(out.end(), {IAC, SB, option});
    AppendTelnetData(payload.data(), payload.size(), out);
    out.insert(out.end(), {IAC, SE});
}
