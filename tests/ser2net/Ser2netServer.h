// SPDX-License-Identifier: MIT
// Ser2netServer: ser2net (4.3) started for one test in front of local serial devices (the
// simulators' pseudo-terminals), each served on 127.0.0.1 on a free port picked at run time,
// as RFC 2217 (telnet(rfc2217)) or raw TCP. Its YAML configuration and pid file live in a
// temporary folder; it runs in the foreground without UUCP locks and is stopped with the
// object. Never the system's service or its configuration.
#pragma once

#include "ChildProcess.h"

#include <cstdint>
#include <string>
#include <vector>

class Ser2netServer {
public:
    enum class Mode { Rfc2217, RawTcp };

    Ser2netServer() = default;
    ~Ser2netServer();
    Ser2netServer(const Ser2netServer&) = delete;
    Ser2netServer& operator=(const Ser2netServer&) = delete;

    // The program's path; empty when ser2net is not installed.
    static std::string ProgramPath();

    // Adds a served port for `device` (before Start); returns its index.
    size_t Serve(const std::string& device, Mode mode);
    // Picks the ports, writes the configuration and starts ser2net; true once it listens on
    // every port. `Problem()` says what went wrong otherwise.
    bool Start();
    // Asks it to end (SIGTERM) and waits.
    void Stop();
    // Ends it at once (SIGKILL): its connections drop as when the server's machine goes away.
    void Kill();

    // "rfc2217://127.0.0.1:<port>" or "tcp://127.0.0.1:<port>".
    std::string Address(size_t index) const;
    uint16_t Port(size_t index) const { return Ports.at(index).Port; }
    const std::string& Configuration() const { return ConfigText; }
    // Why Start failed, with what ser2net printed.
    std::string Problem() const;

private:
    struct Served {
        std::string Device;
        Mode Kind;
        uint16_t Port = 0;
    };
    bool StartOnce();

    std::vector<Served> Ports;
    std::string Dir;
    std::string ConfigText;
    std::string Failure;
    ChildProcess Process;
    bool Running = false;
};

// True while something listens on 127.0.0.1:`port` (as /proc/net/tcp shows it; nothing is
// connected, so a served device is not opened by the check).
bool ListensOnLoopback(uint16_t port);
