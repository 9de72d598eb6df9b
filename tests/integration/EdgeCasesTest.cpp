// SPDX-License-Identifier: MIT
// The receiver's odd answers that decide a run, through the real zendrak-cli and the simulator.
#include "Scenario.h"
#include "SimDriver.h"
#include "SystemTexts.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

const std::string InitialisationHelp =
    std::string(Texts::StatusInitialisation) + Texts::LogHelpSuffix;
const std::string InStartMenu = std::string(Texts::StatusConnected) + Texts::LogInStartMenuSuffix;

struct ConnectCase {
    const char* Name;
    std::vector<std::string> Args;
    std::vector<std::string> ConnectEntries;  // after "SendRestart", before the file's entries
    std::string Transcript;
    bool BinaryMode = false;  // the file starts without a second "l"
};

void PrintTo(const ConnectCase& c, std::ostream* os)
{
    *os << c.Name;
}

class ConnectEdge : public testing::TestWithParam<ConnectCase> {};

TEST_P(ConnectEdge, ReachesTheLoaderAsTheAnswerSays)
{
    const ConnectCase& c = GetParam();
    Scenario s;
    const std::string font = SampleFirmware(1234, 20);
    s.AddFile("font.app", font);
    std::vector<std::string> args = {"--expect", "1234"};
    args.insert(args.end(), c.Args.begin(), c.Args.end());
    ASSERT_TRUE(s.StartSimulator(args));
    EXPECT_EQ(s.RunCli(), 0) << s.Cli.Err;
    EXPECT_EQ(s.LastStdoutLine(), Texts::UpdateOk);
    ExpectedLog expected;
    expected.Start(s.Path("font.app")).Add(Texts::LogSendRestart);
    for (const auto& e : c.ConnectEntries)
        expected.Add(e);
    if (c.BinaryMode) {
        expected.Add(Texts::StatusFileSent)
            .Add(Texts::StatusFileAccepted)
            .Add(Texts::StatusSaving)
            .Add(Texts::StatusSaved);
    } else {
        expected.StoredFile();
    }
    expected.Succeeded();
    EXPECT_EQ(s.Log(), expected.Bytes()) << ShowLog(s.Log());
    EXPECT_EQ(s.WaitSimulator(), 0);
    EXPECT_TRUE(SameBytes(s.Saved(1), font));
    EXPECT_EQ(s.Transcript(), c.Transcript);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, ConnectEdge,
    testing::Values(
        // The order of the tests decides, not the place in the text.
        ConnectCase{"MenuAndControlInOneBurst",
                    {"--menu-and-control"},
                    {Texts::LogFoundStartUpControl},
                    "r\nl\ns\n"},
        ConnectCase{"StartMenu", {"--menu"}, {InStartMenu}, "r\nl\ns\n"},
        ConnectCase{
            "DefaultChannelListRestarts",
            {"--channel-list"},
            {Texts::LogDefaultChannelList, Texts::LogSendRestart, Texts::LogFoundStartUpControl},
            "r\nr\nl\ns\n"},
        ConnectCase{"ExitToMainMenu",
                    {"--exit-menu"},
                    {Texts::LogExitToMainMenu, InitialisationHelp, InStartMenu},
                    "r\nl\nl\ns\n"},
        // The loader asks for the file itself: it goes out without a second "l".
        ConnectCase{"BinaryModeWithoutSecondLoad",
                    {"--exit-menu", "--binary-prompt"},
                    {Texts::LogExitToMainMenu, InitialisationHelp, Texts::LogSendFile},
                    "r\nl\ns\n",
                    true},
        // Unrecognised output, then a silent read: "l" again, with the count so far. The "l"
        // comes while the receiver still restarts, which ignores it.
        ConnectCase{
            "TryAgainAfterUnrecognisedOutput",
            {"--garbage", "3", "--startup-delay", "2000"},
            {std::string(Texts::LogTry100Again) + "3", std::string(Texts::StatusPleaseWait) + " 1",
             InitialisationHelp, Texts::LogFoundStartUpControl},
            "r\nl\nl\ns\n"}),
    [](const testing::TestParamInfo<ConnectCase>& info) { return info.param.Name; });

TEST(VerdictEdge, FinInsideAWordEndsTheFile)
{
    Scenario s;
    s.AddFile("font.app", SampleFirmware(300, 21));
    ASSERT_TRUE(s.StartSimulator({"--expect", "300", "--verdict-text", "undefined block 7"}));
    EXPECT_EQ(s.RunCli(), 0) << s.Cli.Err;
    EXPECT_EQ(s.LastStdoutLine(), Texts::UpdateOk);
    const std::string expected = ExpectedLog()
                                     .Start(s.Path("font.app"))
                                     .Add(Texts::LogSendRestart)
                                     .Add(Texts::LogFoundStartUpControl)
                                     .Add(Texts::StatusSendingFile4)
                                     .Add(Texts::StatusFileSent)
                                     .Add(Texts::StatusFin)
                                     .Succeeded()
                                     .Bytes();
    EXPECT_EQ(s.Log(), expected) << ShowLog(s.Log());
}

