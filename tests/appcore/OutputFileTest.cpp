// SPDX-License-Identifier: MIT
// Output file names as a hostile or careless user writes them: the port, other devices, a FIFO
// without a reader, a socket, each of the run's own files directly, through a symbolic link and
// through a hard link, folders that are missing or are the name. Each gets its verdict from the
// check and from the open alike, nothing hangs, and the run's own files keep every byte.
#include "OutputFile.h"
#include "PtyPeer.h"
#include "RunFiles.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <future>
#include <map>
#include <thread>

namespace fs = std::filesystem;

namespace {

struct TargetCase {
    const char* Name;
    std::string Path;    // {W} the run's folder, {PORT} the port's device, {TTY} another terminal
    std::string Folder;  // what relative names are relative to
    std::string Reason;  // "" when the file may be written
};

void PrintTo(const TargetCase& c, std::ostream* os)
{
    *os << c.Name;
}

std::string Replaced(std::string text, const std::map<std::string, std::string>& values)
{
    for (const auto& [key, value] : values)
        for (size_t at; (at = text.find(key)) != std::string::npos;)
            text.replace(at, key.size(), value);
    return text;
}

std::string Contents(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// The run's folder with its files and every odd thing a name could lead to.
class OutputTargets : public testing::TestWithParam<TargetCase> {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/zendrak-output-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        W = pattern;
        ::setenv("XDG_CONFIG_HOME", (W / "config").c_str(), 1);
        ::setenv("XDG_STATE_HOME", (W / "state").c_str(), 1);
        fs::create_directories(W / "COM3");  // a port's log folder, no log in it yet
        fs::create_directories(W / "state" / "zendrak");
        const std::map<std::string, std::string> files = {{"font.app", std::string(300, 'F')},
                                                          {"decoder.app", "D\x02\x00"},
                                                          {"out.app", "O"},
                                                          {"Zendrak.dat", "\x07"},
                                                          {"logUpdate.txt", "old log\r\n"}};
        for (const auto& [name, bytes] : files) {
            std::ofstream(W / name, std::ios::binary) << bytes;
            fs::create_symlink(W / name, W / ("sym-" + name));
            fs::create_hard_link(W / name, W / ("hard-" + name));
            Kept[W / name] = bytes;
        }
        fs::create_symlink("COM3/logUpdate.txt", W / "sym-new-log");
        fs::create_symlink(Port.SlavePath(), W / "sym-port");
        ASSERT_EQ(::mkfifo((W / "fifo").c_str(), 0600), 0);
        MakeSocket(W / "sock");
        fs::create_directory(W / "folder");
        std::ofstream(W / "existing.txt", std::ios::binary) << "earlier trace";
        std::ofstream(W / "elsewhere.txt", std::ios::binary) << "somewhere else";
        fs::create_symlink("elsewhere.txt", W / "sym-elsewhere");
        fs::create_symlink("not-yet.txt", W / "sym-fresh");
        // A second node for the port's device, where the system lets this user make one.
        struct stat port {};
        ASSERT_EQ(::stat(Port.SlavePath().c_str(), &port), 0);
        HasNodeCopy = ::mknod((W / "node-copy").c_str(), S_IFCHR | 0600, port.st_rdev) == 0;
    }
    void TearDown() override
    {
        fs::remove_all(W);
        ::unsetenv("XDG_CONFIG_HOME");
        ::unsetenv("XDG_STATE_HOME");
    }

    static void MakeSocket(const fs::path& path)
    {
        const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        ASSERT_LT(path.string().size(), sizeof address.sun_path);
        std::strcpy(address.sun_path, path.c_str());
        ASSERT_EQ(::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ::close(s);
    }

    std::vector<ProtectedFile> Protected() const
    {
        return RunOwnFiles(W.string(), {(W / "COM3").string()}, {Port.SlavePath()});
    }

    fs::path W;
    PtyPeer Port;
    PtyPeer OtherTerminal;
    bool HasNodeCopy = false;
    std::map<fs::path, std::string> Kept;
};

TEST_P(OutputTargets, CheckAndOpenGiveTheVerdictAndTheRunsFilesKeepTheirBytes)
{
    const TargetCase& c = GetParam();
    if (std::string(c.Name) == "SecondNodeOfThePortsDevice" && !HasNodeCopy)
        GTEST_SKIP() << "this user cannot make device nodes";
    const std::map<std::string, std::string> values = {
        {"{W}", W.string()}, {"{PORT}", Port.SlavePath()}, {"{TTY}", OtherTerminal.SlavePath()}};
    const std::string path = Replaced(c.Path, values);
    const std::string folder = Replaced(c.Folder, values);
    const std::string reason = Replaced(c.Reason, values);

    const OutputFileCheck check = CheckOutputFile(path, folder, Protected());
    EXPECT_EQ(check.Reason, reason);
    if (!check.Ok()) {
        EXPECT_NE(check.Message().find(path), std::string::npos) << check.Message();
    }

    // The open must never wait: a FIFO without a reader, a terminal without carrier.
    auto opening =
        std::async(std::launch::async, [&] { return OpenOutputFile(path, folder, Protected()); });
    if (opening.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
        ADD_FAILURE() << "the open hangs";
        std::_Exit(1);
    }
    const OutputFileOpen opened = opening.get();
    EXPECT_EQ(opened.Check.Reason, reason);
    EXPECT_EQ(opened.File.IsOpen(), reason.empty());
    if (opened.File.IsOpen() && !opened.Check.Stderr) {
        struct stat st {};
        ASSERT_EQ(::fstat(opened.File.Fd(), &st), 0);
        EXPECT_TRUE(S_ISREG(st.st_mode));
        EXPECT_EQ(st.st_size, 0);  // an earlier file is emptied, once it passed
        EXPECT_EQ(::write(opened.File.Fd(), "x", 1), 1);
        EXPECT_EQ(Contents(opened.Check.Target), "x");
    }
    for (const auto& [file, bytes] : Kept)
        EXPECT_EQ(Contents(file), bytes) << file;
    EXPECT_FALSE(fs::exists(W / "COM3" / "logUpdate.txt"));
}

INSTANTIATE_TEST_SUITE_P(
    Names, OutputTargets,
    testing::Values(
        TargetCase{"ThePort", "{PORT}", "{W}", "is the port's device"},
        TargetCase{"ALinkToThePort", "sym-port", "{W}", "leads to the port's device"},
        TargetCase{"SecondNodeOfThePortsDevice", "node-copy", "{W}", "is the port's device"},
        TargetCase{"AnotherTerminal", "{TTY}", "{W}", "is a character device"},
        TargetCase{"DevFull", "/dev/full", "{W}", "is a character device"},
        TargetCase{"DevNull", "/dev/null", "{W}", "is a character device"},
        TargetCase{"AFifoWithoutReader", "fifo", "{W}", "is a FIFO"},
        TargetCase{"ASocket", "{W}/sock", ".", "is a socket"},
        TargetCase{"Font", "font.app", "{W}", "is the firmware file font.app"},
        TargetCase{"Decoder", "{W}/decoder.app", "/", "is the firmware file decoder.app"},
        TargetCase{"Out", "./out.app", "{W}", "is the firmware file out.app"},
        TargetCase{"Settings", "Zendrak.dat", "{W}", "is the settings file Zendrak.dat"},
        TargetCase{"Log", "logUpdate.txt", "{W}", "is the update log logUpdate.txt"},
        TargetCase{"APortsLogNotWrittenYet", "COM3/logUpdate.txt", "{W}",
                   "is the update log {W}/COM3/logUpdate.txt"},
        TargetCase{"ThroughTheFolderAgain", "COM3/../font.app", "{W}",
                   "is the firmware file font.app"},
        TargetCase{"LinkToFont", "sym-font.app", "{W}", "leads to the firmware file font.app"},
        TargetCase{"LinkToDecoder", "sym-decoder.app", "{W}",
                   "leads to the firmware file decoder.app"},
        TargetCase{"LinkToOut", "sym-out.app", "{W}", "leads to the firmware file out.app"},
        TargetCase{"LinkToSettings", "sym-Zendrak.dat", "{W}",
                   "leads to the settings file Zendrak.dat"},
        TargetCase{"LinkToLog", "sym-logUpdate.txt", "{W}",
                   "leads to the update log logUpdate.txt"},
        TargetCase{"LinkToALogNotWrittenYet", "sym-new-log", "{W}",
                   "leads to the update log {W}/COM3/logUpdate.txt"},
        TargetCase{"HardLinkToFont", "hard-font.app", "{W}",
                   "is another name for the firmware file font.app"},
        TargetCase{"HardLinkToDecoder", "hard-decoder.app", "{W}",
                   "is another name for the firmware file decoder.app"},
        TargetCase{"HardLinkToOut", "hard-out.app", "{W}",
                   "is another name for the firmware file out.app"},
        TargetCase{"HardLinkToSettings", "hard-Zendrak.dat", "{W}",
                   "is another name for the settings file Zendrak.dat"},
        TargetCase{"HardLinkToLog", "hard-logUpdate.txt", "{W}",
                   "is another name for the update log logUpdate.txt"},
        TargetCase{"TheRememberedPorts", "state/zendrak/assigned-ports", "{W}",
                   "is the file of remembered port numbers"},
        TargetCase{"AMissingFolder", "no-such/trace.txt", "{W}", "no such folder"},
        TargetCase{"AFileAsFolder", "existing.txt/trace.txt", "{W}", "no such folder"},
        TargetCase{"AFolder", "folder", "{W}", "is a directory"},
        TargetCase{"AFolderWithSlash", "{W}/folder/", "{W}", "is a directory"},
        TargetCase{"TheRunsFolder", ".", "{W}", "is a directory"},
        TargetCase{"RelativeToTheFolderGiven", "trace.txt", "{W}", ""},
        TargetCase{"AFreshPath", "{W}/folder/trace.txt", "/", ""},
        TargetCase{"AnEarlierTrace", "existing.txt", "{W}", ""},
        TargetCase{"ALinkToAnOrdinaryFile", "sym-elsewhere", "{W}", ""},
        TargetCase{"ALinkToAFreshName", "sym-fresh", "{W}", ""},
        TargetCase{"Stderr", "-", "{W}", ""}),
    [](const testing::TestParamInfo<TargetCase>& info) { return info.param.Name; });

TEST_F(OutputTargets, MessagesNameTheFileJoinedWithItsFolder)
{
    const OutputFileCheck check = CheckOutputFile("font.app", W.string(), Protected());
    EXPECT_EQ(check.Message(), (W / "font.app").string() + ": is the firmware file font.app");
    EXPECT_EQ(CheckOutputFile("x/y", ".", {}).Message(), "x/y: no such folder");
    const OutputFileCheck fresh = CheckOutputFile("trace.txt", W.string() + "/", Protected());
    EXPECT_EQ(fresh.Target, (W / "trace.txt").string());
    EXPECT_TRUE(CheckOutputFile("-", "", {}).Stderr);
}

// A protected file replaced by a link between the check and the open: the open judges what it
// finds and leaves the file alone.
TEST_F(OutputTargets, AFileSwappedAfterTheCheckIsJudgedAgainAtTheOpen)
{
    const std::string trace = (W / "trace.txt").string();
    ASSERT_TRUE(CheckOutputFile(trace, "/", Protected()).Ok());
    fs::create_hard_link(W / "font.app", trace);
    const OutputFileOpen opened = OpenOutputFile(trace, "/", Protected());
    EXPECT_FALSE(opened.File.IsOpen());
    EXPECT_EQ(opened.Check.Reason, "is another name for the firmware file font.app");
    EXPECT_EQ(Contents(W / "font.app"), Kept[W / "font.app"]);
}

}  // namespace
