// SPDX-License-Identifier: MIT
// TelnetCodec: the telnet framing of a network port's byte stream, without sockets. The decoder
// splits what a server sends into the receiver's data bytes and the protocol's own commands
// (option negotiation and subnegotiations); it keeps its state between calls, so a command may
// be split between any two reads. The encoders double 0xFF in data and frame commands.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace Telnet {
// Commands (each follows IAC).
inline constexpr uint8_t SE = 240;
inline constexpr uint8_t SB = 250;
inline constexpr uint8_t WILL = 251;
inline constexpr uint8_t WONT = 252;
inline constexpr uint8_t DO = 253;
inline constexpr uint8_t DONT = 254;
inline constexpr uint8_t IAC = 255;
// Options.
inline constexpr uint8_t BINARY = 0;
inline constexpr uint8_t ECHO = 1;
inline constexpr uint8_t SUPPRESS_GO_AHEAD = 3;
inline constexpr uint8_t COM_PORT_OPTION = 44;
}  // namespace Telnet

struct TelnetCommand {
    // A negotiation (IAC WILL/WONT/DO/DONT option) or a subnegotiation (IAC SB option ... IAC SE).
    bool Subnegotiation = false;
    uint8_t Verb = 0;  // WILL, WONT, DO or DONT; SB for a subnegotiation
    uint8_t Option = 0;
    std::vector<uint8_t> Payload = {};  // a subnegotiation's bytes, 0xFF undoubled

    bool operator==(const TelnetCommand&) const = default;
};

class TelnetDecoder {
public:
    // Longest subnegotiation payload kept; bytes beyond it are dropped (no server sends more
    // than a few for the options this client agrees to).
    static constexpr size_t PayloadLimit = 256;

    // Appends the data bytes among `bytes` to `data` and each command completed by them to
    // `commands`. Other telnet commands (NOP, GA, ...) carry no data and are dropped.
    void Feed(const uint8_t* bytes, size_t count, std::vector<uint8_t>& data,
              std::vector<TelnetCommand>& commands);

    // True while the bytes fed so far end inside a command.
    bool InCommand() const { return Now != State::Data; }

private:
    // The byte after an IAC.
    void TakeCommand(uint8_t byte, std::vector<uint8_t>& data);

    enum class State { Data, Command, Option, SubOption, SubData, SubCommand };
    State Now = State::Data;
    uint8_t Verb = 0;
    TelnetCommand Sub;
};

// Appends data bytes with each 0xFF doubled.
void AppendTelnetData(const uint8_t* bytes, size_t count, std::vector<uint8_t>& out);
// Appends IAC verb option.
void AppendNegotiation(uint8_t verb, uint8_t option, std::vector<uint8_t>& out);
// Appends IAC SB option payload IAC SE, with each 0xFF of the payload doubled.
void AppendSubnegotiation(uint8_t option, const std::vector<uint8_t>& payload,
                          std::vector<uint8_t>& out);
