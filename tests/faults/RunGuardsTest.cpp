// SPDX-License-Identifier: MIT
// What guards a run before its first byte, end to end with the real zendrak-cli and the
// simulator: another program's exclusive claim on the port stays its own, firmware files that
// cannot be used and a second run in the same folder stop the start with nothing sent, and a
// program started with its standard descriptors closed keeps its texts off the line.
#include "FaultSupport.h"
#include "SimDriver.h"
#include "SystemTexts.h"
#include "UnopenableFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <ostream>
#include <thread>

namespace {

// Nothing reached the receiver: no command in its transcript a while after the refusal.
testing::AssertionResult NothingSent(const Scenario& s)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    if (s.Transcript().empty())
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << "the receiver got: " << s.Transcript();
}

TEST(ExclusiveHolder, AFailedClaimLeavesTheHoldersFlagSet)
{
    Scenario s;
    s.AddFile("font.app", SampleFirmware(500, 71));
    ASSERT_TRUE(s.StartSimulator({}));
    // Another program holds the line exclusively; root gets past the flag at open, so the
    // claim itself must see it and fail without touching it.
    const int holder = ::open(s.SlavePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::ioctl(holder, TIOCEXCL), 0);

    EXPECT_EQ(s.RunCli(), 2) << s.Cli.Err;
    EXPECT_NE(s.Cli.Err.find(Texts::ComErrorBoxText), std::string::npos) << s.Cli.Err;
    int exclusive = 0;
    EXPECT_EQ(::ioctl(holder, TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 1) << "the holder's exclusive-use flag was cleared";
    EXPECT_TRUE(NothingSent(s));
    EXPECT_FALSE(s.LogExists());
    ::ioctl(holder, TIOCNXCL);
    ::close(holder);
}

struct UnusableFile {
    const char* Case;
    // Makes font.app unusable; returns what keeps it so (descriptors to close), or false when
    // this machine cannot make the case.
    std::function<bool(Scenario& s, int& held)> Make;
    const char* Reason;
};

void PrintTo(const UnusableFile& file, std::ostream* out)
{
    *out << file.Case;
}

class UnusableFirmFile : public testing::TestWithParam<UnusableFile> {};

TEST_P(UnusableFirmFile, StopsTheStartWithNothingSent)
{
    Scenario s;
    s.AddFile("font.app", SampleFirmware(500, 72));
    s.AddFile("out.app", SampleFirmware(300, 73));
    WriteWholeFile(s.Path(Texts::UpdateLogFileName), EarlierLog);
    int held = -1;
    if (!GetParam().Make(s, held))
        GTEST_SKIP() << "not possible on this machine";
    ASSERT_TRUE(s.StartSimulator({}));

    EXPECT_EQ(s.RunCli(), 2) << s.Cli.Err;
    EXPECT_NE(s.Cli.Err.find(s.Path("font.app")), std::string::npos) << s.Cli.Err;
    EXPECT_NE(s.Cli.Err.find(GetParam().Reason), std::string::npos) << s.Cli.Err;
    EXPECT_EQ(s.Cli.Err.find("no firmware file"), std::string::npos) << s.Cli.Err;
    EXPECT_EQ(s.Cli.Out.find(Texts::UpdateOk), std::string::npos) << s.Cli.Out;
    EXPECT_TRUE(NothingSent(s));
    EXPECT_EQ(s.Log(), EarlierLog);
    if (held >= 0)
        ::close(held);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, UnusableFirmFile,
    testing::Values(UnusableFile{"LockedByAnotherProgram",
                                 [](Scenario& s, int& held) {
                                     held = ::open(s.Path("font.app").c_str(), O_RDONLY);
                                     return held >= 0 && ::flock(held, LOCK_SH) == 0;
                                 },
                                 "another program has it locked"},
                    UnusableFile{"CannotBeOpened",
                                 [](Scenario& s, int&) {
                                     const std::string target = UnopenableRegularFile(s.Dir);
                                     std::filesystem::remove(s.Path("font.app"));
                                     return !target.empty() &&
                                            ::symlink(target.c_str(), s.Path("font.app").c_str()) ==
                                                0;
                                 },
                                 "cannot be opened for reading"}),
    [](const auto& info) { return std::string(info.param.Case); });

TEST(OneRunPerFolder, ASecondRunInTheSameFolderRefusesAndSendsNothing)
{
    Scenario s;
    const std::string font = SampleFirmware(4000, 74);
    s.AddFile("font.app", font);
    ASSERT_TRUE(s.StartSimulator({"--boot-delay", "2000", "--expect", "4000"}));
    ASSERT_TRUE(StartCli(s, s.Cli));
    ASSERT_TRUE(WaitForTranscript(s, "r\n"));
    ChildProcess second;
    ASSERT_TRUE(StartCli(s, second));
    EXPECT_EQ(second.Wait(60000), 2) << second.Out << second.Err;
    EXPECT_NE(second.Err.find(Texts::AnotherUpdateRunning), std::string::npos) << second.Err;
    EXPECT_EQ(second.Err.find(Texts::ComErrorBoxText), std::string::npos) << second.Err;

    const int status = s.Cli.Wait(120000);
    EXPECT_EQ(status, 0) << s.Cli.Err;
    EXPECT_TRUE(ClearOutcome(s.Cli, status));
    EXPECT_EQ(s.WaitSimulator(), 0);
    EXPECT_TRUE(SameBytes(s.Saved(1), font));
    EXPECT_EQ(s.Transcript(), "r\nl\ns\n");
    EXPECT_NE(s.Log().find(Texts::StatusAllFilesSent), std::string::npos) << ShowLog(s.Log());

    // Once the first run has ended, the folder is free again.
    ASSERT_TRUE(s.StartSimulator({"--expect", "4000"}));
    EXPECT_EQ(s.RunCli(), 0) << s.Cli.Err;
}

// Whether a process's arguments (/proc/PID/cmdline) hold `argument` as one of them.
bool HasArgument(const std::string& cmdline, const std::string& argument)
{
    size_t start = 0;
    for (size_t end; (end = cmdline.find('\0', start)) != std::string::npos; start = end + 1)
        if (cmdline.compare(start, end - start, argument) == 0)
            return true;
    return false;
}

// What descriptors 0, 1 and 2 of the zendrak-cli working in `runDir` (given with -C) point to;
// empty when no such process is found.
std::vector<std::string> StandardDescriptorsOfCliIn(const std::string& runDir)
{
    namespace fs = std::filesystem;
    std::error_code error;
    for (const auto& process : fs::directory_iterator("/proc", error)) {
        if (!HasArgument(ReadWholeFile((process.path() / "cmdline").string()), runDir) ||
            ReadWholeFile((process.path() / "comm").string()) != "zendrak-cli\n")
            continue;
        std::error_code ignored;
        std::vector<std::string> targets;
        for (const char* fd : {"0", "1", "2"})
            targets.push_back(fs::read_symlink(process.path() / "fd" / fd, ignored).string());
        return targets;
    }
    return {};
}

struct Closed {
    const char* Name;
    const char* Redirections;  // for the shell that starts zendrak-cli
    std::vector<int> Descriptors;
};

void PrintTo(const Closed& closed, std::ostream* out)
{
    *out << closed.Name;
}

class ClosedStandardDescriptors : public testing::TestWithParam<Closed> {};

TEST_P(ClosedStandardDescriptors, TheUpdateWorksAndNoTextReachesTheLine)
{
    Scenario s;
    const std::string font = SampleFirmware(3000, 75);
    s.AddFile("font.app", font);
    ASSERT_TRUE(s.StartSimulator({"--boot-delay", "2000", "--expect", "3000"}));
    // No -p and no Zendrak.dat: a text for stderr comes before the port is opened, and status
    // texts for stdout while it is open.
    const std::string script = std::string("exec \"$0\" \"$@\" ") + GetParam().Redirections;
    ASSERT_TRUE(s.Cli.Start("/bin/sh", {"-c", script, CliPath(), "-C", s.RunDir}, s.Env));
    // While the port is open, each closed descriptor is /dev/null, never the port.
    ASSERT_TRUE(WaitForTranscript(s, "r\n"));
    const auto targets = StandardDescriptorsOfCliIn(s.RunDir);
    ASSERT_EQ(targets.size(), 3u);
    for (int fd : GetParam().Descriptors)
        EXPECT_EQ(targets[size_t(fd)], "/dev/null") << "descriptor " << fd;

    EXPECT_EQ(s.Cli.Wait(120000), 0);
    EXPECT_EQ(s.WaitSimulator(), 0);
    EXPECT_EQ(s.Transcript(), "r\nl\ns\n");
    EXPECT_TRUE(SameBytes(s.Saved(1), font));
    EXPECT_NE(s.Log().find(Texts::StatusAllFilesSent), std::string::npos) << ShowLog(s.Log());
}

INSTANTIATE_TEST_SUITE_P(Faults, ClosedStandardDescriptors,
                         testing::Values(Closed{"AllThree", "<&- 1>&- 2>&-", {0, 1, 2}},
                                         Closed{"OutAndErr", "1>&- 2>&-", {1, 2}},
                                         Closed{"Err", "2>&-", {2}}),
                         [](const auto& info) { return std::string(info.param.Name); });

}  // namespace
