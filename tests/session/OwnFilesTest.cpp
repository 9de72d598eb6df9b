// SPDX-License-Identifier: MIT
// A group's own files against a file a user names for output (the trace), as one table: the
// ports' devices and another terminal, /dev/full, a FIFO, a socket, each firmware file, the
// settings file, the logs (one not written yet), links (symbolic and hard) to each, a missing
// folder, a folder, relative names with and without a working folder. Each is checked, then
// opened as if it had changed since: the same verdict, nothing blocks, and the run's files keep
// their bytes.
#include "EngineTestSupport.h"
#include "OutputFile.h"
#include "RunGroup.h"

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

TEST(OwnFiles, NoFileOfTheRunCanBeItsTrace)
{
    char pattern[] = "/tmp/zendrak-own-XXXXXX";
    const fs::path work = ::mkdtemp(pattern);
    const fs::path other = work / "other";
    fs::create_directories(other);
    Pty first, second, tty;
    const std::map<std::string, std::string> runFiles = {{"font.app", "FONT"},
                                                         {"decoder.app", "DECODER"},
                                                         {"out.app", "OUT"},
                                                         {"Zendrak.dat", "\x03"},
                                                         {"logUpdate.txt", "earlier log\r\n"}};
    for (const auto& [name, bytes] : runFiles)
        std::ofstream(work / name, std::ios::binary) << bytes;
    RunGroup group({work.string(), 0, TFirmThread::DefaultWaitSavedLimit});
    ASSERT_FALSE(group.TakeFolder());
    const std::vector<PortSpec> ports = {*PortSpec::Parse(first.SlavePath()),
                                         *PortSpec::Parse(second.SlavePath())};
    const std::vector<ProtectedFile> own = group.OwnFiles(ports);
    const fs::path firstLog = work / ports[0].FolderName() / "logUpdate.txt";

    ASSERT_EQ(::mkfifo((work / "fifo").c_str(), 0644), 0);
    const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", (work / "socket").c_str());
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    fs::create_symlink(work / "font.app", other / "font-link");
    fs::create_symlink(work / "Zendrak.dat", other / "settings-link");
    fs::create_symlink(firstLog, other / "future-log-link");
    fs::create_symlink(first.SlavePath(), other / "port-link");
    fs::create_hard_link(work / "decoder.app", other / "decoder-hard-link");
    std::ofstream(other / "old-trace.txt") << "an earlier trace";

    const std::string device = "the port's device";
    const struct {
        std::string Name;     // as given
        std::string Problem;  // a part of it; empty: may be written
    } cases[] = {
        {first.SlavePath(), "is " + device},
        {second.SlavePath(), "is " + device},
        {(other / "port-link").string(), "leads to " + device},
        {tty.SlavePath(), "is a character device"},
        {"/dev/full", "is a character device"},
        {"fifo", "is a FIFO"},
        {"socket", "is a socket"},
        {"font.app", "is the firmware file font.app"},
        {"decoder.app", "is the firmware file decoder.app"},
        {"out.app", "is the firmware file out.app"},
        {"Zendrak.dat", "is the settings file Zendrak.dat"},
        {"logUpdate.txt", "is the update log logUpdate.txt"},
        {ports[0].FolderName() + "/../font.app", "no such folder"},  // not made yet
        {(other / "font-link").string(), "leads to the firmware file font.app"},
        {(other / "settings-link").string(), "leads to the settings file Zendrak.dat"},
        {(other / "decoder-hard-link").string(), "is another name for the firmware file"},
        {(other / "future-log-link").string(), "no such folder"},
        {"no/such/folder/trace.txt", "no such folder"},
        {"other", "is a directory"},
        {"trace.txt", ""},
        {(other / "old-trace.txt").string(), ""},
        {"-", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const OutputFileCheck check = CheckOutputFile(c.Name, group.WorkFolder(), own);
        if (c.Problem.empty())
            EXPECT_TRUE(check.Ok()) << check.Message();
        else
            EXPECT_NE(check.Reason.find(c.Problem), std::string::npos) << check.Message();
        // Opened all the same: the same verdict, never a block.
        const auto before = std::chrono::steady_clock::now();
        const OutputFileOpen opened = OpenOutputFile(c.Name, group.WorkFolder(), own);
        EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(2));
        EXPECT_EQ(opened.File.IsOpen(), c.Problem.empty()) << opened.Check.Message();
        for (const auto& [name, bytes] : runFiles)
            EXPECT_EQ(Read(work / name), bytes) << name;
        EXPECT_FALSE(fs::exists(firstLog));
    }
    // Once the port's log folder is there, its log is one of the run's files too.
    fs::create_directory(work / ports[0].FolderName());
    EXPECT_NE(
        CheckOutputFile(other / "future-log-link", work, own)
            .Reason.find("leads to the update log " + (work / ports[0].FolderName()).string()),
        std::string::npos);
    // Accepted names are created, or emptied only once opened; relative names are taken in the
    // working folder.
    EXPECT_TRUE(fs::is_regular_file(work / "trace.txt"));
    EXPECT_EQ(fs::file_size(other / "old-trace.txt"), 0u);
    EXPECT_EQ(CheckOutputFile("t.txt", group.WorkFolder(), own).Target,
              (fs::path(group.WorkFolder()) / "t.txt").string());
    ::close(listener);
    fs::remove_all(work);
}

}  // namespace
