// SPDX-License-Identifier: MIT
// The outcomes that take long silences (each silent read lasts about 1.3 s), through the real
// zendrak-cli and the simulator.
#include "Scenario.h"
#include "SimDriver.h"
#include "SystemTexts.h"

#include <gtest/gtest.h>

namespace {

std::string Count(int n)
{
    return std::to_string(n);
}

TEST(RunOutcome, SilentReceiverGivesUpConnecting)
{
    Scenario s;
    s.AddFile("font.app", SampleFirmware(100, 10));
    ASSERT_TRUE(s.StartSimulator({"--silent"}));
    EXPECT_EQ(s.RunCli(), 1);
    EXPECT_EQ(s.LastStdoutLine(), Texts::UpdateError);
    ExpectedLog expected;
    expected.Start(s.Path("font.app")).Add(Texts::LogSendRestart);
    for (int n : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 16})
        expected.Add(std::string(Texts::StatusPleaseWait) + " " + Count(n));
    expected.Add(Texts::StatusNoConnection).Restarted();
    EXPECT_EQ(s.Log(), expected.Bytes()) << ShowLog(s.Log());
    EXPECT_EQ(s.WaitSimulator(), 0);
    EXPECT_EQ(s.Transcript(), "r\ns\n");
}

TEST(RunOutcome, SilenceWhileVerifyingEndsTheWait)
{
    Scenario s;
    s.AddFile("font.app", SampleFirmware(100, 12));
    ASSERT_TRUE(s.StartSimulator({"--expect", "100", "--verdict", "silent"}));
    EXPECT_EQ(s.RunCli(), 1);
    EXPECT_EQ(s.LastStdoutLine(), Texts::UpdateError);
    ExpectedLog expected;
    expected.Start(s.Path("font.app"))
        .Add(Texts::LogSendRestart)
        .Add(Texts::LogFoundStartUpControl)
        .Add(Texts::StatusSendingFile4)
        .Add(Texts::StatusFileSent);
    for (int n = 10; n <= 60; n += 10)
        expected.Add(Texts::LogWaitResultReadNothing + Count(n));
    expected.Restarted();
    EXPECT_EQ(s.Log(), expected.Bytes()) << ShowLog(s.Log());
    EXPECT_EQ(s.WaitSimulator(), 0);
    EXPECT_EQ(s.Transcript(), "r\nl\ns\n");
}

}  // namespace
