// SPDX-License-Identifier: MIT
// Signals that reach zendrak-cli mid-file at the line rate: a closed terminal, Ctrl-Z or one
// Ctrl-C leave the run to finish with every byte at the receiver; a second Ctrl-C or SIGTERM
// within five seconds cancels it between two 10-byte blocks, sends nothing more and keeps the log.
#include "FaultSupport.h"
#include "SimDriver.h"
#include "SystemTexts.h"

#include <chrono>
#include <csignal>
#include <thread>

namespace {

constexpr int CliTimeoutMs = 150000;

struct SignalCase {
    const char* Name;
    std::vector<int> Signals;  // sent mid-file, a moment apart
    int Exit;
    bool Warns;  // "Update in progress. ..." on stderr
};

void PrintTo(const SignalCase& c, std::ostream* os)
{
    *os << c.Name;
}

class MidFileSignals : public testing::TestWithParam<SignalCase> {};

TEST_P(MidFileSignals, FinishOrCancelCleanly)
{
    const SignalCase& c = GetParam();
    Scenario s;
    // About 5 s at the line rate: every signal arrives while the file is being sent.
    const std::string font = SampleFirmware(60000, 91);
    s.AddFile("font.app", font);
    ASSERT_TRUE(s.StartSimulator({"--rate", "11520"}));
    ASSERT_TRUE(StartCli(s, s.Cli));
    ASSERT_TRUE(WaitForTranscript(s, "r\nl\n")) << s.Transcript();
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    for (const int signal : c.Signals) {
        ASSERT_TRUE(s.Cli.Signal(signal));
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    const int status = s.Cli.Wait(CliTimeoutMs);
    ASSERT_EQ(status, c.Exit) << "stdout:\n" << s.Cli.Out << "stderr:\n" << s.Cli.Err;
    EXPECT_EQ(s.Cli.Err.find(Texts::UpdateInProgress) != std::string::npos, c.Warns) << s.Cli.Err;

    if (c.Exit == 0) {
        EXPECT_EQ(s.LastStdoutLine(), Texts::UpdateOk);
        EXPECT_EQ(s.WaitSimulator(), 0);
        EXPECT_EQ(s.Transcript(), "r\nl\ns\n");
        EXPECT_TRUE(SameBytes(s.Saved(1), font));
        return;
    }
    EXPECT_EQ(s.LastStdoutLine(), Texts::UpdateError);
    const std::string log = s.Log();
    const std::string end = "\r\nUpdate cancelled by the user\r\nTerminated\r\n";
    EXPECT_EQ(log.rfind("Loading firmware\r\n", 0), 0u) << ShowLog(log);
    EXPECT_TRUE(log.size() > end.size() &&
                log.compare(log.size() - end.size(), end.size(), end) == 0)
        << ShowLog(log);
    ASSERT_TRUE(WaitForSaved(s, 1));
    s.StopSimulator();
    const std::string received = s.Saved(1);
    EXPECT_TRUE(PrefixOf(received, font));
    EXPECT_EQ(received.size() % 10, 0u) << received.size() << " bytes";
    EXPECT_GT(received.size(), 0u);
    EXPECT_LT(received.size(), font.size());
    EXPECT_EQ(s.Transcript(), "r\nl\n");  // no start command
}

INSTANTIATE_TEST_SUITE_P(
    Signals, MidFileSignals,
    testing::Values(SignalCase{"OneCtrlCOnlyWarns", {SIGINT}, 0, true},
                    SignalCase{"AClosedTerminalIsIgnored", {SIGHUP}, 0, false},
                    SignalCase{"CtrlZDoesNotStopTheRun", {SIGTSTP, SIGTTOU, SIGTTIN}, 0, true},
                    SignalCase{"TwoCtrlCsCancel", {SIGINT, SIGINT}, 130, true},
                    SignalCase{"TwoSigtermsCancel", {SIGTERM, SIGTERM}, 143, true}),
    [](const testing::TestParamInfo<SignalCase>& info) { return info.param.Name; });

}  // namespace
