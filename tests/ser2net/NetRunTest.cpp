// SPDX-License-Identifier: MIT
// Whole update runs in this process through ser2net in front of the receiver simulator, in
// both modes, each against the same run on the simulator's pseudo-terminal: the log byte for
// byte and the files as the receiver got them (a file of 0xFF bytes too); a connection dropped
// in the middle of a file; ser2net's refusal of a second client. The port is named through the
// port map (COM7=rfc2217://...), as the window and the command line name it.
#include "Ser2netServer.h"

#include "FirmwareFiles.h"
#include "Messages.h"
#include "PortProblem.h"
#include "PtyPeer.h"
#include "RunSession.h"
#include "SimDriver.h"
#include "comm_port.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <thread>

namespace {

int argc = 1;
char name[] = "ser2net_run_tests";
char* argv[] = {name, nullptr};

using Clock = std::chrono::steady_clock;

enum class Via { LocalPort, Rfc2217, RawTcp };

const char* NameOf(Via via)
{
    return via == Via::LocalPort ? "local port" : via == Via::Rfc2217 ? "RFC 2217" : "raw TCP";
}

struct RunRecord {
    bool Succeeded = false;
    std::string Log;
    std::string Transcript;
    std::vector<std::string> Saved;
    double Seconds = 0;                 // from the start of the worker to its end
    double SecondsAfterDrop = 0;        // from the dropped connection to the end
    std::vector<std::string> Problems;  // what the port's problems said
    std::string Warning;                // said beside the outcome
    std::string Cause;                  // why it failed, as the user reads it
};

// Tells when the first file has been sent up to `bytes`, and what the port's problem said.
class ProgressMark : public SessionObserver {
public:
    explicit ProgressMark(int64_t bytes) : Bytes(bytes) {}
    void FileProgress(const RunFile&, int64_t written, int64_t) override
    {
        if (Bytes >= 0 && written >= Bytes)
            Reached = true;
    }
    void PortProblemFound(const PortProblem& problem) override
    {
        std::lock_guard lock(Lock);
        Problems.push_back(problem.Description);
    }
    std::vector<std::string> Said()
    {
        std::lock_guard lock(Lock);
        return Problems;
    }
    std::atomic<bool> Reached{false};

private:
    int64_t Bytes;
    std::mutex Lock;
    std::vector<std::string> Problems;
};

double SecondsBetween(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double>(to - from).count();
}

class NetRun : public ::testing::Test {
protected:
    static void SetUpTestSuite() { static QCoreApplication app(argc, argv); }
    void SetUp() override
    {
        ASSERT_FALSE(Ser2netServer::ProgramPath().empty())
            << "ser2net is not installed (scripts/install-deps installs it)";
        Folder = MakeTempDir();
        ASSERT_FALSE(Folder.empty());
    }
    void TearDown() override { RemoveTree(Folder); }

    void AddFile(const std::string& file, const std::string& bytes)
    {
        ASSERT_TRUE(WriteWholeFile(Folder + "/" + file, bytes));
        Files.push_back(bytes);
    }

    // One whole run, the port named COM7 in the port map; with `dropAfter`, ser2net is killed
    // once the first file has been sent that far.
    RunRecord Run(Via via, const std::vector<std::string>& simulatorArgs, int64_t dropAfter = -1)
    {
        RunRecord record;
        SimDriver simulator;
        if (!simulator.Start(simulatorArgs)) {
            ADD_FAILURE() << "the simulator did not start";
            return record;
        }
        Ser2netServer server;
        std::string device = simulator.SlavePath;
        if (via != Via::LocalPort) {
            server.Serve(simulator.SlavePath, via == Via::Rfc2217 ? Ser2netServer::Mode::Rfc2217
                                                                  : Ser2netServer::Mode::RawTcp);
            if (!server.Start()) {
                ADD_FAILURE() << server.Problem();
                return record;
            }
            device = server.Address(0);
        }
        ScopedPortMap map("COM7=" + device + "\n");
        std::filesystem::remove(Folder + "/logUpdate.txt");

        ProgressMark mark(dropAfter);
        SessionSettings settings;
        settings.Port = PortSpec::Com(7);
        settings.WorkFolder = Folder;
        const auto files = FirmwareFiles::Read(Folder);
        EXPECT_TRUE(files->Any());
        RunSession session(
            settings, [files] { return files; }, mark);
        const auto start = Clock::now();
        auto droppedAt = start;
        bool dropped = false;
        // The worker's calls to the main thread are served by an event loop, as in the programs.
        QEventLoop loop;
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            if (session.Ended() || Clock::now() - start > std::chrono::minutes(3))
                loop.quit();
            if (!dropped && mark.Reached && via != Via::LocalPort) {
                server.Kill();
                dropped = true;
                droppedAt = Clock::now();
            }
        });
        watch.start(5);
        session.Start();
        loop.exec();
        EXPECT_TRUE(session.Ended()) << NameOf(via) << ": the run did not end";
        session.Wait();  // the pause and the close, as after every run
        const auto end = Clock::now();
        record.Seconds = SecondsBetween(start, end);
        record.SecondsAfterDrop = dropped ? SecondsBetween(droppedAt, end) : 0;
        record.Succeeded = !session.Results().empty() && session.Results().back().Ok();
        record.Problems = mark.Said();
        if (!session.Results().empty()) {
            record.Warning = session.Results().back().Warning;
            record.Cause = session.Results().back().CauseText;
        }
        record.Log = ReadWholeFile(Folder + "/logUpdate.txt");
        if (dropAfter < 0) {
            EXPECT_EQ(simulator.Wait(15000), 0) << NameOf(via);
        }
        simulator.Stop();
        record.Transcript = simulator.Transcript();
        for (size_t n = 1; n <= Files.size(); ++n)
            record.Saved.push_back(simulator.SavedFile(static_cast<int>(n)));
        return record;
    }

    RecordingMessageService Boxes;
    ScopedMessageService Scope{Boxes};
    std::string Folder;
    std::vector<std::string> Files;
};

