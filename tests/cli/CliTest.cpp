// SPDX-License-Identifier: MIT
// zendrak-cli as a user meets it: its usage and exit codes, the port from -p or Zendrak.dat,
// what it prints, --list-ports, and a port that another program holds.
#include "Scenario.h"
#include "SimDriver.h"
#include "SystemTexts.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <filesystem>
#include <thread>

namespace {

constexpr int Long = 60000;

bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t nl = text.find('\n', start);
        lines.push_back(text.substr(start, nl - start));
        if (nl == std::string::npos)
            break;
        start = nl + 1;
    }
    return lines;
}

struct UsageCase {
    std::vector<std::string> Args;
    int Exit;
    std::string Out;  // part of stdout
    std::string Err;  // part of stderr
};

void PrintTo(const UsageCase& c, std::ostream* os)
{
    for (const auto& a : c.Args)
        *os << a << ' ';
}

class CliUsage : public testing::TestWithParam<UsageCase> {};

TEST_P(CliUsage, ExitsAsDocumented)
{
    const UsageCase& c = GetParam();
    ChildProcess cli;
    const std::string dir = MakeTempDir();
    ASSERT_TRUE(cli.Start(CliPath(), c.Args, {{"ZENDRAK_NO_PORT_DETECTION", "1"}}, dir));
    EXPECT_EQ(cli.Wait(Long), c.Exit) << cli.Err;
    EXPECT_TRUE(Contains(cli.Out, c.Out)) << cli.Out;
    EXPECT_TRUE(Contains(cli.Err, c.Err)) << cli.Err;
    // Nothing is written where it ran.
    EXPECT_TRUE(std::filesystem::is_empty(dir));
    RemoveTree(dir);
}

INSTANTIATE_TEST_SUITE_P(
    Options, CliUsage,
    testing::Values(
        UsageCase{{"--help"}, 0, "Usage: zendrak-cli [-p PORT[,PORT...]]... [-C DIR] [-q]", ""},
        UsageCase{{"--version"}, 0, "zendrak-cli 1.1.0\n", ""},
        UsageCase{{"-V"}, 0, "zendrak-cli 1.1.0\n", ""},
        UsageCase{{"-x"}, 2, "", "unknown option: -x"}, UsageCase{{"-p"}, 2, "", "needs a value"},
        UsageCase{{"-p", "COM0"}, 2, "", "not a port"},
        UsageCase{{"-p", "LPT1"}, 2, "", "not a port"},
        UsageCase{{"-p", "COM1", "extra"}, 2, "", "unexpected argument"},
        UsageCase{{"--help", "-q"}, 2, "", "take no other options"},
        UsageCase{{"-C", "/nonexistent/zendrak"}, 2, "", "cannot change into"},
        // No firmware file: nothing sent, nothing written, said on stderr.
        UsageCase{{"-p", "COM1"}, 2, "", "no firmware file"},
        // Not even a record of updates: no update began.
        UsageCase{{"-p", "COM1", "--loop", "--retries", "2"}, 2, "", "no firmware file"}));

// The commands that only print end with 1 when what they print cannot be written: to a full
// disk (/dev/full) or into a pipe whose reader has gone. Only the real program shows its status.
TEST(CliOutput, ThatCannotBeWrittenEndsWithOne)
{
    const std::string dir = MakeTempDir();
    std::filesystem::create_directories(dir + "/zendrak");
    WriteWholeFile(dir + "/zendrak/ports", "COM1=/dev/null\n");
    enum class Sink { DevNull, DevFull, ClosedPipe };
    const std::vector<std::string> commands[] = {
        {"--help"}, {"-h"}, {"--version"}, {"-V"}, {"--list-ports"}};
    for (const auto& args : commands) {
        for (const Sink sink : {Sink::DevNull, Sink::DevFull, Sink::ClosedPipe}) {
            int out = -1;
            int pipeEnds[2] = {-1, -1};
            if (sink == Sink::ClosedPipe) {
                ASSERT_EQ(::pipe(pipeEnds), 0);
                ::close(pipeEnds[0]);
                out = pipeEnds[1];
            } else {
                out = ::open(sink == Sink::DevNull ? "/dev/null" : "/dev/full", O_WRONLY);
            }
            ASSERT_GE(out, 0);
            const pid_t child = ::fork();
            if (child == 0) {
                ::dup2(out, STDOUT_FILENO);
                const int quiet = ::open("/dev/null", O_WRONLY);
                ::dup2(quiet, STDERR_FILENO);
                ::setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
                ::setenv("XDG_STATE_HOME", dir.c_str(), 1);
                ::setenv("ZENDRAK_NO_PORT_DETECTION", "1", 1);
                std::vector<char*> argv{const_cast<char*>(CliPath().c_str())};
                for (const std::string& arg : args)
                    argv.push_back(const_cast<char*>(arg.c_str()));
                argv.push_back(nullptr);
                const std::string program = CliPath();
                ::execv(program.c_str(), argv.data());
                ::_exit(127);
            }
            ::close(out);
            int status = 0;
            ASSERT_EQ(::waitpid(child, &status, 0), child);
            ASSERT_TRUE(WIFEXITED(status)) << args[0] << " died from signal " << WTERMSIG(status);
            EXPECT_EQ(WEXITSTATUS(status), sink == Sink::DevNull ? 0 : 1)
                << args[0] << " to " << static_cast<int>(sink);
        }
    }
    RemoveTree(dir);
}

