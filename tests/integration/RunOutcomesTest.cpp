// SPDX-License-Identifier: MIT
// Every way an update run can end, through the real zendrak-cli and the simulator: the exact
// log, the bytes the receiver got, the commands it saw, the outcome and the exit status.
#include "Scenario.h"
#include "SimDriver.h"
#include "SystemTexts.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

TEST(RunOutcome, OneFileSucceeds)
{
    Scenario s;
    const std::string font = SampleFirmware(3001, 11);
    s.AddFile("font.app", font);
    ASSERT_TRUE(s.StartSimulator({"--expect", "3001"}));
    EXPECT_EQ(s.RunCli(), 0) << s.Cli.Err;
    EXPECT_EQ(s.LastStdoutLine(), Texts::UpdateOk);
    const std::string expected = ExpectedLog()
                                     .Start(s.Path("font.app"))
                                     .Add(Texts::LogSendRestart)
                                     .Add(Texts::LogFoundStartUpControl)
                                     .StoredFile()
                                     .Succeeded()
                                     .Bytes();
    EXPECT_EQ(s.Log(), expected) << ShowLog(s.Log());
    EXPECT_EQ(s.WaitSimulator(), 0);
    EXPECT_TRUE(SameBytes(s.Saved(1), font));
    EXPECT_EQ(s.Transcript(), "r\nl\ns\n");
    EXPECT_EQ(s.Cli.Err, "");
}

TEST(RunOutcome, ThreeFilesSucceedInTheirOrder)
{
    Scenario s;
    const std::string font = SampleFirmware(4000, 1);
    const std::string decoder = SampleFirmware(9999, 2);
    const std::string out = SampleFirmware(21, 3);
    s.AddFile("out.app", out);
    s.AddFile("font.app", font);
    s.AddFile("decoder.app", decoder);
    ASSERT_TRUE(s.StartSimulator({"--expect", "4000,9999,21"}));
    EXPECT_EQ(s.RunCli(), 0) << s.Cli.Err;
    EXPECT_EQ(s.LastStdoutLine(), Texts::UpdateOk);
    const std::string expected = ExpectedLog()
                                     .Start(s.Path("font.app"))
                                     .Add(Texts::LogSendRestart)
                                     .Add(Texts::LogFoundStartUpControl)
                                     .StoredFile()
                                     .NextFile(s.Path("decoder.app"))
                                     .StoredFile()
                                     .NextFile(s.Path("out.app"))
                                     .StoredFile()
                                     .Succeeded()
                                     .Bytes();
    EXPECT_EQ(s.Log(), expected) << ShowLog(s.Log());
    EXPECT_EQ(s.WaitSimulator(), 0);
    EXPECT_TRUE(SameBytes(s.Saved(1), font));
    EXPECT_TRUE(SameBytes(s.Saved(2), decoder));
    EXPECT_TRUE(SameBytes(s.Saved(3), out));
    EXPECT_EQ(s.Transcript(), "r\nl\nl\nl\ns\n");
}

TEST(RunOutcome, NoFileAtAllSendsNothingAndWritesNoLog)
{
    Scenario s;
    ASSERT_TRUE(s.StartSimulator({}));
    EXPECT_EQ(s.RunCli(), 2);
    EXPECT_FALSE(s.LogExists());
    EXPECT_NE(s.Cli.Err.find("no firmware file"), std::string::npos) << s.Cli.Err;
    EXPECT_EQ(s.Cli.Out, "");
    s.StopSimulator();
    EXPECT_EQ(s.Transcript(), "");
}

TEST(RunOutcome, OnlyEmptyFilesEndWithTheShortLog)
{
    Scenario s;
    s.AddFile("font.app", "");
    s.AddFile("decoder.app", "");
    s.AddFile("out.app", "");
    ASSERT_TRUE(s.StartSimulator({}));
    EXPECT_EQ(s.RunCli(), 1);
    EXPECT_EQ(s.LastStdoutLine(), Texts::UpdateError);
    EXPECT_EQ(s.Log(), LogOf({Texts::LogLoadingFirmware, Texts::LogTerminated}));
    EXPECT_NE(s.Cli.Err.find(Texts::UpdateError), std::string::npos);
    s.StopSimulator();
    EXPECT_EQ(s.Transcript(), "");
}

TEST(RunOutcome, RefusedFileRestartsTheReceiver)
{
    Scenario s;
    s.AddFile("font.app", SampleFirmware(500, 4));
    s.AddFile("decoder.app", SampleFirmware(500, 5));
    ASSERT_TRUE(s.StartSimulator({"--expect", "500", "--verdict", "wrong"}));
    EXPECT_EQ(s.RunCli(), 1);
    EXPECT_EQ(s.LastStdoutLine(), Texts::UpdateError);
    const std::string expected = ExpectedLog()
                                     .Start(s.Path("font.app"))
                                     .Add(Texts::LogSendRestart)
                                     .Add(Texts::LogFoundStartUpControl)
                                     .Add(Texts::StatusSendingFile4)
                                     .Add(Texts::StatusFileSent)
                                     .Add(Texts::StatusWrong)
                                     .Restarted()
                                     .Bytes();
    EXPECT_EQ(s.Log(), expected) << ShowLog(s.Log());
    EXPECT_EQ(s.WaitSimulator(), 0);
    EXPECT_EQ(s.Transcript(), "r\nl\ns\n");
}

