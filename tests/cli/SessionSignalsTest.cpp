// SPDX-License-Identifier: MIT
// The command's signals reaching its sessions at each phase of a run, for one port and for
// several, in one process: two Ctrl-Cs while ports wait for their devices end the wait at once;
// while connecting or mid-file they cancel every run at its next safe point; after the receiver
// was told to start they change nothing. The exit status says which.
#include "EngineTestSupport.h"
#include "ExitStatus.h"
#include "RunGroup.h"
#include "RunSignals.h"
#include "SimDriver.h"
#include "SystemTexts.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <unistd.h>
#include <atomic>
#include <csignal>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

int argc = 1;
char name[] = "cli_session_signal_tests";
char* argv[] = {name, nullptr};

// Sends the process two SIGINTs when its session reaches a phase (once for the whole group).
class Interrupter : public SessionObserver {
public:
    explicit Interrupter(std::atomic<bool>& sent, std::string atStatus, bool whenWaiting)
        : Sent(sent), AtStatus(std::move(atStatus)), WhenWaiting(whenWaiting)
    {
    }
    void WaitingForDevice(const std::string& /*port*/, double /*seconds*/) override
    {
        if (WhenWaiting)
            Interrupt();
    }
    void StatusText(const std::string& text) override
    {
        if (text == AtStatus)
            Interrupt();
    }
    void FileProgress(const RunFile& /*file*/, int64_t written, int64_t /*queued*/) override
    {
        if (AtStatus == "mid-file" && written > 5000)
            Interrupt();
    }

private:
    void Interrupt()
    {
        if (Sent.exchange(true))
            return;
        ::kill(::getpid(), SIGINT);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        ::kill(::getpid(), SIGINT);
    }
    std::atomic<bool>& Sent;
    const std::string AtStatus;
    const bool WhenWaiting;
};

struct PhaseCase {
    const char* Name;
    int Ports;
    bool Waiting;          // the devices are not there: the ports wait for them
    std::string AtStatus;  // the status text (or "mid-file") at which the signals come
    RunResult::Outcome Outcome;
    int Exit;
};

void PrintTo(const PhaseCase& c, std::ostream* os)
{
    *os << c.Name;
}

class SignalPhases : public testing::TestWithParam<PhaseCase> {
protected:
    void SetUp() override { static QCoreApplication app(argc, argv); }
};

TEST_P(SignalPhases, TwoCtrlCsAtEachPhase)
{
    const PhaseCase& c = GetParam();
    const std::string work = MakeTempDir();
    const std::string devices = MakeTempDir();
    const std::string font = SampleFirmware(30000, 90);  // about 2.6 s at the line rate
    WriteWholeFile(work + "/font.app", font);
    std::vector<std::unique_ptr<SimDriver>> sims;
    std::vector<PortSpec> ports;
    for (int i = 0; i < c.Ports; ++i) {
        const std::string link = devices + "/rx" + std::to_string(i);
        if (!c.Waiting) {
            sims.push_back(std::make_unique<SimDriver>());
            ASSERT_TRUE(sims.back()->Start({"--rate", "11520", "--link", link}));
        }
        ports.push_back(*PortSpec::Parse(link));
    }
    RunGroup group({work, c.Waiting ? 600.0 : 0.0, TFirmThread::DefaultWaitSavedLimit});
    ASSERT_FALSE(group.TakeFolder());
    ASSERT_FALSE(group.ReadFiles());
    std::atomic<bool> sent{false};
    std::vector<std::unique_ptr<Interrupter>> observers;
    std::vector<SessionObserver*> pointers;
    for (int i = 0; i < c.Ports; ++i) {
        observers.push_back(std::make_unique<Interrupter>(sent, c.AtStatus, c.Waiting));
        pointers.push_back(observers.back().get());
    }
    std::vector<std::string> said;
    RunSignals runSignals([&](const std::string& line) { said.push_back(line); },
                          [&group] { group.CancelAll(); });
    const auto started = std::chrono::steady_clock::now();
    group.Start(ports, pointers);
    group.Wait();
    const auto took = std::chrono::steady_clock::now() - started;

    const std::vector<RunResult> results = group.Results();
    ASSERT_TRUE(sent) << (results.empty() ? "" : results[0].CauseText + results[0].Warning);
    EXPECT_EQ(said.size(), 2u);  // the first one warned
    ASSERT_EQ(results.size(), static_cast<size_t>(c.Ports));
    for (const RunResult& r : results)
        EXPECT_EQ(r.End, c.Outcome) << r.Port << ": " << r.CauseText;
    EXPECT_EQ(ExitStatusOf(results, runSignals.CancelSignal()), c.Exit);
    if (c.Waiting) {
        // Nothing waited out its 600 s, nothing was made.
        EXPECT_LT(took, std::chrono::seconds(30));
        for (const PortSpec& port : ports)
            EXPECT_FALSE(fs::exists(work + "/" + port.FolderName()));
    }
    for (const auto& sim : sims) {
        sim->Stop();
        const std::string transcript = sim->Transcript();
        if (c.Outcome == RunResult::Outcome::Ok)
            EXPECT_EQ(transcript, "r\nl\ns\n");
        else
            EXPECT_EQ(transcript.find("s\n"), std::string::npos) << transcript;  // no start
    }
    RemoveTree(work);
    RemoveTree(devices);
}

INSTANTIATE_TEST_SUITE_P(
    Phases, SignalPhases,
    testing::Values(PhaseCase{"WaitingOnePort", 1, true, "", RunResult::Outcome::Cancelled, 130},
                    PhaseCase{"WaitingTwoPorts", 2, true, "", RunResult::Outcome::Cancelled, 130},
                    PhaseCase{"AfterTheLoadCommandOnePort", 1, false, Texts::StatusSendingFile4,
                              RunResult::Outcome::Cancelled, 130},
                    PhaseCase{"MidFileTwoPorts", 2, false, "mid-file",
                              RunResult::Outcome::Cancelled, 130},
                    PhaseCase{"AfterTheStartCommandOnePort", 1, false,
                              Texts::StatusStartingReceiver, RunResult::Outcome::Ok, 0}),
    [](const testing::TestParamInfo<PhaseCase>& info) { return std::string(info.param.Name); });

}  // namespace
