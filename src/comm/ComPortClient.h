// SPDX-License-Identifier: MIT
// ComPortClient: the client's side of a telnet session that carries a serial port (the
// COM-PORT-OPTION of RFC 2217), as a state machine without sockets: the options it asks for
// and agrees to, what it answers to the server's requests, the line settings it asks for with
// the server's answers to them, and the server's requests to pause sending. The network link
// feeds it the decoded commands (TelnetCodec.h) and sends what it appends.
#pragma once

#include "TelnetCodec.h"
#include "comm_port.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ComPort {
// Commands from client to server; the server's answers carry the same code plus ServerOffset.
inline constexpr uint8_t SET_BAUDRATE = 1;
inline constexpr uint8_t SET_DATASIZE = 2;
inline constexpr uint8_t SET_PARITY = 3;
inline constexpr uint8_t SET_STOPSIZE = 4;
inline constexpr uint8_t SET_CONTROL = 5;
inline constexpr uint8_t FLOWCONTROL_SUSPEND = 8;
inline constexpr uint8_t FLOWCONTROL_RESUME = 9;
inline constexpr uint8_t ServerOffset = 100;
// SET_CONTROL's value for "no flow control".
inline constexpr uint8_t NO_FLOW_CONTROL = 1;
}  // namespace ComPort

class ComPortClient {
public:
    // The opening requests: binary transmission both ways and the COM-PORT-OPTION.
    void Open(std::vector<uint8_t>& out);
    // Takes one command from the server; any answer is appended to `out`.
    void Take(const TelnetCommand& command, std::vector<uint8_t>& out);

    // True once the server agreed to binary transmission both ways and to the COM-PORT-OPTION.
    bool Agreed() const;
    // What the server refused or withdrew, in words ("the COM-PORT-OPTION"); empty: nothing.
    const std::string& Refused() const { return Refusal; }
    // True once the server has sent any telnet command.
    bool Heard() const { return HeardServer; }

    // Asks for the rate, data bits, parity and stop bits of `settings` and for no flow control,
    // in place of what was asked before; false, with nothing asked, when a value has no code in
    // the protocol.
    bool RequestLineSettings(const DCB& settings, std::vector<uint8_t>& out);
    // True when every setting asked for has been answered.
    bool AllAnswered() const;
    // The first answer that differs from what was asked ("9600 baud where 115200 baud was
    // asked"); empty while every answer agrees.
    std::string Mismatch() const;
    // The first setting not answered yet ("the rate of 115200 baud"); empty when none.
    std::string Unanswered() const;

    // The server asked to pause sending and has not asked to resume.
    bool Suspended() const { return Paused; }

private:
    enum class Agreement { No, Asked, Yes };
    struct SettingRequest {
        uint8_t Command = 0;
        uint32_t Value = 0;
        std::optional<uint32_t> Answer = {};
    };

    void TakeNegotiation(uint8_t verb, uint8_t option, std::vector<uint8_t>& out);
    void TakeComPort(const std::vector<uint8_t>& payload);
    void Refuse(uint8_t option);

    std::array<Agreement, 256> Ours{};    // options this client performs (WILL)
    std::array<Agreement, 256> Theirs{};  // options the server performs (DO)
    std::vector<SettingRequest> Requests;
    std::string Refusal;
    bool HeardServer = false;
    bool Paused = false;
};
