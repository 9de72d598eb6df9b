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
#include <sys/un.h>
#include <unistd.h>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <future>
#include <map>

namespace fs = std::filesystem;

namespace {

std::string Contents(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// The run's folder W with its files and every odd thing a name could lead to.
class OutputTargets : public testing::Test {
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
        fs::create_directory(W / "folder");
        for (const auto& [name, bytes] :
             std::map<std::string, std::string>{{"font.app", std::string(300, 'F')},
                                                {"decoder.app", "D\x02"},
                                                {"out.app", "O"},
                                                {"Zendrak.dat", "\x07"},
                                                {"logUpdate.txt", "old log\r\n"}}) {
            std::ofstream(W / name, std::ios::binary) << bytes;
            fs::create_symlink(W / name, W / ("sym-" + name));
            fs::create_hard_link(W / name, W / ("hard-" + name));
            Kept[W / name] = bytes;
        }
        for (const auto& [link, target] :
             std::map<std::string, std::string>{{"sym-new-log", "COM3/logUpdate.txt"},
                                                {"sym-port", Port.SlavePath()},
                                                {"sym-elsewhere", "elsewhere.txt"},
                                                {"sym-fresh", "not-yet.txt"}})
            fs::create_symlink(target, W / link);
        std::ofstream(W / "existing.txt") << "earlier trace";
        std::ofstream(W / "elsewhere.txt") << "somewhere else";
        ASSERT_EQ(::mkfifo((W / "fifo").c_str(), 0600), 0);
        sockaddr_un address{AF_UNIX, {}};
        std::strcpy(address.sun_path, (W / "sock").c_str());
        const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
        ASSERT_EQ(::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ::close(s);
        // A second node for the port's device, where this user may make one.
        struct stat port {};
        ASSERT_EQ(::stat(Port.SlavePath().c_str(), &port), 0);
        if (::mknod((W / "node-copy").c_str(), S_IFCHR | 0600, port.st_rdev) != 0)
            std::ofstream(W / "node-copy") << "";  // then an ordinary file, and no such case
    }
    void TearDown() override
    {
        fs::remove_all(W);
        ::unsetenv("XDG_CONFIG_HOME");
        ::unsetenv("XDG_STATE_HOME");
    }
    std::vector<ProtectedFile> Protected() const
    {
        return RunOwnFiles(W.string(), {(W / "COM3").string()}, {Port.SlavePath()});
    }

    fs::path W;
    PtyPeer Port;
    PtyPeer OtherTerminal;
    std::map<fs::path, std::string> Kept;
};

TEST_F(OutputTargets, CheckAndOpenGiveTheVerdictAndTheRunsFilesKeepTheirBytes)
{
    const std::string w = W.string();
    const std::string newLog = "the update log " + w + "/COM3/logUpdate.txt";
    const bool nodeCopy = fs::is_character_file(W / "node-copy");
    // Relative names are relative to W; "" means the file may be written.
    const std::pair<std::string, std::string> cases[] = {
        {Port.SlavePath(), "is the port's device"},
        {"sym-port", "leads to the port's device"},
        {"node-copy", nodeCopy ? "is the port's device" : ""},
        {OtherTerminal.SlavePath(), "is a character device"},
        {"/dev/full", "is a character device"},
        {"/dev/null", "is a character device"},
        {"fifo", "is a FIFO"},
        {w + "/sock", "is a socket"},
        {"font.app", "is the firmware file font.app"},
        {w + "/decoder.app", "is the firmware file decoder.app"},
        {"./out.app", "is the firmware file out.app"},
        {"Zendrak.dat", "is the settings file Zendrak.dat"},
        {"logUpdate.txt", "is the update log logUpdate.txt"},
        {"COM3/logUpdate.txt", "is " + newLog},
        {"COM3/../font.app", "is the firmware file font.app"},
        {"state/zendrak/assigned-ports", "is the file of remembered port numbers"},
        {"sym-font.app", "leads to the firmware file font.app"},
        {"sym-decoder.app", "leads to the firmware file decoder.app"},
        {"sym-out.app", "leads to the firmware file out.app"},
        {"sym-Zendrak.dat", "leads to the settings file Zendrak.dat"},
        {"sym-logUpdate.txt", "leads to the update log logUpdate.txt"},
        {"sym-new-log", "leads to " + newLog},
        {"hard-font.app", "is another name for the firmware file font.app"},
        {"hard-decoder.app", "is another name for the firmware file decoder.app"},
        {"hard-out.app", "is another name for the firmware file out.app"},
        {"hard-Zendrak.dat", "is another name for the settings file Zendrak.dat"},
        {"hard-logUpdate.txt", "is another name for the update log logUpdate.txt"},
        {"no-such/trace.txt", "no such folder"},
        {"existing.txt/trace.txt", "no such folder"},
        {"folder", "is a directory"},
        {w + "/folder/", "is a directory"},
        {".", "is a directory"},
        {"trace.txt", ""},
        {w + "/folder/trace.txt", ""},
        {"existing.txt", ""},
        {"sym-elsewhere", ""},
        {"sym-fresh", ""},
        {"-", ""},
    };
    for (const auto& [name, reason] : cases) {
        SCOPED_TRACE(name);
        const OutputFileCheck check = CheckOutputFile(name, w, Protected());
        EXPECT_EQ(check.Reason, reason);
        EXPECT_TRUE(check.Ok() || check.Message().find(name) != std::string::npos);

        // The open must never wait: a FIFO without a reader, a terminal without carrier.
        auto opening =
            std::async(std::launch::async, [&] { return OpenOutputFile(name, w, Protected()); });
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
            EXPECT_TRUE(S_ISREG(st.st_mode) && st.st_size == 0);  // emptied once it passed
            EXPECT_EQ(::write(opened.File.Fd(), "x", 1), 1);
            EXPECT_EQ(Contents(opened.Check.Target), "x");
        }
        for (const auto& [file, bytes] : Kept)
            EXPECT_EQ(Contents(file), bytes) << file;
        EXPECT_FALSE(fs::exists(W / "COM3" / "logUpdate.txt"));
    }
}

// A protected file's second name put in place between the check and the open: the open judges
// what it finds and leaves the file alone.
TEST_F(OutputTargets, AFileSwappedAfterTheCheckIsJudgedAgainAtTheOpen)
{
    const std::string trace = (W / "trace.txt").string();
    ASSERT_TRUE(CheckOutputFile(trace, "/", Protected()).Ok());
    fs::create_hard_link(W / "font.app", trace);
    const OutputFileOpen opened = OpenOutputFile(trace, "/", Protected());
    EXPECT_FALSE(opened.File.IsOpen());
    EXPECT_EQ(opened.Check.Message(), trace + ": is another name for the firmware file font.app");
    EXPECT_EQ(Contents(W / "font.app"), Kept[W / "font.app"]);
}

}  // namespace
