// SPDX-License-Identifier: MIT
// PortSpec: a port as the user wrote it, parsed once. "COM3" (any case) is a number of the port
// map, a text starting with "/" a device path, "rfc2217://HOST:PORT" or "tcp://HOST:PORT" a
// serial port on another machine. It names itself in messages, gives its own log folder a name,
// says where it leads now and whether that is there, and sets a TCommPort up for it.
#pragma once

#include "NetAddress.h"

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

class TCommPort;

// Where a port leads now: a device path (or a network address), or why it leads nowhere.
struct PortResolution {
    std::optional<std::string> Device;
    std::string Problem;  // without a device: why, as one sentence
};

class PortSpec {
public:
    enum class Kind { ComNumber, DevicePath, Network };

    // Nothing for a text that is none of the three forms, with `error` (when given) saying why.
    static std::optional<PortSpec> Parse(std::string_view text, std::string* error = nullptr);
    // COM<number> (0..255: a saved port number may be any byte).
    static PortSpec Com(int number);

    Kind Type() const { return What; }
    // The number of a COM port; 0 for the other kinds.
    int ComNumber() const { return Number; }
    // As messages name it: "COM3" (upper case), "/dev/ttyUSB0", "rfc2217://bench-3:3001".
    const std::string& Text() const { return Written; }
    // The port's own log folder below the working folder, one path element: "COM3",
    // "ttyUSB0", "bench-3_3001"; empty when the text gives none (such as "/" or "/dev/..").
    std::string FolderName() const;
    // Where it leads now: a COM number through the port map (which may name a device or a
    // network address), a device path or an address as written.
    PortResolution Resolve() const;
    // The port on another machine it leads to now (written so, or a COM number the port map
    // gives one); nothing for a local device or a COM number that leads nowhere.
    std::optional<NetAddress> Address() const;
    // Whether it is there now: the device exists, or the server accepts a connection. Without
    // `askServer` a port on another machine counts as there, as the port map lists it (only
    // the open tells, and nobody waits for a server that does not answer).
    bool Present(bool askServer = true) const;
    // Sets the port up for the receiver before it is opened: its name, 115200 baud, 8 data
    // bits, no parity, one stop bit. Raises ECommError as the setters do (6 on an open port).
    void Configure(TCommPort& port) const;

    bool operator==(const PortSpec& other) const
    {
        return What == other.What && Written == other.Written;
    }

private:
    PortSpec() = default;

    Kind What = Kind::ComNumber;
    int Number = 0;
    std::string Written;
};

// How a wait for a port to be there ended.
enum class PresenceWait { Present, TimedOut, Stopped };

// Asks every 200 ms whether the port is there (its device exists, its server accepts) until it
// is, `seconds` have passed, or `pause` (which waits up to the time it is given) returns false.
PresenceWait WaitForPresence(const PortSpec& port, double seconds,
                             const std::function<bool(std::chrono::milliseconds)>& pause);
