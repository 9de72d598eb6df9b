// SPDX-License-Identifier: MIT
#include "ComPortClient.h"

using namespace Telnet;
using namespace ComPort;

namespace {

// Options this client performs when asked, and options it lets the server perform.
bool WeMay(uint8_t option)
{
    return option == BINARY || option == SUPPRESS_GO_AHEAD || option == COM_PORT_OPTION;
}

bool TheyMay(uint8_t option)
{
    return option == BINARY || option == SUPPRESS_GO_AHEAD;
}

// The protocol's codes for the platform's parity and stop-bit codes; 0: none.
uint8_t ParityCode(uint8_t parity)
{
    return parity <= SPACEPARITY ? static_cast<uint8_t>(parity + 1) : 0;
}

uint8_t StopSizeCode(uint8_t stopBits)
{
    switch (stopBits) {
    case ONESTOPBIT: return 1;
    case TWOSTOPBITS: return 2;
    case ONE5STOPBITS: return 3;
    default: return 0;
    }
}

std::string Words(uint8_t command, uint32_t value)
{
    const std::string number = std::to_string(value);
    switch (command) {
    case SET_BAUDRATE: return number + " baud";
    case SET_DATASIZE: return number + " data bits";
    case SET_PARITY: {
        static const char* const names[] = {"no parity", "odd parity", "even parity", "mark parity",
                                            "space parity"};
        return value >= 1 && value <= 5 ? names[value - 1] : "parity code " + number;
    }
    case SET_STOPSIZE:
        return value == 1   ? "1 stop bit"
               : value == 2 ? "2 stop bits"
               : value == 3 ? "1.5 stop bits"
                            : "stop-bit code " + number;
    case SET_CONTROL:
        return value == NO_FLOW_CONTROL ? "no flow control"
               : value == 2             ? "XON/XOFF flow control"
               : value == 3             ? "hardware flow control"
                                        : "flow control code " + number;
    default: return "setting " + std::to_string(command) + " " + number;
    }
}

}  // namespace

void ComPortClient::Open(std::vector<uint8_t>& out)
{
    Ours[BINARY] = Agreement::Asked;
    Theirs[BINARY] = Agreement::Asked;
    Ours[COM_PORT_OPTION] = Agreement::Asked;
    AppendNegotiation(WILL, BINARY, out);
    AppendNegotiation(DO, BINARY, out);
    AppendNegotiation(WILL, COM_PORT_OPTION, out);
}

void ComPortClient::Take(const TelnetCommand& command, std::vector<uint8_t>& out)
{
    HeardServer = true;
    if (!command.Subnegotiation)
        TakeNegotiation(command.Verb, command.Option, out);
    else if (command.Option == COM_PORT_OPTION)
        TakeComPort(command.Payload);
    // Subnegotiations of other options: none was agreed to, so there is nothing to answer.
}

// An answer is sent only when the state changes, so two sides never echo each other.
void ComPortClient::TakeNegotiation(uint8_t verb, uint8_t option, std::vector<uint8_t>& out)
{
    const bool ours = verb == DO || verb == DONT;
    Agreement& state = ours ? Ours[option] : Theirs[option];
    const bool enable = verb == DO || verb == WILL;
    const bool allowed = ours ? WeMay(option) : TheyMay(option);
    if (enable) {
        if (state == Agreement::Yes)
            return;
        if (allowed) {
            if (state == Agreement::No)
                AppendNegotiation(ours ? WILL : DO, option, out);
            state = Agreement::Yes;
        } else {
            AppendNegotiation(ours ? WONT : DONT, option, out);
        }
        return;
    }
    if (state == Agreement::No)
        return;
    if (state == Agreement::Yes)
        AppendNegotiation(ours ? WONT : DONT, option, out);
    state = Agreement::No;
    if (option == BINARY || (ours && option == COM_PORT_OPTION))
        Refuse(option);
}

void ComPortClient::Refuse(uint8_t option)
{
    if (Refusal.empty())
        Refusal = option == BINARY ? "binary transmission" : "the COM-PORT-OPTION";
}

void ComPortClient::TakeComPort(const std::vector<uint8_t>& payload)
{
    if (payload.empty() || payload[0] < ServerOffset)
        return;
    const uint8_t command = static_cast<uint8_t>(payload[0] - ServerOffset);
    if (command == FLOWCONTROL_SUSPEND) {
        Paused = true;
        return;
    }
    if (command == FLOWCONTROL_RESUME) {
        Paused = false;
        return;
    }
    // Line-state and modem-state notifications, mask and purge answers and the signature
    // carry nothing this client acts on.
    if (command < SET_BAUDRATE || command > SET_CONTROL)
        return;
    const size_t width = command == SET_BAUDRATE ? 4 : 1;
    if (payload.size() < 1 + width)
        return;
    uint32_t value = 0;
    for (size_t i = 1; i <= width; ++i)
        value = (value << 8) | payload[i];
    // The answer belongs to the latest request of its kind; one that nobody asked for is the
    // server telling its state, which this client does not follow.
    for (auto request = Requests.rbegin(); request != Requests.rend(); ++request) {
        if (request->Command == command) {
            if (!request->Answer)
                request->Answer = value;
            return;
        }
    }
}

bool ComPortClient::Agreed() const
{
    return Ours[BINARY] == Agreement::Yes && Theirs[BINARY] == Agreement::Yes &&
           Ours[COM_PORT_OPTION] == Agreement::Yes;
}

bool ComPortClient::RequestLineSettings(const DCB& settings, std::vector<uint8_t>& out)
{
    const uint8_t parity = ParityCode(settings.Parity);
    const uint8_t stopSize = StopSizeCode(settings.StopBits);
    if (parity == 0 || stopSize == 0 || settings.ByteSize < 5 || settings.ByteSize > 8 ||
        settings.BaudRate == 0)
        return false;
    const uint32_t rate = settings.BaudRate;
    Requests.clear();  // only the latest settings count
    const std::vector<SettingRequest> requests = {{SET_BAUDRATE, rate},
                                                  {SET_DATASIZE, settings.ByteSize},
                                                  {SET_PARITY, parity},
                                                  {SET_STOPSIZE, stopSize},
                                                  {SET_CONTROL, NO_FLOW_CONTROL}};
    for (const SettingRequest& request : requests) {
        // The rate in four bytes, most significant first; the others in one.
        const std::vector<uint8_t> payload =
            request.Command == SET_BAUDRATE
                ? std::vector<uint8_t>{request.Command, static_cast<uint8_t>(rate >> 24),
                                       static_cast<uint8_t>(rate >> 16),
                                       static_cast<uint8_t>(rate >> 8), static_cast<uint8_t>(rate)}
                : std::vector<uint8_t>{request.Command, static_cast<uint8_t>(request.Value)};
        AppendSubnegotiation(COM_PORT_OPTION, payload, out);
        Requests.push_back(request);
    }
    return true;
}

bool ComPortClient::AllAnswered() const
{
    for (const SettingRequest& request : Requests)
        if (!request.Answer)
            return false;
    return true;
}

std::string ComPortClient::Mismatch() const
{
    for (const SettingRequest& request : Requests) {
        if (request.Answer && *request.Answer != request.Value)
            return Words(request.Command, *request.Answer) + " where " +
                   Words(request.Command, request.Value) + " was asked";
    }
    return {};
}

std::string ComPortClient::Unanswered() const
{
    for (const SettingRequest& request : Requests)
        if (!request.Answer)
            return Words(request.Command, request.Value);
    return {};
}