TEST(SendEdge, AStxInTheTailEndsTheFileAfterTheNextByte)
{
    Scenario s;
    // 1005 bytes: blocks up to byte 999, then bytes 1000..1004 singly. A 0x02 at 1001 stops
    // the send right after byte 1002; one earlier in the block part changes nothing.
    std::string font = SampleFirmware(1005, 22);
    for (char& c : font)
        if (c == '\x02')
            c = 'x';
    font[500] = '\x02';
    font[1001] = '\x02';
    s.AddFile("font.app", font);
    ASSERT_TRUE(s.StartSimulator({}));  // the file ends by the idle gap
    EXPECT_EQ(s.RunCli(), 0) << s.Cli.Err;
    EXPECT_EQ(s.WaitSimulator(), 0);
    EXPECT_TRUE(SameBytes(s.Saved(1), font.substr(0, 1003)));
    const std::string expected = ExpectedLog()
                                     .Start(s.Path("font.app"))
                                     .Add(Texts::LogSendRestart)
                                     .Add(Texts::LogFoundStartUpControl)
                                     .StoredFile()
                                     .Succeeded()
                                     .Bytes();
    EXPECT_EQ(s.Log(), expected) << ShowLog(s.Log());
}

TEST(RunEdge, TwoRunsInARowLeaveOnlyTheSecondLog)
{
    Scenario s;
    const std::string font = SampleFirmware(700, 23);
    s.AddFile("font.app", font);
    s.AddFile("decoder.app", SampleFirmware(800, 24));
    ASSERT_TRUE(s.StartSimulator({"--runs", "2", "--expect", "700,800,700"}));
    EXPECT_EQ(s.RunCli(), 0) << s.Cli.Err;
    std::filesystem::remove(s.Path("decoder.app"));
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
    EXPECT_TRUE(SameBytes(s.Saved(3), font));
    EXPECT_EQ(s.Transcript(), "r\nl\nl\ns\nr\nl\ns\n");
}

TEST(RunEdge, ALogThatCannotBeWrittenIsReported)
{
    Scenario s;
    s.AddFile("font.app", SampleFirmware(200, 25));
    std::filesystem::create_directory(s.Path(Texts::UpdateLogFileName));
    ASSERT_TRUE(s.StartSimulator({"--expect", "200"}));
    // The update itself went through ("s" was sent); the outcome follows the success flag, and
    // the lost log is said on stderr.
    EXPECT_EQ(s.RunCli(), 0);
    EXPECT_EQ(s.LastStdoutLine(), Texts::UpdateOk);
    EXPECT_TRUE(std::filesystem::is_directory(s.Path(Texts::UpdateLogFileName)));
    EXPECT_NE(s.Cli.Err.find(Texts::UpdateLogFileName), std::string::npos) << s.Cli.Err;
    EXPECT_EQ(s.WaitSimulator(), 0);
    EXPECT_EQ(s.Transcript(), "r\nl\ns\n");
    // Nothing but the directory is left behind.
    int entries = 0;
    for (const auto& e : std::filesystem::directory_iterator(s.RunDir))
        entries += e.path().filename() != "font.app";
    EXPECT_EQ(entries, 1);
}

TEST(Bound, EndlessFlashAnswersEndTheRun)
{
    Scenario s;
    s.AddFile("font.app", SampleFirmware(100, 26));
    ASSERT_TRUE(s.StartSimulator({"--flash-loop", "--burst-gap", "20", "--boot-delay", "20"}));
    EXPECT_EQ(s.RunCli(), 1);
    EXPECT_EQ(s.LastStdoutLine(), Texts::UpdateError);
    ExpectedLog expected;
    expected.Start(s.Path("font.app")).Add(Texts::LogSendRestart);
    for (int n = 1; n < 60; ++n)
        expected.Add(Texts::LogFoundFlash).Add(InitialisationHelp);
    expected.Add(Texts::LogFoundFlash)
        .Add(Texts::LogConnectReadStuffLimit)
        .Add(Texts::LogTerminated);
    EXPECT_EQ(s.Log(), expected.Bytes()) << ShowLog(s.Log());
    s.StopSimulator();
    EXPECT_EQ(s.Transcript().find('s'), std::string::npos);
}

TEST(Bound, EndlessProgressWhileStoringEndsTheWait)
{
    Scenario s;
    s.AddFile("font.app", SampleFirmware(100, 27));
    ASSERT_TRUE(s.StartSimulator({"--expect", "100", "--saved-chatter", "forever"}));
    EXPECT_EQ(s.RunCli({"-p", "COM1"}, {{"ZENDRAK_WAIT_SAVED_LIMIT_MS", "3000"}}), 1);
    EXPECT_EQ(s.LastStdoutLine(), Texts::UpdateError);
    const std::string expected = ExpectedLog()
                                     .Start(s.Path("font.app"))
                                     .Add(Texts::LogSendRestart)
                                     .Add(Texts::LogFoundStartUpControl)
                                     .Add(Texts::StatusSendingFile4)
                                     .Add(Texts::StatusFileSent)
                                     .Add(Texts::StatusFileAccepted)
                                     .Add(Texts::StatusSaving)
                                     .Add(Texts::StatusReadError)
                                     .Restarted()
                                     .Bytes();
    EXPECT_EQ(s.Log(), expected) << ShowLog(s.Log());
    EXPECT_EQ(s.WaitSimulator(), 0);
    EXPECT_EQ(s.Transcript(), "r\nl\ns\n");
}

}  // namespace
