// SPDX-License-Identifier: MIT
// The receiver's device vanishing at points of the run, and a receiver that stops reading: the
// run ends within its own limits with a clear outcome, the receiver never gets a byte that
// differs from the file, and the earlier log survives unless a whole new one replaced it.
#include "FaultSupport.h"
#include "SimDriver.h"
#include "SystemTexts.h"

#include <chrono>
#include <functional>
#include <random>
#include <thread>

namespace {

constexpr int CliTimeoutMs = 150000;

struct VanishCase {
    const char* Name;
    std::vector<std::string> SimArgs;
    // Waits for the moment and makes the device vanish (stops the simulator); empty when the
    // simulator's own option does it.
    std::function<void(Scenario&)> Vanish;
    bool RunSucceeds;
};

void PrintTo(const VanishCase& c, std::ostream* os)
{
    *os << c.Name;
}

class Vanish : public testing::TestWithParam<VanishCase> {};

TEST_P(Vanish, EndsClearlyAndSendsOnlyTheFilesBytes)
{
    const VanishCase& c = GetParam();
    Scenario s;
    const std::string font = SampleFirmware(30000, 61);
    s.AddFile("font.app", font);
    ASSERT_TRUE(WriteWholeFile(s.Path(Texts::UpdateLogFileName), EarlierLog));
    ASSERT_TRUE(s.StartSimulator(c.SimArgs));
    ASSERT_TRUE(StartCli(s, s.Cli));
    if (c.Vanish)
        c.Vanish(s);
    const int status = s.Cli.Wait(CliTimeoutMs);
    ASSERT_NE(status, -1) << "the run did not end: " << s.Cli.Err;
    EXPECT_TRUE(ClearOutcome(s.Cli, status));
    EXPECT_EQ(status, c.RunSucceeds ? 0 : 1);
    if (!c.RunSucceeds) {
        EXPECT_NE(s.Cli.Err.find(Texts::ComErrorBoxText), std::string::npos) << s.Cli.Err;
    }
    EXPECT_TRUE(EarlierLogKeptOrReplacedWhole(s.Log()));
    s.StopSimulator();
    EXPECT_TRUE(PrefixOf(s.Saved(1), font));
}

void StopAfterTranscript(Scenario& s, const std::string& prefix, int delayMs)
{
    ASSERT_TRUE(WaitForTranscript(s, prefix)) << s.Transcript();
    std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
    s.StopSimulator();
}

void StopAfterFile(Scenario& s, int delayMs)
{
    ASSERT_TRUE(WaitForSaved(s, 1));
    std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
    s.StopSimulator();
}

INSTANTIATE_TEST_SUITE_P(Faults, Vanish,
                         testing::Values(
                             // Restarting: gone before the start-up output.
                             VanishCase{"WhileConnecting",
                                        {"--boot-delay", "5000"},
                                        [](Scenario& s) { StopAfterTranscript(s, "r\n", 600); },
                                        false},
                             // Mid-file: the line closes after 3000 bytes of the file.
                             VanishCase{"MidFile", {"--vanish-after", "3000"}, nullptr, false},
                             // Mid-file at the line rate, by the device going away at once.
                             VanishCase{"MidFileAtLineRate",
                                        {"--rate", "11520"},
                                        [](Scenario& s) { StopAfterTranscript(s, "r\nl\n", 1200); },
                                        false},
                             // The file is in; the verdict has not come yet.
                             VanishCase{"WaitingForTheVerdict",
                                        {"--verdict-delay", "8000"},
                                        [](Scenario& s) { StopAfterFile(s, 300); },
                                        false},
                             // The file is verified; the receiver is storing it.
                             VanishCase{"WhileStoring",
                                        {"--saved-chatter", "forever", "--burst-gap", "300"},
                                        [](Scenario& s) { StopAfterFile(s, 800); },
                                        false},
                             // Gone right after the start command: the run had succeeded.
                             VanishCase{"AtTheStartCommand", {"--linger", "0"}, nullptr, true}),
                         [](const testing::TestParamInfo<VanishCase>& info) {
                             return info.param.Name;
                         });

// The device vanishes at random moments of a run; the seed is printed for a rerun.
TEST(VanishAtRandom, EveryMomentEndsClearly)
{
    const unsigned seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    for (int round = 0; round < 3; ++round) {
        Scenario s;
        const std::string font = SampleFirmware(12000, 70 + static_cast<uint32_t>(round));
        s.AddFile("font.app", font);
        ASSERT_TRUE(WriteWholeFile(s.Path(Texts::UpdateLogFileName), EarlierLog));
        ASSERT_TRUE(s.StartSimulator({"--rate", "11520"}));
        ASSERT_TRUE(StartCli(s, s.Cli));
        const int delayMs = std::uniform_int_distribution<int>(0, 4000)(random);
        SCOPED_TRACE("vanishing after " + std::to_string(delayMs) + " ms");
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
        s.StopSimulator();
        const int status = s.Cli.Wait(CliTimeoutMs);
        ASSERT_NE(status, -1) << "the run did not end: " << s.Cli.Err;
        EXPECT_TRUE(ClearOutcome(s.Cli, status));
        EXPECT_TRUE(EarlierLogKeptOrReplacedWhole(s.Log()));
        EXPECT_TRUE(PrefixOf(s.Saved(1), font));
    }
}

// The receiver stops reading mid-file: the writes time out, the run ends without hanging.
TEST(Stall, AStalledReaderEndsTheRunWithinItsTimeOuts)
{
    Scenario s;
    const std::string font = SampleFirmware(300000, 62);
    s.AddFile("font.app", font);
    ASSERT_TRUE(WriteWholeFile(s.Path(Texts::UpdateLogFileName), EarlierLog));
    ASSERT_TRUE(s.StartSimulator({"--stall-after", "5000"}));
    ASSERT_TRUE(StartCli(s, s.Cli));
    const int status = s.Cli.Wait(CliTimeoutMs);
    ASSERT_NE(status, -1) << "the run did not end: " << s.Cli.Err;
    EXPECT_TRUE(ClearOutcome(s.Cli, status));
    EXPECT_EQ(status, 1);
    EXPECT_NE(s.Cli.Err.find(Texts::ComErrorBoxText), std::string::npos) << s.Cli.Err;
    EXPECT_TRUE(EarlierLogKeptOrReplacedWhole(s.Log()));
    s.StopSimulator();
    EXPECT_TRUE(PrefixOf(s.Saved(1), font));
    EXPECT_EQ(s.Saved(1).size(), 5000u);
}

}  // namespace
