// SPDX-License-Identifier: MIT
#include "Ser2netServer.h"

#include "SimDriver.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

namespace {

// A port nothing listens on now (taken and given back; ser2net takes it a moment later).
uint16_t FreePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof local;
    uint16_t port = 0;
    if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) == 0)
        port = ntohs(local.sin_port);
    if (fd >= 0)
        ::close(fd);
    return port;
}

}  // namespace

bool ListensOnLoopback(uint16_t port)
{
    // Lines "sl local_address rem_address st ...": 0100007F:PORT (hex) in state 0A (LISTEN).
    char wanted[32];
    std::snprintf(wanted, sizeof wanted, "0100007F:%04X", port);
    std::ifstream table("/proc/net/tcp");
    std::string line;
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string slot, local, remote, state;
        fields >> slot >> local >> remote >> state;
        if (local == wanted && state == "0A")
            return true;
    }
    return false;
}

Ser2netServer::~Ser2netServer()
{
    Stop();
    RemoveTree(Dir);
}

std::string Ser2netServer::ProgramPath()
{
    for (const char* dir : {"/usr/sbin", "/usr/bin", "/usr/local/sbin", "/usr/local/bin"}) {
        const std::string path = std::string(dir) + "/ser2net";
        if (::access(path.c_str(), X_OK) == 0)
            return path;
    }
    return {};
}

size_t Ser2netServer::Serve(const std::string& device, Mode mode)
{
    Ports.push_back({device, mode});
    return Ports.size() - 1;
}

std::string Ser2netServer::Address(size_t index) const
{
    const Served& served = Ports.at(index);
    return std::string(served.Kind == Mode::Rfc2217 ? "rfc2217" : "tcp") +
           "://127.0.0.1:" + std::to_string(served.Port);
}

std::string Ser2netServer::Problem() const
{
    return Failure + "\nconfiguration:\n" + ConfigText + "ser2net said:\n" + Process.Out +
           Process.Err;
}

bool Ser2netServer::Start()
{
    if (ProgramPath().empty()) {
        Failure = "ser2net is not installed (scripts/install-deps installs it)";
        return false;
    }
    if (Dir.empty())
        Dir = MakeTempDir();
    // A port picked free may be taken by someone else before ser2net binds it: pick again.
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (StartOnce())
            return true;
        Stop();
    }
    return false;
}

bool Ser2netServer::StartOnce()
{
    std::ostringstream config;
    for (size_t i = 0; i < Ports.size(); ++i) {
        Served& served = Ports[i];
        served.Port = FreePort();
        const char* accepter = served.Kind == Mode::Rfc2217 ? "telnet(rfc2217),tcp" : "tcp";
        config << "connection: &port" << i << "\n"
               << "  accepter: " << accepter << ",127.0.0.1," << served.Port << "\n"
               << "  connector: serialdev," << served.Device << ",115200n81,local\n";
    }
    ConfigText = config.str();
    const std::string configPath = Dir + "/ser2net.yaml";
    if (!WriteWholeFile(configPath, ConfigText)) {
        Failure = "cannot write " + configPath;
        return false;
    }
    // -n: stay in the foreground; -d: messages to stdout; -u: no UUCP lock files in /var/lock.
    if (!Process.Start(ProgramPath(),
                       {"-n", "-d", "-u", "-P", Dir + "/ser2net.pid", "-c", configPath})) {
        Failure = "cannot start " + ProgramPath();
        return false;
    }
    Running = true;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < end) {
        bool all = true;
        for (const Served& served : Ports)
            all = all && ListensOnLoopback(served.Port);
        if (all)
            return true;
        if (!Process.Running()) {
            Failure = "ser2net ended at start";
            Running = false;
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    Failure = "ser2net does not listen on every port within 10 s";
    return false;
}

void Ser2netServer::Stop()
{
    if (!Running)
        return;
    Running = false;
    Process.Stop();
}

void Ser2netServer::Kill()
{
    if (!Running)
        return;
    Running = false;
    Process.Signal(SIGKILL);
    Process.Wait(5000);
}