// A one-file run against the simulator; the port comes as the arguments and Zendrak.dat say.
struct PortCase {
    const char* Name;
    int Com;                        // the COM number the port map gives the simulator
    const char* Settings;           // Zendrak.dat's bytes; nullptr: no file
    std::vector<std::string> Args;  // "@" stands for the simulator's device path
    bool SettingsMessage;           // "Error open Zendrak.dat !!!" expected on stderr
};

void PrintTo(const PortCase& c, std::ostream* os)
{
    *os << c.Name;
}

class CliPort : public testing::TestWithParam<PortCase> {};

TEST_P(CliPort, OpensThePortItIsGiven)
{
    const PortCase& c = GetParam();
    Scenario s;
    s.AddFile("decoder.app", SampleFirmware(2500, 40));
    ASSERT_TRUE(s.StartSimulator({"--expect", "2500"}, c.Com));
    std::string settings;
    if (c.Settings) {
        settings = c.Settings;
        WriteWholeFile(s.Path(Texts::SettingsFileName), settings);
    }
    std::vector<std::string> args = c.Args;
    for (auto& a : args) {
        if (a == "@")
            a = s.SlavePath;
    }
    EXPECT_EQ(s.RunCli(args), 0) << s.Cli.Err;
    EXPECT_EQ(Contains(s.Cli.Err, Texts::ErrorOpenSettings), c.SettingsMessage) << s.Cli.Err;
    const std::vector<std::string> out = Lines(s.Cli.Out);
    ASSERT_FALSE(out.empty());
    EXPECT_EQ(out.back(), Texts::UpdateOk);
    EXPECT_TRUE(Contains(s.Cli.Out, "\nSending " + s.Path("decoder.app") + "\n")) << s.Cli.Out;
    EXPECT_TRUE(Contains(s.Cli.Out, "100%\n"));
    // Zendrak.dat is only read.
    EXPECT_EQ(std::filesystem::exists(s.Path(Texts::SettingsFileName)), c.Settings != nullptr);
    if (c.Settings) {
        EXPECT_EQ(ReadWholeFile(s.Path(Texts::SettingsFileName)), settings);
    }
    EXPECT_EQ(s.WaitSimulator(), 0);
    EXPECT_TRUE(SameBytes(s.Saved(1), SampleFirmware(2500, 40)));
}

INSTANTIATE_TEST_SUITE_P(
    Ports, CliPort,
    testing::Values(PortCase{"FromSettingsFile", 12, "\x0C", {}, false},
                    PortCase{"NoSettingsFileMeansCom1", 1, nullptr, {}, true},
                    PortCase{"EmptySettingsFileMeansCom1", 1, "", {}, false},
                    PortCase{"OptionOverridesSettingsFile", 3, "\x09", {"-p", "COM3"}, false},
                    PortCase{"DevicePath", 7, "\x07", {"-p", "@"}, false}),
    [](const testing::TestParamInfo<PortCase>& info) { return info.param.Name; });

TEST(Cli, QuietShowsOnlyTheOutcome)
{
    Scenario s;
    s.AddFile("out.app", SampleFirmware(300, 41));
    ASSERT_TRUE(s.StartSimulator({"--expect", "300", "--verdict", "wrong"}));
    EXPECT_EQ(s.RunCli({"-p", "COM1", "-q"}), 1);
    EXPECT_EQ(s.Cli.Out, std::string(Texts::UpdateError) + "\n");
}

