// SPDX-License-Identifier: MIT
// Where --trace may write, as one table: the port's device, another terminal, /dev/full, a
// FIFO, a socket, each of the run's own files, a link (symbolic or hard) to each, a missing
// folder, a folder, relative paths. Each case is checked, then opened as if the check had been
// passed by a race: the verdict is the same, nothing blocks, and the run's files keep their
// bytes.
#include "EngineTestSupport.h"
#include "TraceTarget.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>

namespace fs = std::filesystem;

namespace {

std::string Read(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

TEST(TraceTarget, OnlyARegularFileThatIsNoneOfTheRunsOwn)
{
    char pattern[] = "/tmp/zendrak-trace-XXXXXX";
    const fs::path work = ::mkdtemp(pattern);
    const fs::path other = work / "other";
    fs::create_directories(other);
    fs::create_directories(work / "COM3");
    Pty port, tty;
    const std::map<std::string, std::string> runFiles = {{"font.app", "FONT"},
                                                         {"decoder.app", "DECODER"},
                                                         {"out.app", "OUT"},
                                                         {"Zendrak.dat", "\x03"},
                                                         {"logUpdate.txt", "earlier log\r\n"}};
    for (const auto& [name, bytes] : runFiles)
        std::ofstream(work / name, std::ios::binary) << bytes;
    std::vector<std::pair<std::string, std::string>> protectedFiles;
    for (const auto& [name, bytes] : runFiles)
        protectedFiles.push_back({(work / name).string(), "the run's file " + name});
    // A log not written yet, and the port's device.
    protectedFiles.push_back({(work / "COM3" / "logUpdate.txt").string(), "the log of COM3"});
    protectedFiles.push_back({port.SlavePath(), "the device of the port COM3"});

    ASSERT_EQ(::mkfifo((work / "fifo").c_str(), 0644), 0);
    const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", (work / "socket").c_str());
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    fs::create_symlink(work / "font.app", other / "font-link");
    fs::create_symlink(work / "Zendrak.dat", other / "settings-link");
    fs::create_symlink(work / "COM3" / "logUpdate.txt", other / "future-log-link");
    fs::create_symlink(port.SlavePath(), other / "port-link");
    fs::create_hard_link(work / "decoder.app", other / "decoder-hard-link");
    std::ofstream(other / "old-trace.txt") << "an earlier trace";

    const struct {
        std::string Path;     // as given
        std::string Problem;  // a part of it; empty: may be written
    } cases[] = {
        {port.SlavePath(), "is the device of the port COM3"},
        {(other / "port-link").string(), "is the device of the port COM3"},
        {tty.SlavePath(), "is a device"},
        {"/dev/full", "is a device"},
        {"/dev/null", "is a device"},
        {(work / "fifo").string(), "is a FIFO"},
        {(work / "socket").string(), "is a socket"},
        {"font.app", "is the run's file font.app"},
        {"decoder.app", "is the run's file decoder.app"},
        {"out.app", "is the run's file out.app"},
        {"Zendrak.dat", "is the run's file Zendrak.dat"},
        {"logUpdate.txt", "is the run's file logUpdate.txt"},
        {"COM3/logUpdate.txt", "is the log of COM3"},
        {"COM3/../font.app", "is the run's file font.app"},
        {(other / "font-link").string(), "is the run's file font.app"},
        {(other / "settings-link").string(), "is the run's file Zendrak.dat"},
        {(other / "decoder-hard-link").string(), "is the run's file decoder.app"},
        {(other / "future-log-link").string(), "is a symbolic link to nothing"},
        {"no/such/folder/trace.txt", "no such folder"},
        {(work / "COM3").string(), "is a folder"},
        {"trace.txt", ""},
        {(other / "old-trace.txt").string(), ""},
        {"-", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Path);
        TraceTarget target = TraceTargetOf(c.Path, work.string());
        target.Protected = protectedFiles;
        const std::string problem = TraceTargetProblem(target);
        if (c.Problem.empty())
            EXPECT_EQ(problem, "");
        else
            EXPECT_NE(problem.find(c.Problem), std::string::npos) << problem;
        // Opened all the same, as when the path changed after the check: the same refusal,
        // never a block.
        const auto before = std::chrono::steady_clock::now();
        std::string openProblem;
        const int fd = OpenTraceTarget(target, openProblem);
        EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(2));
        EXPECT_EQ(fd >= 0, c.Problem.empty()) << openProblem;
        if (fd > STDERR_FILENO)
            ::close(fd);
        for (const auto& [name, bytes] : runFiles)
            EXPECT_EQ(Read(work / name), bytes) << name;
        EXPECT_FALSE(fs::exists(work / "COM3" / "logUpdate.txt"));
    }
    // What was accepted is there, emptied only once opened; relative paths are taken in the
    // working folder.
    EXPECT_TRUE(fs::is_regular_file(work / "trace.txt"));
    EXPECT_EQ(fs::file_size(other / "old-trace.txt"), 0u);
    EXPECT_EQ(TraceTargetOf("t.txt", "/srv/fw").Path, "/srv/fw/t.txt");
    EXPECT_EQ(TraceTargetOf("/var/t.txt", "/srv/fw").Path, "/var/t.txt");
    ::close(listener);
    fs::remove_all(work);
}

}  // namespace