TEST(RunOutcome, DeviceGoneMidFileLeavesTheEarlierLog)
{
    Scenario s;
    const std::string font = SampleFirmware(20000, 6);
    s.AddFile("font.app", font);
    const std::string earlier = "an earlier run's log\r\n";
    WriteWholeFile(s.Path(Texts::UpdateLogFileName), earlier);
    ASSERT_TRUE(s.StartSimulator({"--vanish-after", "1000"}));
    EXPECT_EQ(s.RunCli(), 1);
    EXPECT_EQ(s.LastStdoutLine(), Texts::UpdateError);
    // The failed file send ends in "SendDataToPort error"; the start command then fails on the
    // gone line, so the run ends by that error: no log is written.
    EXPECT_EQ(s.Log(), earlier);
    EXPECT_NE(s.Cli.Err.find(Texts::ComErrorBoxText), std::string::npos) << s.Cli.Err;
    EXPECT_EQ(s.WaitSimulator(), 0);
    EXPECT_TRUE(SameBytes(s.Saved(1), font.substr(0, 1000)));
    EXPECT_EQ(s.Transcript(), "r\nl\n");
}

TEST(RunOutcome, StalledReceiverFailsTheSendAndTheStart)
{
    Scenario s;
    // Larger than what the line buffers, so the writes stop getting through.
    const std::string font = SampleFirmware(400000, 13);
    s.AddFile("font.app", font);
    ASSERT_TRUE(s.StartSimulator({"--stall-after", "2000"}));
    EXPECT_EQ(s.RunCli(), 1);
    EXPECT_EQ(s.LastStdoutLine(), Texts::UpdateError);
    EXPECT_FALSE(s.LogExists());
    EXPECT_NE(s.Cli.Err.find(Texts::ComErrorBoxText), std::string::npos) << s.Cli.Err;
    s.StopSimulator();
    EXPECT_TRUE(SameBytes(s.Saved(1), font.substr(0, 2000)));
    EXPECT_EQ(s.Transcript(), "r\nl\n");
}

TEST(RunOutcome, TooMuchOutputWhileConnectingEndsWithoutStart)
{
    Scenario s;
    s.AddFile("font.app", SampleFirmware(100, 7));
    // More bursts than the limit needs, so bursts that arrive in one read do not matter.
    ASSERT_TRUE(s.StartSimulator({"--garbage", "75", "--burst-gap", "100"}));
    EXPECT_EQ(s.RunCli(), 1);
    EXPECT_EQ(s.LastStdoutLine(), Texts::UpdateError);
    const std::string expected =
        ExpectedLog()
            .Start(s.Path("font.app"))
            .Add(Texts::LogSendRestart)
            .Add(Texts::LogReadStuffTry100)
            .Add(std::string(Texts::StatusInitialisation) + Texts::LogHelpSuffix)
            .Add(Texts::LogConnectReadStuffLimit)
            .Add(Texts::LogTerminated)
            .Bytes();
    EXPECT_EQ(s.Log(), expected) << ShowLog(s.Log());
    s.StopSimulator();
    EXPECT_EQ(s.Transcript().find('s'), std::string::npos) << s.Transcript();
}

TEST(RunOutcome, OutputDuringTheFirstFileCountsForTheSecond)
{
    Scenario s;
    s.AddFile("font.app", SampleFirmware(100, 8));
    s.AddFile("decoder.app", SampleFirmware(100, 9));
    // 31 unmarked bursts while the first file is verified, 40 for the second: neither alone
    // reaches the limit of 60, together they do.
    ASSERT_TRUE(s.StartSimulator(
        {"--expect", "100,100", "--result-chatter", "31,40", "--burst-gap", "100"}));
    EXPECT_EQ(s.RunCli(), 1);
    EXPECT_EQ(s.LastStdoutLine(), Texts::UpdateError);
    const std::string expected = ExpectedLog()
                                     .Start(s.Path("font.app"))
                                     .Add(Texts::LogSendRestart)
                                     .Add(Texts::LogFoundStartUpControl)
                                     .StoredFile()
                                     .NextFile(s.Path("decoder.app"))
                                     .Add(Texts::StatusSendingFile4)
                                     .Add(Texts::StatusFileSent)
                                     .Add(Texts::LogTransferReadStuffLimit)
                                     .Add(Texts::LogTerminated)
                                     .Bytes();
    EXPECT_EQ(s.Log(), expected) << ShowLog(s.Log());
    s.StopSimulator();
    EXPECT_EQ(s.Transcript(), "r\nl\nl\n");
}

}  // namespace