// Every byte on the line and in the log as on the local port, a file of 0xFF bytes among the
// files, at the line's rate.
TEST_F(NetRun, GoesAsOnTheLocalPort)
{
    AddFile("font.app", SampleFirmware(3000, 1));
    AddFile("decoder.app", std::string(20000, '\xFF'));
    AddFile("out.app", SampleFirmware(1500, 3));
    const std::vector<std::string> simulator = {"--rate", "11520"};
    const RunRecord local = Run(Via::LocalPort, simulator);
    ASSERT_TRUE(local.Succeeded);
    for (size_t n = 0; n < Files.size(); ++n)
        EXPECT_TRUE(SameBytes(local.Saved[n], Files[n])) << "file " << n + 1;
    for (Via via : {Via::Rfc2217, Via::RawTcp}) {
        const RunRecord remote = Run(via, simulator);
        EXPECT_TRUE(remote.Succeeded) << NameOf(via);
        EXPECT_EQ(remote.Log, local.Log) << NameOf(via);
        EXPECT_EQ(remote.Transcript, local.Transcript) << NameOf(via);
        for (size_t n = 0; n < Files.size(); ++n)
            EXPECT_TRUE(SameBytes(remote.Saved[n], Files[n])) << NameOf(via) << " file " << n + 1;
    }
    EXPECT_TRUE(Boxes.Boxes().empty());
}

// The run ends as when the local device goes away at the same point of the file: the same
// outcome, and the same log (or none, as then), within the usual time-outs.
TEST_F(NetRun, AConnectionDroppedMidFileEndsTheRunAsAVanishedDevice)
{
    AddFile("font.app", SampleFirmware(60000, 4));
    const RunRecord local = Run(Via::LocalPort, {"--rate", "11520", "--vanish-after", "20000"});
    EXPECT_FALSE(local.Succeeded);
    Boxes.Clear();
    for (Via via : {Via::Rfc2217, Via::RawTcp}) {
        const RunRecord dropped = Run(via, {"--rate", "11520"}, 20000);
        EXPECT_FALSE(dropped.Succeeded) << NameOf(via);
        EXPECT_EQ(dropped.Log, local.Log) << NameOf(via);
        EXPECT_GT(dropped.SecondsAfterDrop, 0) << NameOf(via);
        EXPECT_LT(dropped.SecondsAfterDrop, 30) << NameOf(via);
        EXPECT_NE(dropped.Cause.find("connection to its server"), std::string::npos)
            << NameOf(via) << ": " << dropped.Cause;
        // A run that its port ended writes no log, and says so.
        for (const RunRecord* run : {&local, &dropped})
            EXPECT_EQ(run->Log.empty(),
                      run->Warning.find("no update log was written") != std::string::npos)
                << run->Warning;
        // The port's error names the server.
        ASSERT_FALSE(dropped.Problems.empty()) << NameOf(via);
        for (const std::string& said : dropped.Problems)
            EXPECT_NE(said.find("127.0.0.1"), std::string::npos) << said;
    }
}

// ser2net's own rule: one client per served port; the second is told the port is in use.
TEST(Ser2netSecondClient, IsRefusedAsAPortInUseOnThatServer)
{
    RecordingMessageService boxes;
    ScopedMessageService scope(boxes);
    SimDriver simulator;
    ASSERT_TRUE(simulator.Start({}));
    Ser2netServer server;
    server.Serve(simulator.SlavePath, Ser2netServer::Mode::Rfc2217);
    server.Serve(simulator.SlavePath, Ser2netServer::Mode::RawTcp);
    ASSERT_TRUE(server.Start()) << server.Problem();
    for (size_t first = 0; first < 2; ++first) {
        TCommPort holder;
        holder.PortName = server.Address(first);
        holder.SetBaudRate(115200);
        // ser2net lets go of the device a moment after the last client of another port left.
        const auto until = Clock::now() + std::chrono::seconds(2);
        for (bool opened = false; !opened;) {
            try {
                holder.OpenCommPort();
                opened = true;
            } catch (const ECommError& error) {
                ASSERT_TRUE(error.LastError == EBUSY && Clock::now() < until) << error.Detail;
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        }
        for (size_t second = 0; second < 2; ++second) {
            TCommPort other;
            other.PortName = server.Address(second);
            other.SetBaudRate(115200);
            try {
                other.OpenCommPort();
                ADD_FAILURE() << server.Address(second) << " opened beside " << holder.PortName;
            } catch (const ECommError& error) {
                EXPECT_EQ(error.Code, 8);
                EXPECT_EQ(error.LastError, static_cast<uint32_t>(EBUSY)) << error.Detail;
                EXPECT_NE(error.Detail.find("the port is in use on that server"), std::string::npos)
                    << error.Detail;
                EXPECT_NE(error.Detail.find(server.Address(second)), std::string::npos);
                // The window's "COM Error" box names the server once, with the server's words.
                const auto named = PortSpec::Parse(server.Address(second));
                const std::string details =
                    PortProblemBoxes(PortProblemOf(*named, error, true)).front().Details;
                EXPECT_EQ(details.find(server.Address(second)), 0u) << details;
                EXPECT_EQ(details.rfind(server.Address(second)), 0u) << details;
                EXPECT_NE(details.find("in use on that server"), std::string::npos) << details;
            }
        }
        holder.CloseCommPort();
    }
}

}  // namespace
