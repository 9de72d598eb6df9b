// SPDX-License-Identifier: MIT
// The receiver simulator driven directly over its pseudo-terminal.
#include "SimDriver.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <chrono>
#include <filesystem>

namespace {

constexpr int Long = 10000;  // generous functional time-out, ms

bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

// Index of the read that holds `text`, -1 when none does.
int ReadWith(const SimDriver& sim, const std::string& text)
{
    for (size_t i = 0; i < sim.Reads.size(); ++i)
        if (Contains(sim.Reads[i], text))
            return static_cast<int>(i);
    return -1;
}

// One whole run of one file over an open line, as the loader drives it.
void PlayRun(SimDriver& sim, const std::string& file)
{
    ASSERT_TRUE(sim.Send("r\r\n"));
    ASSERT_TRUE(sim.ReadUntil("Q9X-SUC", Long));
    ASSERT_TRUE(sim.Send("l\r\n" + file));
    ASSERT_TRUE(sim.ReadUntil("ptImage->UnzipedCrc", Long));
    ASSERT_TRUE(sim.Send("s\r\n"));
    ASSERT_TRUE(sim.ReadUntil("Starting", Long));
}

TEST(Simulator, PlaysOneRunAndRecordsEveryByte)
{
    SimDriver sim;
    ASSERT_TRUE(sim.Start({"--burst-gap", "300"}));
    ASSERT_GE(sim.OpenLine(), 0);
    ASSERT_TRUE(sim.Send("r\r\n"));
    ASSERT_TRUE(sim.ReadUntil("Q9X-SUC", Long));
    ASSERT_TRUE(sim.Send("l\r\n"));
    // A file holding command lines: inside a file they are only bytes.
    const std::string file = SampleFirmware(6000, 1) + "r\r\ns\r\n";
    usleep(200000);
    ASSERT_TRUE(sim.Send(file));
    ASSERT_TRUE(sim.ReadUntil("ptImage->UnzipedCrc", Long));
    // Each part of the verdict comes as a burst of its own, in this order.
    const int ok = ReadWith(sim, "File OK!");
    const int sector = ReadWith(sim, "Write Sector");
    const int saved = ReadWith(sim, "ptImage->UnzipedCrc");
    EXPECT_GE(ok, 0);
    EXPECT_GT(sector, ok);
    EXPECT_GT(saved, sector);
    EXPECT_FALSE(Contains(sim.Reads[static_cast<size_t>(ok)], "Write Sector"));
    ASSERT_TRUE(sim.Send("s\r\n"));
    EXPECT_TRUE(sim.ReadUntil("Starting", Long));
    sim.CloseLine();
    EXPECT_EQ(sim.Wait(Long), 0);
    EXPECT_TRUE(SameBytes(sim.SavedFile(1), file));
    EXPECT_EQ(sim.Transcript(), "r\nl\ns\n");
}

struct AnswerCase {
    std::vector<std::string> Args;
    std::string Command;   // sent after "r" has been answered (empty: none)
    std::string Expected;  // in the answer to the last command
    std::string Absent;    // must not be in any answer
};

std::string Joined(const std::vector<std::string>& args)
{
    std::string text;
    for (const auto& a : args)
        text += (text.empty() ? "" : " ") + a;
    return text;
}

void PrintTo(const AnswerCase& c, std::ostream* os)
{
    *os << Joined(c.Args) << " / " << c.Command;
}

class SimulatorAnswers : public testing::TestWithParam<AnswerCase> {};

TEST_P(SimulatorAnswers, AnswerAsTheOptionsSay)
{
    const AnswerCase& c = GetParam();
    SimDriver sim;
    ASSERT_TRUE(sim.Start(c.Args));
    ASSERT_GE(sim.OpenLine(), 0);
    ASSERT_TRUE(sim.Send("r\r\n"));
    if (c.Command.empty()) {
        EXPECT_TRUE(sim.ReadUntil(c.Expected, Long));
    } else {
        sim.ReadFor(600);
        ASSERT_TRUE(sim.Send(c.Command + "\r\n"));
        EXPECT_TRUE(sim.ReadUntil(c.Expected, Long));
    }
    sim.ReadFor(300);
    std::string all;
    for (const auto& r : sim.Reads)
        all += r;
    if (!c.Absent.empty()) {
        EXPECT_FALSE(Contains(all, c.Absent)) << all;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Options, SimulatorAnswers,
    testing::Values(AnswerCase{{"--menu"}, "", "LOAD  APP", "Q9X-SUC"},
                    AnswerCase{{"--menu-and-control"}, "", "Q9X-SUC", ""},
                    AnswerCase{{"--binary-prompt"}, "l", "Send file in binary mode", ""},
                    AnswerCase{{"--channel-list"}, "", "Default ChannelList", "Q9X-SUC"},
                    AnswerCase{{"--channel-list"}, "r", "Q9X-SUC", ""},
                    AnswerCase{{"--exit-menu"}, "", "100 Exit to Main Menu", "Q9X-SUC"},
                    AnswerCase{{"--exit-menu"}, "l", "LOAD  APP", ""},
                    AnswerCase{{"--flash-loop"}, "", "Flash", "Q9X-SUC"},
                    AnswerCase{{"--flash-loop"}, "l", "Flash", "Q9X-SUC"}));

TEST(Simulator, MenuAndControlComeInOneBurst)
{
    SimDriver sim;
    ASSERT_TRUE(sim.Start({"--menu-and-control"}));
    ASSERT_GE(sim.OpenLine(), 0);
    ASSERT_TRUE(sim.Send("r\r\n"));
    ASSERT_TRUE(sim.ReadUntil("Q9X-SUC", Long));
    const std::string& burst = sim.Reads.back();
    ASSERT_TRUE(Contains(burst, "LOAD  APP"));
    EXPECT_LT(burst.find("LOAD  APP"), burst.find("Q9X-SUC"));
}

struct VerdictCase {
    std::vector<std::string> Args;
    std::string Expected;
    std::vector<std::string> Absent;
};

void PrintTo(const VerdictCase& c, std::ostream* os)
{
    *os << Joined(c.Args);
}

class SimulatorVerdicts : public testing::TestWithParam<VerdictCase> {};

TEST_P(SimulatorVerdicts, AnswerTheFile)
{
    const VerdictCase& c = GetParam();
    SimDriver sim;
    std::vector<std::string> args = {"--expect", "100"};
    args.insert(args.end(), c.Args.begin(), c.Args.end());
    ASSERT_TRUE(sim.Start(args));
    ASSERT_GE(sim.OpenLine(), 0);
    ASSERT_TRUE(sim.Send("r\r\n"));
    ASSERT_TRUE(sim.ReadUntil("Q9X-SUC", Long));
    ASSERT_TRUE(sim.Send("l\r\n" + SampleFirmware(100, 3)));
    std::string all;
    if (c.Expected.empty()) {
        all = sim.ReadFor(1500);
    } else {
        EXPECT_TRUE(sim.ReadUntil(c.Expected, Long));
        all = sim.ReadFor(400);
        for (const auto& r : sim.Reads)
            all += r;
    }
    for (const auto& absent : c.Absent)
        EXPECT_FALSE(Contains(all, absent)) << absent << " in " << all;
    EXPECT_TRUE(SameBytes(sim.SavedFile(1), SampleFirmware(100, 3)));
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, SimulatorVerdicts,
    testing::Values(
        VerdictCase{{"--verdict", "fin"}, "fin", {"File OK!", "wrong", "Write Sector"}},
        VerdictCase{{"--verdict", "wrong"}, "wrong", {"File OK!", "fin", "Write Sector"}},
        VerdictCase{{"--verdict", "silent"}, "", {"File OK!", "fin", "wrong", "Write"}},
        VerdictCase{{"--verdict-text", "undefined entry"}, "undefined entry", {"File OK!"}},
        VerdictCase{{"--result-chatter", "3"}, "ptImage->UnzipedCrc", {"fin", "wrong"}},
        VerdictCase{{"--saved-chatter", "2"}, "ptImage->UnzipedCrc", {"fin", "wrong"}}));

TEST(Simulator, ExpectEndsEachFileAtItsCountAndAGapEndsTheRest)
{
    SimDriver sim;
    ASSERT_TRUE(sim.Start({"--expect", "50", "--gap", "200"}));
    ASSERT_GE(sim.OpenLine(), 0);
    ASSERT_TRUE(sim.Send("r\r\n"));
    ASSERT_TRUE(sim.ReadUntil("Q9X-SUC", Long));
    // The count ends the first file; "l" right behind it is a command again.
    const std::string first = SampleFirmware(50, 4);
    const std::string second = SampleFirmware(3000, 5);
    ASSERT_TRUE(sim.Send("l\r\n" + first));
    ASSERT_TRUE(sim.ReadUntil("ptImage->UnzipedCrc", Long));
    ASSERT_TRUE(sim.Send("l\r\n" + second));
    sim.Reads.clear();
    ASSERT_TRUE(sim.ReadUntil("ptImage->UnzipedCrc", Long));
    EXPECT_TRUE(SameBytes(sim.SavedFile(1), first));
    EXPECT_TRUE(SameBytes(sim.SavedFile(2), second));
    EXPECT_EQ(sim.Transcript(), "r\nl\nl\n");
}

TEST(Simulator, GarbageComesInBurstsAndTheRestartIgnoresCommands)
{
    SimDriver sim;
    ASSERT_TRUE(sim.Start({"--garbage", "3", "--startup-delay", "700"}));
    ASSERT_GE(sim.OpenLine(), 0);
    ASSERT_TRUE(sim.Send("r\r\n"));
    ASSERT_TRUE(sim.ReadUntil("#boot stage 3", Long));
    // Sent while the receiver restarts: recorded, but it starts no file.
    ASSERT_TRUE(sim.Send("l\r\n"));
    ASSERT_TRUE(sim.ReadUntil("Q9X-SUC", Long));
    std::string all;
    for (const auto& r : sim.Reads)
        all += r;
    EXPECT_EQ(all,
              "#boot stage 1: dram timing 0x41\r\n#boot stage 2: dram timing 0x42\r\n"
              "#boot stage 3: dram timing 0x43\r\n\r\nBoot ROM v2.31\r\n"
              "CPU rev 7, RAM 64 MB\r\nLoader Q9X-SUC ready\r\n");
    ASSERT_TRUE(sim.Send("l\r\n"));
    ASSERT_TRUE(sim.Send(SampleFirmware(20, 6)));
    EXPECT_TRUE(sim.ReadUntil("ptImage->UnzipedCrc", Long));
    EXPECT_TRUE(SameBytes(sim.SavedFile(1), SampleFirmware(20, 6)));
    EXPECT_EQ(sim.Transcript(), "r\nl\nl\n");
}

TEST(Simulator, SilentReceiverAnswersNothingButStillEndsOnStart)
{
    SimDriver sim;
    ASSERT_TRUE(sim.Start({"--silent"}));
    ASSERT_GE(sim.OpenLine(), 0);
    ASSERT_TRUE(sim.Send("r\r\nl\r\n"));
    EXPECT_EQ(sim.ReadFor(1200), "");
    ASSERT_TRUE(sim.Send("s\r\n"));
    EXPECT_EQ(sim.ReadFor(300), "");
    sim.CloseLine();
    EXPECT_EQ(sim.Wait(Long), 0);
}

TEST(Simulator, VanishAfterClosesTheLineMidFile)
{
    SimDriver sim;
    ASSERT_TRUE(sim.Start({"--vanish-after", "1000"}));
    ASSERT_GE(sim.OpenLine(), 0);
    ASSERT_TRUE(sim.Send("r\r\n"));
    ASSERT_TRUE(sim.ReadUntil("Q9X-SUC", Long));
    const std::string file = SampleFirmware(5000, 7);
    ASSERT_TRUE(sim.Send("l\r\n"));
    bool failed = false;
    for (size_t pos = 0; pos < file.size() && !failed; pos += 10) {
        failed = write(sim.Line, file.data() + pos, 10) < 0;
        usleep(200);
    }
    EXPECT_TRUE(failed);
    EXPECT_EQ(sim.Wait(Long), 0);
    EXPECT_TRUE(SameBytes(sim.SavedFile(1), file.substr(0, 1000)));
}

TEST(Simulator, StallAfterStopsReading)
{
    SimDriver sim;
    ASSERT_TRUE(sim.Start({"--stall-after", "100"}));
    ASSERT_GE(sim.OpenLine(true), 0);
    ASSERT_TRUE(sim.Send("r\r\n"));
    ASSERT_TRUE(sim.ReadUntil("Q9X-SUC", Long));
    ASSERT_TRUE(sim.Send("l\r\n"));
    // Keep writing until the line takes no more: it must fill up well before 4 MB.
    const std::string block(4096, 'x');
    size_t written = 0;
    int full = 0;
    while (written < (4u << 20) && full < 50) {
        const ssize_t n = write(sim.Line, block.data(), block.size());
        if (n > 0) {
            written += static_cast<size_t>(n);
            full = 0;
        } else {
            ASSERT_EQ(errno, EAGAIN);
            ++full;
            usleep(20000);
        }
    }
    EXPECT_LT(written, 4u << 20);
    sim.Stop();
    EXPECT_TRUE(SameBytes(sim.SavedFile(1), std::string(100, 'x')));
}

TEST(Simulator, RateLimitsHowFastAFileIsRead)
{
    SimDriver sim;
    ASSERT_TRUE(sim.Start({"--rate", "11520", "--expect", "11520"}));
    ASSERT_GE(sim.OpenLine(), 0);
    ASSERT_TRUE(sim.Send("r\r\n"));
    ASSERT_TRUE(sim.ReadUntil("Q9X-SUC", Long));
    const std::string file = SampleFirmware(11520, 8);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(sim.Send("l\r\n" + file));
    ASSERT_TRUE(sim.ReadUntil("File OK!", Long));
    const auto took = std::chrono::steady_clock::now() - start;
    // One second at the nominal rate; only a lower bound can show the throttle.
    EXPECT_GE(took, std::chrono::milliseconds(700));
    EXPECT_TRUE(SameBytes(sim.SavedFile(1), file));
}

TEST(Simulator, PlaysSeveralRunsAcrossReopenedLines)
{
    SimDriver sim;
    ASSERT_TRUE(sim.Start({"--runs", "2", "--expect", "10,20"}));
    for (int run = 1; run <= 2; ++run) {
        ASSERT_GE(sim.OpenLine(), 0);
        sim.Reads.clear();
        ASSERT_NO_FATAL_FAILURE(PlayRun(sim, SampleFirmware(run * 10, run))) << run;
        sim.CloseLine();
        if (run == 1) {
            // The first "s" is not the last: the simulator waits for the next run.
            usleep(300000);
            EXPECT_TRUE(sim.Process.Running());
        }
    }
    EXPECT_EQ(sim.Wait(Long), 0);
    EXPECT_TRUE(SameBytes(sim.SavedFile(1), SampleFirmware(10, 1)));
    EXPECT_TRUE(SameBytes(sim.SavedFile(2), SampleFirmware(20, 2)));
    EXPECT_EQ(sim.Transcript(), "r\nl\ns\nr\nl\ns\n");
}

TEST(Simulator, SwitchesTheNextReceiverOnAndPlugsInANewDevice)
{
    SimDriver sim;
    const std::string dir = MakeTempDir();
    const std::string link = dir + "/ttyRECV";
    ASSERT_TRUE(sim.Start({"--link", link, "--runs", "2", "--expect", "10,10", "--next-receiver",
                           "300", "--replug", "1500"}));
    ASSERT_GE(sim.OpenLine(), 0);
    ASSERT_NO_FATAL_FAILURE(PlayRun(sim, SampleFirmware(10, 1)));
    // Nothing is asked, and the next receiver's start-up output comes.
    sim.Reads.clear();
    ASSERT_TRUE(sim.ReadUntil("Q9X-SUC", Long));
    // Then the device goes with its link, and a new one comes under the link.
    const std::string next = sim.Process.ReadLine(Long);
    ASSERT_FALSE(next.empty());
    EXPECT_NE(next, sim.SlavePath);
    EXPECT_EQ(std::filesystem::read_symlink(link).string(), next);
    sim.SlavePath = next;
    ASSERT_GE(sim.OpenLine(), 0);
    sim.Reads.clear();
    ASSERT_NO_FATAL_FAILURE(PlayRun(sim, SampleFirmware(10, 2)));
    sim.CloseLine();
    EXPECT_EQ(sim.Wait(Long), 0);
    EXPECT_EQ(sim.Transcript(), "r\nl\ns\nr\nl\ns\n");
    EXPECT_TRUE(SameBytes(sim.SavedFile(2), SampleFirmware(10, 2)));
    RemoveTree(dir);
}

TEST(Simulator, LinkPointsAtTheSerialEndUntilExit)
{
    SimDriver sim;
    const std::string dir = MakeTempDir();
    const std::string link = dir + "/ttyRECV";
    ASSERT_TRUE(sim.Start({"--link", link}));
    EXPECT_EQ(std::filesystem::read_symlink(link).string(), sim.SlavePath);
    sim.Stop();
    EXPECT_FALSE(std::filesystem::is_symlink(link));
    RemoveTree(dir);
}

TEST(Simulator, EndlessSavedChatterStopsOnStart)
{
    SimDriver sim;
    ASSERT_TRUE(sim.Start({"--saved-chatter", "forever", "--burst-gap", "50"}));
    ASSERT_GE(sim.OpenLine(), 0);
    ASSERT_TRUE(sim.Send("r\r\n"));
    ASSERT_TRUE(sim.ReadUntil("Q9X-SUC", Long));
    ASSERT_TRUE(sim.Send("l\r\n" + SampleFirmware(100, 9)));
    ASSERT_TRUE(sim.ReadUntil("Write Sector 8 ", Long));
    ASSERT_TRUE(sim.Send("s\r\n"));
    ASSERT_TRUE(sim.ReadUntil("Starting", Long));
    EXPECT_EQ(sim.ReadFor(300), "");
    std::string all;
    for (const auto& r : sim.Reads)
        all += r;
    EXPECT_FALSE(Contains(all, "ptImage"));
}

TEST(Simulator, HelpDocumentsEveryOptionAndBadOptionsFail)
{
    ChildProcess help;
    ASSERT_TRUE(help.Start(SimulatorPath(), {"--help"}));
    EXPECT_EQ(help.Wait(Long), 0);
    for (const char* option : {"--link",
                               "--runs",
                               "--linger",
                               "--save",
                               "--verbose",
                               "--menu",
                               "--menu-and-control",
                               "--boot-delay",
                               "--burst-gap",
                               "--binary-prompt",
                               "--gap",
                               "--expect",
                               "--verdict",
                               "--verdict-text",
                               "--verdict-delay",
                               "--result-chatter",
                               "--saved-chatter",
                               "--startup-delay",
                               "--silent",
                               "--garbage",
                               "--flash-loop",
                               "--channel-list",
                               "--exit-menu",
                               "--vanish-after",
                               "--stall-after",
                               "--rate",
                               "--own-restart",
                               "--next-receiver",
                               "--replug"})
        EXPECT_TRUE(Contains(help.Out, option)) << option;
    ChildProcess version;
    ASSERT_TRUE(version.Start(SimulatorPath(), {"--version"}));
    EXPECT_EQ(version.Wait(Long), 0);
    EXPECT_EQ(version.Out, "zendrak-receiver-sim 1.1.0\n");
    // A save folder that cannot be made is the simulator's own error, before it prints a path.
    const std::string dir = MakeTempDir();
    ASSERT_TRUE(WriteWholeFile(dir + "/plain", "x"));
    ChildProcess unsavable;
    ASSERT_TRUE(unsavable.Start(SimulatorPath(), {"--save", dir + "/plain/saved"}));
    EXPECT_EQ(unsavable.Wait(Long), 1);
    EXPECT_TRUE(Contains(unsavable.Err, "cannot create")) << unsavable.Err;
    RemoveTree(dir);
    for (const std::vector<std::string>& bad : {std::vector<std::string>{"--bogus"},
                                                {"--runs", "0"},
                                                {"--verdict", "maybe"},
                                                {"--verdict", "wrong,maybe"},
                                                {"--replug", "100"},  // without --link
                                                {"--expect", "1,x"},
                                                {"--gap"}}) {
        ChildProcess p;
        ASSERT_TRUE(p.Start(SimulatorPath(), bad));
        EXPECT_EQ(p.Wait(Long), 2) << bad[0];
        EXPECT_FALSE(p.Err.empty());
    }
}

}  // namespace
