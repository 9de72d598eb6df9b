// SPDX-License-Identifier: MIT
// zendrak-cli through ser2net, in both modes, as a user runs it: named by its address or by a
// COM number of the port map, beside a local port in one command, --check, and a port that
// another client holds. Each run's log equals the local run's byte for byte and the receiver
// gets every file unchanged (one of them all 0xFF).
#include "Scenario.h"
#include "Ser2netServer.h"
#include "SimDriver.h"

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>

namespace {

enum class Via { LocalPort, Rfc2217, RawTcp };

// One receiver: the simulator, behind ser2net unless it is on the local port.
struct Receiver {
    explicit Receiver(Via via) : Route(via) {}
    bool Start()
    {
        if (!Sim.Start({"--expect", "1500,2500"}))
            return false;
        if (Route == Via::LocalPort)
            return true;
        Server.Serve(Sim.SlavePath, Route == Via::Rfc2217 ? Ser2netServer::Mode::Rfc2217
                                                          : Ser2netServer::Mode::RawTcp);
        return Server.Start();
    }
    std::string Port() const { return Route == Via::LocalPort ? Sim.SlavePath : Server.Address(0); }
    // The log folder zendrak-cli names after the port when it updates several at once.
    std::string Folder() const
    {
        return Route == Via::LocalPort ? Sim.SlavePath.substr(Sim.SlavePath.rfind('/') + 1)
                                       : "127.0.0.1_" + std::to_string(Server.Port(0));
    }

