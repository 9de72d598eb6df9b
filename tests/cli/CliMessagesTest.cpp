// SPDX-License-Identifier: MIT
// zendrak-cli's messages through its real binary: usage errors in one line, port errors that
// name the COM text, the device tried and the port map's real path, a port map that is not a
// file, a log that could not be written, and no hidden switch in the shipped program.
#include "Scenario.h"
#include "SimDriver.h"
#include "SystemTexts.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

constexpr int Long = 60000;

bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

struct UsageErrorCase {
    std::vector<std::string> Args;
    std::string Error;
};

TEST(CliMessages, AUsageErrorIsOneLineAndAPointerToTheHelp)
{
    const UsageErrorCase cases[] = {
        {{"-x"}, "unknown option: -x"},
        {{"--port"}, "option --port needs a value"},
        {{"--directory="}, "option --directory needs a value"},
        {{"--port", "COM256"}, "not a port: COM256"},
        {{"-p", "COM01"}, "not a port: COM01"},
        {{"stray"}, "unexpected argument: stray"},
        {{"--list-ports", "--quiet"}, "take no other options"},
    };
    for (const UsageErrorCase& c : cases) {
        SCOPED_TRACE(c.Args[0]);
        ChildProcess cli;
        ASSERT_TRUE(cli.Start(CliPath(), c.Args, {{"ZENDRAK_NO_PORT_DETECTION", "1"}}));
        EXPECT_EQ(cli.Wait(Long), 2);
        EXPECT_EQ(cli.Out, "");
        const std::string first = cli.Err.substr(0, cli.Err.find('\n'));
        EXPECT_TRUE(Contains(first, "zendrak-cli: ") && Contains(first, c.Error)) << cli.Err;
        EXPECT_EQ(cli.Err, first + "\nTry 'zendrak-cli --help'.\n");
    }
}

// A run that fails at the port: the firmware file is there, the port is not.
struct PortCase {
    const char* Name;
    std::string Map;                // the port map; "<dir>" makes it a directory
    std::vector<std::string> Args;  // "@" stands for the test's directory
    const char* Settings;           // Zendrak.dat, or nullptr
    std::string Said;  // the start of the last line on stderr, "@" for the test's directory
};

void PrintTo(const PortCase& c, std::ostream* os)
{
    *os << c.Name;
}

std::string Expand(std::string text, const std::string& dir)
{
    for (size_t at; (at = text.find('@')) != std::string::npos;)
        text.replace(at, 1, dir);
    return text;
}

class CliPortErrors : public testing::TestWithParam<PortCase> {};

TEST_P(CliPortErrors, NameWhatWasTried)
{
    const PortCase& c = GetParam();
    Scenario s;
    s.AddFile("font.app", SampleFirmware(100, 7));
    const std::string map = s.ConfigDir + "/zendrak/ports";
    if (c.Map == "<dir>")
        fs::create_directory(map);
    else
        WriteWholeFile(map, Expand(c.Map, s.Dir));
    if (c.Settings)
        WriteWholeFile(s.Path(Texts::SettingsFileName), c.Settings);
    std::vector<std::string> args;
    for (const std::string& a : c.Args)
        args.push_back(Expand(a, s.Dir));
    EXPECT_EQ(s.RunCli(args), 2);
    std::string err = s.Cli.Err;
    ASSERT_FALSE(err.empty());
    err.pop_back();
    const std::string said = Expand(c.Said, s.Dir);
    EXPECT_EQ(err.substr(err.rfind('\n') + 1, said.size()), said) << s.Cli.Err;
    EXPECT_FALSE(Contains(s.Cli.Err, "Try 'zendrak-cli --help'"));
    EXPECT_FALSE(s.LogExists());
}

// A device that is not there: the system's words, then advice naming the real port map.
const std::string NoDevice =
    ": No such file or directory. The device is not there: the USB "
    "adapter is unplugged, or the port map (@/config/zendrak/ports)";

INSTANTIATE_TEST_SUITE_P(
    Messages, CliPortErrors,
    testing::Values(
        PortCase{"Unmapped",
                 "COM1=/dev/null\n",
                 {"-p", "COM99"},
                 nullptr,
                 "zendrak-cli: COM99 is not in the port map (@/config/zendrak/ports) and no "
                 "detected device has that number."},
        PortCase{"UnmappedInTheCheck",
                 "COM1=/dev/null\n",
                 {"--check", "-p", "COM99"},
                 nullptr,
                 "zendrak-cli: COM99 is not in the port map (@/config/zendrak/ports) and no "
                 "detected device has that number."},
        PortCase{"BeyondTheMap",
                 "COM1=/dev/null\n",
                 {"--port=com150"},
                 nullptr,
                 "zendrak-cli: COM150 is beyond the port map (@/config/zendrak/ports), which "
                 "holds COM1 to COM99, and no detected device has that number."},
        PortCase{"FromZendrakDatBeyondTheMap",
                 "",
                 {},
                 "\xC8",
                 "zendrak-cli: COM200 is beyond the port map (@/config/zendrak/ports), which "
                 "holds COM1 to COM99, and no detected device has that number."},
        PortCase{"HiddenByAMalformedLine",
                 "COM1=/dev/null\nCOM2 /dev/x\nCOM5=/dev/null\n",
                 {"-p", "COM5"},
                 nullptr,
                 "zendrak-cli: COM5 is not in the port map (@/config/zendrak/ports) as far as "
                 "it can be read: its line 2 is malformed (COM2 /dev/x) and hides the lines "
                 "after it; no detected device has that number."},
        PortCase{"MapIsADirectory",
                 "<dir>",
                 {"-p", "COM1"},
                 nullptr,
                 "zendrak-cli: COM1 names no device: the port map (@/config/zendrak/ports) "
                 "cannot be read: it is a directory."},
        PortCase{"MappedDeviceMissing",
                 "COM4=@/gone\n",
                 {"--port", "COM4"},
                 nullptr,
                 "zendrak-cli: COM4 (@/gone)" + NoDevice},
        PortCase{"DevicePathMissing",
                 "",
                 {"-p", "@/ttyGONE"},
                 nullptr,
                 "zendrak-cli: @/ttyGONE" + NoDevice}),
    [](const testing::TestParamInfo<PortCase>& info) { return info.param.Name; });