TEST(Cli, PortHeldByAnotherProgramIsNotUsed)
{
    Scenario s;
    s.AddFile("font.app", SampleFirmware(300, 42));
    ASSERT_TRUE(s.StartSimulator({}));
    // Another program holds the line, as a terminal program would.
    const int held = open(s.SlavePath.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(held, 0);
    ASSERT_EQ(ioctl(held, TIOCEXCL), 0);
    ASSERT_EQ(flock(held, LOCK_EX | LOCK_NB), 0);
    EXPECT_EQ(s.RunCli(), 2);
    close(held);
    const std::vector<std::string> err = Lines(s.Cli.Err);
    ASSERT_GE(err.size(), 3u) << s.Cli.Err;
    EXPECT_EQ(err[0], Texts::ComErrorBoxText);
    EXPECT_EQ(err[1], std::string(Texts::ErrorOpenCom) + "COM1");
    EXPECT_TRUE(Contains(err[2], "Another program")) << err[2];
    EXPECT_EQ(s.Cli.Out, "");
    EXPECT_FALSE(s.LogExists());
    s.StopSimulator();
    EXPECT_EQ(s.Transcript(), "");
}

TEST(Cli, UnmappedPortFailsToOpen)
{
    Scenario s;
    s.AddFile("font.app", SampleFirmware(300, 43));
    ASSERT_TRUE(s.StartSimulator({}));
    EXPECT_EQ(s.RunCli({"-p", "COM42"}), 2);
    const std::vector<std::string> err = Lines(s.Cli.Err);
    ASSERT_GE(err.size(), 3u) << s.Cli.Err;
    EXPECT_EQ(err[0], Texts::ComErrorBoxText);
    EXPECT_EQ(err[1], std::string(Texts::ErrorOpenCom) + "COM42");
    EXPECT_TRUE(Contains(err[2], "port map")) << err[2];
    EXPECT_FALSE(s.LogExists());
}

struct ListCase {
    const char* Name;
    std::string Map;
    int Exit;
    std::string Out;
    std::string Err;
};

void PrintTo(const ListCase& c, std::ostream* os)
{
    *os << c.Name;
}

class CliListPorts : public testing::TestWithParam<ListCase> {};

TEST_P(CliListPorts, ListsThePortMap)
{
    const ListCase& c = GetParam();
    const std::string dir = MakeTempDir();
    std::filesystem::create_directories(dir + "/zendrak");
    WriteWholeFile(dir + "/zendrak/ports", c.Map);
    ChildProcess cli;
    ASSERT_TRUE(cli.Start(CliPath(), {"--list-ports"},
                          {{"XDG_CONFIG_HOME", dir}, {"ZENDRAK_NO_PORT_DETECTION", "1"}}));
    EXPECT_EQ(cli.Wait(Long), c.Exit);
    EXPECT_EQ(cli.Out, c.Out);
    EXPECT_TRUE(Contains(cli.Err, c.Err)) << cli.Err;
    RemoveTree(dir);
}

INSTANTIATE_TEST_SUITE_P(
    Maps, CliListPorts,
    testing::Values(
        ListCase{"AscendingByNumber",
                 "# the bench\nCOM12=/dev/ttyUSB1\n\n COM3 = /dev/serial/by-id/usb-x \n", 0,
                 "COM3  /dev/serial/by-id/usb-x  /dev/serial/by-id/usb-x  -  absent\n"
                 "COM12  /dev/ttyUSB1  /dev/ttyUSB1  -  absent\n",
                 ""},
        ListCase{"MalformedLineEndsTheList", "COM2=/dev/ttyS1\nbogus\nCOM4=/dev/ttyS3\n", 1,
                 "COM2  /dev/ttyS1  /dev/ttyS1  -  absent\n", ":2:"},
        ListCase{"NoPort", "# nothing here\n", 1, "", Texts::NoComPort},
        // Nothing accepts connections on port 1 here: the server's port is absent.
        ListCase{"NetworkPortsAskTheirServer", "COM5=tcp://127.0.0.1:1\n", 0,
                 "COM5  tcp://127.0.0.1:1  tcp://127.0.0.1:1  -  absent\n", ""},
        ListCase{"NetworkAddressWrittenWrongly", "COM5=rfc2217://bench-3\n", 1, "",
                 "'rfc2217://bench-3' is no network address: no port number"}),
    [](const testing::TestParamInfo<ListCase>& info) { return info.param.Name; });

}  // namespace

