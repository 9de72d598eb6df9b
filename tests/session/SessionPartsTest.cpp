// SPDX-License-Identifier: MIT
// The session layer's values, each as a table: ports as users write them, ports that are one
// receiver, port problems and the boxes they become, the causes of a failed run, the exit
// status of results, the log folder of a port, the production line's rules (which runs are
// tried again, how receivers are counted) and firmware files that change while they are read.
#include "ExitStatus.h"
#include "FirmwareFiles.h"
#include "PortLogFolder.h"
#include "PortProblem.h"
#include "PortSpec.h"
#include "ProductionLine.h"
#include "RunCause.h"
#include "RunGroup.h"
#include "SystemTexts.h"
#include "comm_port.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <tuple>

namespace fs = std::filesystem;

namespace {

// A fresh folder for one test, removed with it.
struct TempFolder {
    TempFolder()
    {
        char pattern[] = "/tmp/zendrak-session-XXXXXX";
        Path = ::mkdtemp(pattern);
    }
    ~TempFolder() { fs::remove_all(Path); }
    std::string Path;
};

TEST(PortSpec, EachWayToWriteAPort)
{
    const struct {
        const char* Text;
        bool Valid;
        PortSpec::Kind Kind;
        const char* Shown;   // as messages name it
        const char* Folder;  // its log folder
    } cases[] = {
        {"COM3", true, PortSpec::Kind::ComNumber, "COM3", "COM3"},
        {"com12", true, PortSpec::Kind::ComNumber, "COM12", "COM12"},
        {"COM255", true, PortSpec::Kind::ComNumber, "COM255", "COM255"},
        {"/dev/ttyUSB0", true, PortSpec::Kind::DevicePath, "/dev/ttyUSB0", "ttyUSB0"},
        {"/dev/serial/by-id/usb-x", true, PortSpec::Kind::DevicePath, "/dev/serial/by-id/usb-x",
         "usb-x"},
        {"/dev/..", true, PortSpec::Kind::DevicePath, "/dev/..", ""},
        {"/", true, PortSpec::Kind::DevicePath, "/", ""},
        {"rfc2217://bench-3:3001", true, PortSpec::Kind::Network, "rfc2217://bench-3:3001",
         "bench-3_3001"},
        {"TCP://10.0.0.7:3002", true, PortSpec::Kind::Network, "tcp://10.0.0.7:3002",
         "10.0.0.7_3002"},
        {"tcp://[::1]:3002", true, PortSpec::Kind::Network, "tcp://[::1]:3002", "__1_3002"},
        {"COM0", false, {}, "", ""},
        {"COM256", false, {}, "", ""},
        {"COM01", false, {}, "", ""},
        {"LPT1", false, {}, "", ""},
        {"ttyUSB0", false, {}, "", ""},
        {"", false, {}, "", ""},
        {"telnet://host:1", false, {}, "", ""},
        {"tcp://host", false, {}, "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Text);
        std::string error;
        const std::optional<PortSpec> port = PortSpec::Parse(c.Text, &error);
        ASSERT_EQ(port.has_value(), c.Valid) << error;
        if (!c.Valid) {
            EXPECT_NE(error.find(c.Text), std::string::npos) << error;
            continue;
        }
        EXPECT_EQ(port->Type(), c.Kind);
        EXPECT_EQ(port->Text(), c.Shown);
        EXPECT_EQ(port->FolderName(), c.Folder);
    }
    EXPECT_EQ(PortSpec::Com(7).Text(), "COM7");
    EXPECT_EQ(PortSpec::Com(7), *PortSpec::Parse("com7"));
}

struct ConflictCase {
    const char* Name;
    std::vector<std::string> Ports;
    const char* Error;  // a part of the error; empty: none
};

class PortConflicts : public ::testing::TestWithParam<ConflictCase> {};

TEST_P(PortConflicts, OneReceiverIsNeverNamedTwice)
{
    // COM1 and /dev/a lead to one device; COM9 is not plugged in.
    const std::map<std::string, std::string> devices = {{"COM1", "/dev/ttyUSB0"},
                                                        {"/dev/a", "/dev/ttyUSB0"},
                                                        {"COM2", "/dev/ttyUSB1"},
                                                        {"/dev/ttyUSB1", "/dev/ttyUSB1"},
                                                        {"/dev/x/ttyS0", "/dev/x/ttyS0"}};
    std::vector<PortSpec> ports;
    for (const std::string& text : GetParam().Ports)
        ports.push_back(*PortSpec::Parse(text));
    const std::string error = FindPortConflict(ports, [&](const PortSpec& port) {
        const auto found = devices.find(port.Text());
        return found == devices.end() ? std::nullopt : std::optional<std::string>(found->second);
    });
    if (*GetParam().Error)
        EXPECT_NE(error.find(GetParam().Error), std::string::npos) << error;
    else
        EXPECT_EQ(error, "");
}

INSTANTIATE_TEST_SUITE_P(
    Ports, PortConflicts,
    ::testing::Values(
        ConflictCase{"ComNumbersAndPaths", {"COM1", "com2", "/dev/x/ttyS0", "COM9"}, ""},
        ConflictCase{"SameNameTwice", {"COM2", "/dev/x/ttyS0", "com2"}, "COM2 is named twice"},
        ConflictCase{"TwoNamesOneDevice", {"COM1", "/dev/a"}, "the same device /dev/ttyUSB0"},
        ConflictCase{"ComAndItsDevicePath", {"/dev/ttyUSB1", "COM2"}, "the same device"},
        ConflictCase{"UnknownDevicesAreNotAlike", {"COM9", "COM8"}, ""},
        ConflictCase{"OneFolderForTwoLogs", {"/dev/x/ttyS0", "/dev/y/ttyS0"}, "same folder ttyS0"},
        ConflictCase{"NoBaseName", {"/dev/x/", "COM1"}, "names no device"},
        ConflictCase{"OnePortNeedsNoFolder", {"/dev/x/"}, ""},
        ConflictCase{"SameServerTwice",
                     {"tcp://bench:3001", "rfc2217://bench:3001"},
                     "same folder bench_3001"}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(PortConflicts, ANetworkPortAndTheComNumberMappedToIt)
{
    TempFolder home;
    fs::create_directories(home.Path + "/zendrak");
    std::ofstream(home.Path + "/zendrak/ports") << "COM5=rfc2217://Bench-3:3001\n";
    ::setenv("XDG_CONFIG_HOME", home.Path.c_str(), 1);
    ::setenv("ZENDRAK_NO_PORT_DETECTION", "1", 1);
    const std::string error = FindPortConflict(
        {PortSpec::Com(5), *PortSpec::Parse("tcp://bench-3:3001")}, CurrentDeviceOf);
    EXPECT_NE(error.find("the same device bench-3:3001"), std::string::npos) << error;
    EXPECT_EQ(FindPortConflict({PortSpec::Com(5), *PortSpec::Parse("tcp://bench-3:3002")},
                               CurrentDeviceOf),
              "");
    ::unsetenv("XDG_CONFIG_HOME");
}

TEST(ExitStatus, FromTheResultsOfEveryPort)
{
    using O = RunResult::Outcome;
    const struct {
        std::vector<O> Outcomes;
        int Signal;
        int Exit;
    } cases[] = {
        {{O::Ok}, 0, ExitStatus::Ok},
        {{O::Ok, O::Ok, O::Ok}, 0, 0},
        {{O::Error}, 0, ExitStatus::UpdateError},
        {{O::Ok, O::Error, O::Ok}, 0, 1},
        {{O::NotOpened}, 0, ExitStatus::Usage},
        {{O::Ok, O::NotOpened}, 0, 2},
        {{O::Error, O::NotOpened, O::Error}, 0, 2},
        {{O::Cancelled}, SIGINT, 130},
        {{O::Cancelled, O::NotOpened}, SIGTERM, 143},
        {{O::Ok, O::Cancelled}, SIGINT, 130},
        // A cancel that came after every run had ended changes nothing.
        {{O::Ok}, SIGINT, 0},
        {{O::Ok, O::Error}, SIGTERM, 1},
        // A cancel without a signal (a window's button) is a failed update.
        {{O::Cancelled}, 0, 1},
        {{}, 0, 2},
    };
    for (const auto& c : cases) {
        std::vector<RunResult> results;
        for (const O outcome : c.Outcomes) {
            results.emplace_back();
            results.back().End = outcome;
        }
        EXPECT_EQ(ExitStatusOf(results, c.Signal), c.Exit)
            << c.Outcomes.size() << " results, signal " << c.Signal;
    }
}

TEST(ProductionLine, OnlyTheLinesAndTheReceiversFailuresAreTriedAgain)
{
    using O = RunResult::Outcome;
    const struct {
        O Outcome;
        RunCause Cause;
        bool PortProblem;  // the port could not be opened
        bool Waits;        // --wait
        bool Again;
    } cases[] = {
        {O::Error, RunCause::Refused, false, false, true},
        {O::Error, RunCause::NoConnection, false, false, true},
        {O::Error, RunCause::LineLost, false, false, true},
        {O::Error, RunCause::NotStored, false, false, true},
        {O::Ok, RunCause::None, false, false, false},
        {O::Cancelled, RunCause::Cancelled, false, true, false},
        {O::NotOpened, RunCause::NotOpened, true, false, false},
        {O::NotOpened, RunCause::NotOpened, true, true, true},
        // Refused before the port was touched (files, log folder, record): never again.
        {O::NotOpened, RunCause::NotOpened, false, true, false},
    };
    for (const auto& c : cases) {
        RunResult result;
        result.End = c.Outcome;
        result.Cause = c.Cause;
        if (c.PortProblem)
            result.Problem = PortProblem{};
        EXPECT_EQ(WorthRetrying(result, c.Waits), c.Again)
            << OutcomeKey(c.Outcome) << " " << CauseKey(c.Cause) << " wait " << c.Waits;
    }
}

TEST(ProductionLine, EachReceiverCountsWithItsLastAttempt)
{
    using O = RunResult::Outcome;
    // (run, attempt, outcome): receiver 1 after a retry, 2 at once, 3 given up, 4 stopped.
    const std::vector<std::tuple<int, int, O>> runs = {
        {1, 1, O::Error},     {1, 2, O::Ok},    {2, 1, O::Ok},        {3, 1, O::Error},
        {3, 2, O::NotOpened}, {3, 3, O::Error}, {4, 1, O::Cancelled},
    };
    std::vector<RunResult> results;
    for (const auto& [run, attempt, outcome] : runs) {
        results.emplace_back();
        results.back().Run = run;
        results.back().Attempt = attempt;
        results.back().End = outcome;
    }
    std::vector<std::string> last;
    for (const RunResult& r : LastAttempts(results))
        last.push_back(std::to_string(r.Run) + "." + std::to_string(r.Attempt) + " " +
                       OutcomeKey(r.End));
    EXPECT_EQ(last, (std::vector<std::string>{"1.2 ok", "2.1 ok", "3.3 error", "4.1 cancelled"}));
    const LineCounts counts = CountReceivers(results);
    EXPECT_EQ(counts.Updated, 2);
    EXPECT_EQ(counts.Failed, 2);
    EXPECT_EQ(ExitStatusOf(LastAttempts(results)), ExitStatus::UpdateError);
}

// Between the two reads of a loop's files a change happens: the set is refused, naming the
// file, or (nothing changed) used.
TEST(FirmwareFiles, AFileThatChangesWhileItIsReadIsNotUsed)
{
    const auto write = [](const std::string& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    };
    const struct {
        const char* Name;
        std::function<void(const std::string& folder)> Change;
        const char* Changed;  // the file named; "" when the set can be used
    } cases[] = {
        {"Nothing", [](const std::string&) {}, ""},
        {"SameSizeOtherBytes",
         [&](const std::string& f) {
             const auto time = fs::last_write_time(f + "/out.app");
             write(f + "/out.app", "OUT-2");
             fs::last_write_time(f + "/out.app", time);
         },
         "out.app"},
        {"Grown", [&](const std::string& f) { write(f + "/font.app", "FONT-1 and more"); },
         "font.app"},
        {"ReplacedByRename",
         [&](const std::string& f) {
             write(f + "/new", "FONT-1");
             fs::rename(f + "/new", f + "/font.app");
         },
         "font.app"},
        {"Removed", [](const std::string& f) { fs::remove(f + "/out.app"); }, "out.app"},
        {"Appeared", [&](const std::string& f) { write(f + "/decoder.app", "DEC"); },
         "decoder.app"},
    };
    for (const auto& c : cases) {
        TempFolder folder;
        write(folder.Path + "/font.app", "FONT-1");
        write(folder.Path + "/out.app", "OUT-1");
        const auto files =
            FirmwareFiles::ReadUnchanged(folder.Path, [&] { c.Change(folder.Path); });
        const std::string changed = files->Problem().Path;
        EXPECT_EQ(changed.empty() ? "" : fs::path(changed).filename().string(), c.Changed)
            << c.Name;
        if (*c.Changed)
            EXPECT_EQ(files->Problem().Reason, "it changed while it was being read") << c.Name;
        else
            EXPECT_EQ(files->ToSend().size(), 2u) << c.Name;
    }
}

TEST(RunCause, LikelyCauseOfAFailedRun)
{
    const std::string saving = Texts::StatusSaving;
    const std::string saved = Texts::StatusSaved;
    const std::string end = Texts::LogTerminated;
    const std::string next = "Next file: /x/out.app";
    const struct {
        const char* Name;
        std::vector<std::string> Entries;
        RunCause Cause;
        const char* Key;
    } cases[] = {
        {"no log", {}, RunCause::LineLost, "line_lost"},
        {"silence",
         {"Bitte warten... 16", Texts::StatusNoConnection, end},
         RunCause::NoConnection,
         "no_connection"},
        {"garbage while connecting",
         {"SendRestart", Texts::LogConnectReadStuffLimit, end},
         RunCause::NoConnection,
         "no_connection"},
        {"refused", {Texts::StatusFileSent, Texts::StatusWrong, end}, RunCause::Refused, "refused"},
        {"silent verdict",
         {Texts::StatusFileSent, "ST_WAITRESULT readNothing 60", end},
         RunCause::LineLost,
         "line_lost"},
        {"send failed",
         {Texts::StatusSendingFile4, Texts::LogSendDataToPortError, end},
         RunCause::LineLost,
         "line_lost"},
        {"never stored",
         {saving, "ST_WAITSAVED readNothing 60", Texts::StatusReadError, end},
         RunCause::NotStored,
         "not_stored"},
        {"first stored, second not",
         {saving, saved, next, saving, end},
         RunCause::NotStored,
         "not_stored"},
        {"stored, then garbage",
         {saving, saved, next, "readStuff > 60", end},
         RunCause::LineLost,
         "line_lost"},
        {"cancelled while refused",
         {Texts::StatusWrong, Texts::LogUpdateCancelled, end},
         RunCause::Cancelled,
         "cancelled"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(LikelyRunCause(c.Entries, false), c.Cause);
        EXPECT_EQ(LikelyRunCause(c.Entries, true), RunCause::LineLost);  // a port error ended it
        EXPECT_STREQ(CauseKey(c.Cause), c.Key);
        EXPECT_NE(CauseAdvice(c.Cause), "");
        if (c.Cause != RunCause::Cancelled) {
            EXPECT_NE(CauseAdvice(c.Cause).find("Reading logUpdate.txt"), std::string::npos);
        }
    }
    EXPECT_STREQ(CauseKey(RunCause::None), "");
    EXPECT_EQ(CauseAdvice(RunCause::None), "");
    EXPECT_NE(CauseAdvice(RunCause::LineLost, true).find("connection to its server"),
              std::string::npos);
    EXPECT_EQ(CauseAdvice(RunCause::Refused, true), CauseAdvice(RunCause::Refused));
}

TEST(PortProblem, KindDescriptionAndBoxes)
{
    TempFolder home;
    const std::string map = home.Path + "/zendrak/ports";
    fs::create_directories(home.Path + "/zendrak");
    std::ofstream(map) << "COM4=/dev/zendrak-missing\nCOM5=rfc2217://127.0.0.1:3001\n";
    ::setenv("XDG_CONFIG_HOME", home.Path.c_str(), 1);
    ::setenv("ZENDRAK_NO_PORT_DETECTION", "1", 1);
    struct Case {
        const char* Name;
        PortSpec Port;
        uint8_t Code;
        int Errno;
        std::vector<PortHolder> Holders;
        std::string Detail;  // a network port's account
        bool Opening;
        PortProblem::Kind Kind;
        const char* Described;           // the start of the description
        std::vector<std::string> Boxes;  // the boxes' texts, in order
    };
    const Case cases[] = {
        {"NotInTheMap",
         PortSpec::Com(9),
         8,
         ENOENT,
         {},
         {},
         true,
         PortProblem::Kind::NotMapped,
         "COM9 is not in the port map",
         {"COM Error", "Error open, COM COM9"}},
        {"MappedDeviceMissing",
         PortSpec::Com(4),
         8,
         ENOENT,
         {},
         {},
         true,
         PortProblem::Kind::CannotOpen,
         "COM4 (/dev/zendrak-missing): No such file or directory.",
         {"COM Error", "Error open, COM COM4"}},
        {"Held",
         *PortSpec::Parse("/dev/ttyUSB0"),
         8,
         EBUSY,
         {{42, "minicom"}},
         {},
         true,
         PortProblem::Kind::Held,
         "/dev/ttyUSB0: Device or resource busy. The port is open in minicom (process 42).",
         {"COM Error", "Error open, COM /dev/ttyUSB0"}},
        // Not a terminal: the plain dialog comes between, and the advice names no port map only.
        {"NoSerialDevice",
         *PortSpec::Parse("/dev/null"),
         14,
         ENOTTY,
         {},
         {},
         true,
         PortProblem::Kind::CannotOpen,
         "/dev/null: Inappropriate ioctl for device. The port names something that is not a "
         "serial device. Name",
         {"COM Error", "Comm Error: ", "Error COM/dev/null"}},
        {"GoneDuringTheRun",
         PortSpec::Com(4),
         10,
         EIO,
         {},
         {},
         false,
         PortProblem::Kind::Vanished,
         "COM4 (/dev/zendrak-missing): Input/output error.",
         {"COM Error"}},
        {"WriteTimedOut",
         PortSpec::Com(4),
         9,
         ETIMEDOUT,
         {},
         {},
         false,
         PortProblem::Kind::WriteFailed,
         "COM4 (/dev/zendrak-missing): Connection timed out.",
         {"COM Error"}},
        {"NoSystemError",
         PortSpec::Com(4),
         7,
         0,
         {},
         {},
         false,
         PortProblem::Kind::Other,
         "COM4 (/dev/zendrak-missing): the port could not be set up (error code 7).",
         {"COM Error"}},
        // A network port's account names its address, which the description names already.
        {"NetworkPortInUse",
         PortSpec::Com(5),
         8,
         EBUSY,
         {},
         "rfc2217://127.0.0.1:3001: the port is in use on that server: another client is "
         "connected to it.",
         true,
         PortProblem::Kind::Held,
         "COM5 (rfc2217://127.0.0.1:3001): the port is in use on that server: another client",
         {"COM Error", "Error open, COM COM5"}},
        {"NetworkConnectionLost",
         *PortSpec::Parse("tcp://[::1]:3002"),
         10,
         ECONNRESET,
         {},
         "tcp://[::1]:3002: the connection was lost (Connection reset by peer).",
         false,
         PortProblem::Kind::ReadFailed,
         "tcp://[::1]:3002: the connection was lost (Connection reset by peer).",
         {"COM Error"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        errno = c.Errno;
        const ECommError error(c.Code, c.Holders, c.Detail);
        const PortProblem problem = PortProblemOf(c.Port, error, c.Opening);
        EXPECT_EQ(problem.What, c.Kind);
        EXPECT_EQ(problem.Port, c.Port.Text());
        EXPECT_EQ(problem.Description.rfind(c.Described, 0), 0u) << problem.Description;
        std::vector<std::string> texts;
        for (const MessageBoxRequest& box : PortProblemBoxes(problem))
            texts.push_back(box.Text);
        EXPECT_EQ(texts, c.Boxes);
        // The "COM Error" box carries what the CLI says as its details.
        EXPECT_EQ(PortProblemBoxes(problem)[0].Details, problem.Description);
        EXPECT_EQ(PortProblemBoxes(problem)[0].Caption, Texts::ComErrorBoxCaption);
    }
    ::unsetenv("XDG_CONFIG_HOME");
}

TEST(PortLogFolder, OnlyARealFolderOfTheWorkingFolder)
{
    TempFolder work;
    const std::string elsewhere = work.Path + "/elsewhere";
    fs::create_directory(elsewhere);
    fs::create_directory(work.Path + "/COM2");
    fs::create_directory_symlink(elsewhere, work.Path + "/COM5");
    std::ofstream(work.Path + "/COM6") << "a file";
    ::symlink((work.Path + "/nowhere").c_str(), (work.Path + "/COM7").c_str());
    const struct {
        const char* Name;
        const char* Problem;  // a part of it; empty: usable
    } cases[] = {
        {"COM1", ""},  // made
        {"COM2", ""},  // there already
        {"COM5", "is a symbolic link"},
        {"COM6", "is a file"},
        {"COM7", "is a symbolic link"},
        {"..", "not a folder name"},
        {"a/b", "not a folder name"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const std::string problem = PreparePortLogFolder(work.Path, c.Name);
        if (*c.Problem)
            EXPECT_NE(problem.find(c.Problem), std::string::npos) << problem;
        else
            EXPECT_EQ(problem, "");
    }
    EXPECT_TRUE(fs::is_directory(work.Path + "/COM1"));
    EXPECT_TRUE(fs::is_empty(elsewhere));  // nothing made through the link
    EXPECT_FALSE(fs::exists(work.Path + "/nowhere"));
    EXPECT_NE(PreparePortLogFolder(work.Path + "/missing", "COM1"), "");
}

}  // namespace