TEST(CliMessages, APortMapThatIsNoFileListsNoPortAndNeverHangs)
{
    for (const char* kind : {"directory", "fifo"}) {
        SCOPED_TRACE(kind);
        const std::string dir = MakeTempDir();
        const std::string map = dir + "/zendrak/ports";
        fs::create_directories(dir + "/zendrak");
        if (std::string(kind) == "fifo")
            ASSERT_EQ(::mkfifo(map.c_str(), 0644), 0);
        else
            fs::create_directory(map);
        ChildProcess cli;
        ASSERT_TRUE(cli.Start(CliPath(), {"--list-ports"},
                              {{"XDG_CONFIG_HOME", dir}, {"ZENDRAK_NO_PORT_DETECTION", "1"}}));
        EXPECT_EQ(cli.Wait(Long), 1);
        EXPECT_EQ(cli.Out, "");
        EXPECT_TRUE(
            Contains(cli.Err, "zendrak-cli: the port map " + map + " cannot be read: it is"))
            << cli.Err;
        RemoveTree(dir);
    }
}

TEST(CliMessages, APortThatFailsDuringTheRunIsNamedWithItsDevice)
{
    Scenario s;
    s.AddFile("font.app", SampleFirmware(20000, 10));
    ASSERT_TRUE(s.StartSimulator({"--vanish-after", "3000"}));
    EXPECT_EQ(s.RunCli({"-p", "COM1", "-q"}), 1) << s.Cli.Err;
    EXPECT_TRUE(Contains(s.Cli.Err, "zendrak-cli: the run ended early: COM1 (" + s.LinkPath +
                                        "): Input/output error."))
        << s.Cli.Err;
}

TEST(CliMessages, ALogThatCannotBeWrittenIsSaidWithItsPlace)
{
    Scenario s;
    s.AddFile("font.app", SampleFirmware(300, 8));
    fs::create_directory(s.Path(Texts::UpdateLogFileName));  // a file cannot replace it
    ASSERT_TRUE(s.StartSimulator({"--expect", "300"}));
    EXPECT_EQ(s.RunCli(), 0) << s.Cli.Err;
    EXPECT_EQ(s.LastStdoutLine(), Texts::UpdateOk);
    EXPECT_TRUE(Contains(s.Cli.Err, "zendrak-cli: the update log could not be written to " +
                                        s.Path(Texts::UpdateLogFileName) + ": "))
        << s.Cli.Err;
    EXPECT_FALSE(Contains(s.Cli.Err, "ended early")) << s.Cli.Err;
}

TEST(CliMessages, ARecordThatCannotBeKeptStopsTheStart)
{
    Scenario s;
    s.AddFile("font.app", SampleFirmware(300, 11));
    fs::create_directory(s.Path("zendrak-history.csv"));
    ASSERT_TRUE(s.StartSimulator({"--expect", "300"}));
    EXPECT_EQ(s.RunCli({"-p", "COM1", "--history"}), 2) << s.Cli.Err;
    EXPECT_TRUE(Contains(s.Cli.Err, "zendrak-cli: cannot keep the record of updates in " +
                                        s.Path("zendrak-history.csv") + ": "))
        << s.Cli.Err;
    s.StopSimulator();
    EXPECT_EQ(s.Transcript(), "");
    EXPECT_FALSE(s.LogExists());
}

TEST(CliMessages, TheShippedProgramHasNoSwitchForTheStoringWait)
{
    // The receiver stores for about two seconds; a limit of 1 ms would cut that short.
    for (const bool testBuild : {false, true}) {
        SCOPED_TRACE(testBuild ? "test build" : "shipped");
        Scenario s;
        s.AddFile("font.app", SampleFirmware(200, 9));
        ASSERT_TRUE(s.StartSimulator({"--expect", "200", "--saved-chatter", "8"}));
        auto env = s.Env;
        env["ZENDRAK_WAIT_SAVED_LIMIT_MS"] = "1";
        ASSERT_TRUE(s.Cli.Start(testBuild ? CliTestBuildPath() : CliPath(),
                                {"-C", s.RunDir, "-p", "COM1"}, env));
        EXPECT_EQ(s.Cli.Wait(120000), testBuild ? 1 : 0) << s.Cli.Err;
        EXPECT_EQ(s.LastStdoutLine(), testBuild ? Texts::UpdateError : Texts::UpdateOk);
    }
}

}  // namespace