namespace {

TEST(CliWait, StartsWhenTheReceiverAppearsLate)
{
    Scenario s;
    s.AddFile("font.app", SampleFirmware(500, 44));
    WriteWholeFile(s.ConfigDir + "/zendrak/ports", "COM1=" + s.LinkPath + "\n");
    ASSERT_TRUE(s.Cli.Start(CliPath(), {"-C", s.RunDir, "-p", "COM1", "--wait", "60"}, s.Env));
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    EXPECT_TRUE(s.Cli.Running());  // still waiting, not failed
    ASSERT_TRUE(s.StartSimulator({"--expect", "500"}));
    EXPECT_EQ(s.Cli.Wait(Long), 0) << s.Cli.Err;
    EXPECT_EQ(s.LastStdoutLine(), Texts::UpdateOk);
    EXPECT_TRUE(SameBytes(s.Saved(1), SampleFirmware(500, 44)));
}

TEST(CliWait, ACheckWaitsForTheReceiverToo)
{
    Scenario s;
    s.AddFile("font.app", SampleFirmware(500, 46));
    ASSERT_TRUE(s.Cli.Start(CliPath(),
                            {"-C", s.RunDir, "-p", s.LinkPath, "--wait", "60", "--check"}, s.Env));
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    EXPECT_TRUE(s.Cli.Running());
    ASSERT_TRUE(s.StartSimulator({}));
    EXPECT_EQ(s.Cli.Wait(Long), 0) << s.Cli.Err;
    EXPECT_TRUE(Contains(s.Cli.Out, "An update could start.")) << s.Cli.Out;
}

TEST(CliWait, GivesUpAfterTheTimeAndSaysSo)
{
    Scenario s;
    s.AddFile("font.app", SampleFirmware(500, 45));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(s.RunCli({"-p", s.LinkPath, "--wait", "0.6"}), 2);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(600));
    EXPECT_TRUE(Contains(s.Cli.Err, s.LinkPath + ": no device appeared within 0.6 s")) << s.Cli.Err;
    EXPECT_TRUE(Contains(s.Cli.Err, Texts::ComErrorBoxText)) << s.Cli.Err;
    EXPECT_FALSE(s.LogExists());
}

// With detection on, the machine's own serial devices may be listed as well: only the
// remembered lines are checked.
TEST(CliRememberedPorts, ListedWhileAbsentAndForgottenOnRequest)
{
    const std::string dir = MakeTempDir();
    const std::string file = dir + "/zendrak/assigned-ports";
    std::filesystem::create_directories(dir + "/zendrak");
    WriteWholeFile(file,
                   "COM97=/dev/serial/by-id/zendrak-test-gone-a\n"
                   "COM98=/dev/serial/by-id/zendrak-test-gone-b\n");
    const std::map<std::string, std::string> env = {{"XDG_CONFIG_HOME", dir},
                                                    {"XDG_STATE_HOME", dir}};
    ChildProcess list;
    ASSERT_TRUE(list.Start(CliPath(), {"--list-ports"}, env));
    list.Wait(Long);
    EXPECT_TRUE(Contains(list.Out, "COM97  -  /dev/serial/by-id/zendrak-test-gone-a  -  absent\n"))
        << list.Out;

    ChildProcess forget;
    ASSERT_TRUE(forget.Start(CliPath(), {"--forget-port", "COM97"}, env));
    EXPECT_EQ(forget.Wait(Long), 0) << forget.Err;
    EXPECT_FALSE(Contains(ReadWholeFile(file), "gone-a"));
    EXPECT_TRUE(Contains(ReadWholeFile(file), "COM98=/dev/serial/by-id/zendrak-test-gone-b\n"));

    ChildProcess again;
    ASSERT_TRUE(again.Start(CliPath(), {"--forget-port", "COM97"}, env));
    EXPECT_EQ(again.Wait(Long), 1);
    EXPECT_TRUE(Contains(again.Err, "COM97 is not a remembered number")) << again.Err;
    RemoveTree(dir);
}

// A file of remembered numbers that is no regular file is named and left as it is: --forget-port
// fails, --list-ports still lists (with --port=, as the long option forms go).
TEST(CliRememberedPorts, AStateFileThatIsADirectoryIsNamedAndKept)
{
    const std::string dir = MakeTempDir();
    const std::string file = dir + "/zendrak/assigned-ports";
    std::filesystem::create_directories(file);
    WriteWholeFile(dir + "/zendrak/ports", "COM5=/dev/null\n");
    const std::map<std::string, std::string> env = {{"XDG_CONFIG_HOME", dir},
                                                    {"XDG_STATE_HOME", dir}};
    ChildProcess forget;
    ASSERT_TRUE(forget.Start(CliPath(), {"--forget-port=COM5"}, env));
    EXPECT_EQ(forget.Wait(Long), 1);
    EXPECT_TRUE(Contains(forget.Err, file + ": it is a directory")) << forget.Err;

    ChildProcess list;
    ASSERT_TRUE(list.Start(CliPath(), {"--list-ports"}, env));
    EXPECT_EQ(list.Wait(Long), 0) << list.Err;
    EXPECT_TRUE(Contains(list.Out, "COM5  /dev/null  /dev/null  -  present\n")) << list.Out;
    EXPECT_TRUE(Contains(list.Err, file)) << list.Err;
    EXPECT_TRUE(std::filesystem::is_directory(file));
    RemoveTree(dir);
}

}  // namespace