    Via Route;
    SimDriver Sim;
    Ser2netServer Server;
};

// A client that holds a served port, as another station's run would: connected once ser2net's
// telnet greeting comes; -1 when it does not.
int HoldPort(uint16_t port)
{
    const int socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in server{};
    server.sin_family = AF_INET;
    server.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    server.sin_port = htons(port);
    pollfd greeting{socket, POLLIN, 0};
    if (::connect(socket, reinterpret_cast<sockaddr*>(&server), sizeof server) == 0 &&
        ::poll(&greeting, 1, 5000) == 1)
        return socket;
    ::close(socket);
    return -1;
}

struct Row {
    const char* Name;
    std::vector<Via> Receivers;
    bool ThroughPortMap;  // -p COM5 (COM6, ...) mapped to the addresses, not the addresses
    std::vector<std::string> Options;
    bool Held;  // another client holds the (one) network port
    int Exit;
    const char* Said;  // a part of stdout or stderr
};

TEST(NetCli, RunsChecksAndRefusesAsOnALocalPort)
{
    ASSERT_FALSE(Ser2netServer::ProgramPath().empty())
        << "ser2net is not installed (scripts/install-deps installs it)";
    const std::string dir = MakeTempDir();
    const std::string run = dir + "/run";
    std::filesystem::create_directories(run);
    std::filesystem::create_directories(dir + "/config/zendrak");
    const std::vector<std::string> files = {SampleFirmware(1500, 18), std::string(2500, '\xFF')};
    WriteWholeFile(run + "/font.app", files[0]);
    WriteWholeFile(run + "/decoder.app", files[1]);
    const std::map<std::string, std::string> env = {{"XDG_CONFIG_HOME", dir + "/config"},
                                                    {"XDG_STATE_HOME", dir + "/state"},
                                                    {"ZENDRAK_NO_PORT_DETECTION", "1"}};
    const auto runCli = [&](const std::vector<std::string>& args, ChildProcess& cli) {
        std::vector<std::string> all = {"-C", run};
        all.insert(all.end(), args.begin(), args.end());
        return cli.Start(CliPath(), all, env) ? cli.Wait(120000) : -2;
    };

    // The run on the local port that every run through the network must equal.
    std::string localLog;
    {
        Receiver local(Via::LocalPort);
        ASSERT_TRUE(local.Start());
        ChildProcess cli;
        ASSERT_EQ(runCli({"-p", local.Port()}, cli), 0) << cli.Err;
        localLog = ReadWholeFile(run + "/logUpdate.txt");
        ASSERT_FALSE(localLog.empty());
        std::filesystem::remove(run + "/logUpdate.txt");
    }

    const Row rows[] = {
        {"Rfc2217", {Via::Rfc2217}, false, {"--trace", "trace.txt"}, false, 0, "Update OK"},
        {"RawTcpAsCom5", {Via::RawTcp}, true, {}, false, 0, "Update OK"},
        {"LocalAndRfc2217", {Via::LocalPort, Via::Rfc2217}, false, {}, false, 0, "Update OK"},
        {"CheckRfc2217", {Via::Rfc2217}, false, {"--check"}, false, 0, "the update's settings"},
        {"CheckTcp", {Via::RawTcp}, true, {"--check", "--json"}, false, 0, "line_checked\":false"},
        {"InUse", {Via::Rfc2217}, false, {}, true, 2, ": the port is in use on that server"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.Name);
        std::vector<std::unique_ptr<Receiver>> receivers;
        std::string ports;
        std::string map;
        for (Via via : row.Receivers) {
            receivers.push_back(std::make_unique<Receiver>(via));
            ASSERT_TRUE(receivers.back()->Start()) << receivers.back()->Server.Problem();
            const std::string com = "COM" + std::to_string(4 + receivers.size());
            map += com + "=" + receivers.back()->Port() + "\n";
            ports +=
                (ports.empty() ? "" : ",") + (row.ThroughPortMap ? com : receivers.back()->Port());
        }
        WriteWholeFile(dir + "/config/zendrak/ports", map);
        const int holder = row.Held ? HoldPort(receivers.front()->Server.Port(0)) : -1;
        ASSERT_EQ(holder >= 0, row.Held);
        std::vector<std::string> args = {"-p", ports};
        args.insert(args.end(), row.Options.begin(), row.Options.end());
        ChildProcess cli;
        EXPECT_EQ(runCli(args, cli), row.Exit) << cli.Out << cli.Err;
        if (holder >= 0)
            ::close(holder);
        EXPECT_NE((cli.Out + cli.Err).find(row.Said), std::string::npos) << cli.Out << cli.Err;
        // Each line that says what went wrong names the address once.
        for (size_t at = cli.Err.find("zendrak-cli: "); at != std::string::npos;
             at = cli.Err.find("zendrak-cli: ", at + 1)) {
            const std::string line = cli.Err.substr(at, cli.Err.find('\n', at) - at);
            for (const auto& r : receivers)
                EXPECT_EQ(line.find(r->Port()), line.rfind(r->Port())) << line;
        }
        const bool checks = std::count(row.Options.begin(), row.Options.end(), "--check") > 0;
        const bool sends = row.Exit == 0 && !checks;
        // The trace shows the receiver's bytes, never the telnet protocol's (0xFF commands).
        if (row.Options.size() > 1 && row.Options[0] == "--trace") {
            const std::string trace = ReadWholeFile(run + "/" + row.Options[1]);
            EXPECT_NE(trace.find("RX \"File OK!"), std::string::npos) << trace;
            EXPECT_EQ(trace.find("\\xFF"), std::string::npos) << trace;
            std::filesystem::remove(run + "/" + row.Options[1]);
        }
        for (const auto& r : receivers) {
            const std::string log = ReadWholeFile(
                run + (receivers.size() > 1 ? "/" + r->Folder() : "") + "/logUpdate.txt");
            if (!sends) {
                r->Sim.Stop();
                EXPECT_EQ(r->Sim.Transcript(), "") << "nothing reaches the receiver";
                EXPECT_EQ(log, "");
                continue;
            }
            EXPECT_EQ(r->Sim.Wait(15000), 0);
            EXPECT_EQ(log, localLog) << r->Port();
            for (size_t n = 0; n < files.size(); ++n)
                EXPECT_TRUE(SameBytes(r->Sim.SavedFile(static_cast<int>(n + 1)), files[n]))
                    << r->Port() << " file " << n + 1;
        }
        std::filesystem::remove(run + "/logUpdate.txt");
    }
    RemoveTree(dir);
}

}  // namespace
