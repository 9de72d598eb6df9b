// SPDX-License-Identifier: MIT
// Firmware files that change or disappear after the start, and a port that another run holds:
// the bytes sent are the bytes read at the start, and a second run on a busy port neither
// disturbs the first nor touches its log.
#include "FaultSupport.h"
#include "SimDriver.h"
#include "SystemTexts.h"

#include <filesystem>

namespace {

TEST(ChangedFiles, TheBytesReadAtTheStartAreSent)
{
    Scenario s;
    const std::string font = SampleFirmware(3000, 91);
    const std::string decoder = SampleFirmware(2000, 92);
    const std::string out = SampleFirmware(1000, 93);
    s.AddFile("font.app", font);
    s.AddFile("decoder.app", decoder);
    s.AddFile("out.app", out);
    // A slow restart keeps the run connecting while the files change under it.
    ASSERT_TRUE(s.StartSimulator({"--boot-delay", "3000", "--expect", "3000,2000,1000"}));
    ASSERT_TRUE(StartCli(s, s.Cli));
    ASSERT_TRUE(WaitForTranscript(s, "r\n"));
    ASSERT_TRUE(WriteWholeFile(s.Path("font.app"), SampleFirmware(5000, 94)));
    std::filesystem::remove(s.Path("decoder.app"));
    ASSERT_TRUE(WriteWholeFile(s.Path("out.app"), "x"));
    const int status = s.Cli.Wait(120000);
    EXPECT_EQ(status, 0) << s.Cli.Err;
    EXPECT_TRUE(ClearOutcome(s.Cli, status));
    EXPECT_EQ(s.WaitSimulator(), 0);
    EXPECT_TRUE(SameBytes(s.Saved(1), font));
    EXPECT_TRUE(SameBytes(s.Saved(2), decoder));
    EXPECT_TRUE(SameBytes(s.Saved(3), out));
}

TEST(HeldPort, ASecondRunOnTheSamePortFailsAndLeavesTheFirstAlone)
{
    Scenario s;
    const std::string font = SampleFirmware(4000, 95);
    s.AddFile("font.app", font);
    ASSERT_TRUE(s.StartSimulator({"--boot-delay", "2000", "--expect", "4000"}));
    ASSERT_TRUE(StartCli(s, s.Cli));
    ASSERT_TRUE(WaitForTranscript(s, "r\n"));
    // The second run works in a folder of its own (one folder allows one run at a time).
    const std::string otherDir = s.Dir + "/other";
    std::filesystem::create_directories(otherDir);
    ASSERT_TRUE(WriteWholeFile(otherDir + "/font.app", font));
    ChildProcess second;
    ASSERT_TRUE(second.Start(CliPath(), {"-C", otherDir, "-p", "COM1"}, s.Env));
    const int secondStatus = second.Wait(60000);
    EXPECT_EQ(secondStatus, 2) << second.Out << second.Err;
    EXPECT_NE(second.Err.find(Texts::ComErrorBoxText), std::string::npos) << second.Err;
    EXPECT_NE(second.Err.find("COM1"), std::string::npos) << second.Err;
    const int status = s.Cli.Wait(120000);
    EXPECT_EQ(status, 0) << s.Cli.Err;
    EXPECT_TRUE(ClearOutcome(s.Cli, status));
    EXPECT_EQ(s.WaitSimulator(), 0);
    EXPECT_TRUE(SameBytes(s.Saved(1), font));
    EXPECT_EQ(s.Transcript(), "r\nl\ns\n");  // nothing from the second run
    EXPECT_TRUE(EarlierLogKeptOrReplacedWhole(s.Log()));
    EXPECT_NE(s.Log().find(Texts::StatusAllFilesSent), std::string::npos) << ShowLog(s.Log());
}

}  // namespace
