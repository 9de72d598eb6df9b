// SPDX-License-Identifier: MIT
// NetAddress: a serial port on another machine, reached over TCP through a serial device server
// (ser2net). Written "rfc2217://HOST:PORT" (telnet with the COM-PORT-OPTION, RFC 2217: the
// line settings are set from here) or "tcp://HOST:PORT" (raw TCP: the server's line settings).
// HOST is a host name, an IPv4 address, or an IPv6 address in brackets ("[::1]"); PORT is 1 to
// 65535. The scheme is read in any case; the host is kept as written.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct NetAddress {
    enum class Protocol { Rfc2217, RawTcp };
    Protocol Kind = Protocol::Rfc2217;
    std::string Host;  // without brackets
    uint16_t Port = 0;

    // "rfc2217://bench-3:3001", "tcp://[::1]:3002": the address as messages name it.
    std::string Text() const;
    // "bench-3:3001", "[::1]:3002": the server, as messages name it.
    std::string Server() const;
    bool operator==(const NetAddress&) const = default;
};

// True when the text is written as a network address ("scheme://...", any scheme): such a text
// is never a COM name or a device path, even when the rest of it is wrong.
bool LooksLikeNetAddress(std::string_view text);

// The address of a text written as above; nothing otherwise, with `error` (when given) saying
// what is wrong in a few words ("unknown scheme 'telnet'", "no port number", ...).
std::optional<NetAddress> ParseNetAddress(std::string_view text, std::string* error = nullptr);

// A TCP connection to the server, made within `limit` (each address of the host name in turn).
struct NetConnection {
    int Socket = -1;            // connected, non-blocking, close-on-exec; -1: none
    int Error = 0;              // errno of the last try (EHOSTUNREACH: the name has no address)
    std::string LookupProblem;  // why the host name gave no address, in the resolver's words
};
NetConnection ConnectToServer(const NetAddress& address, std::chrono::milliseconds limit);

// True when the server accepts a TCP connection within `limit` (the connection is closed again
// at once; nothing is sent). Host names are looked up as the system does.
bool NetServerAccepts(const NetAddress& address,
                      std::chrono::milliseconds limit = std::chrono::milliseconds(1000));
