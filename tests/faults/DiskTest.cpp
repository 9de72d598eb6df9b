// SPDX-License-Identifier: MIT
// A full or read-only disk, or a file-size limit, for the update log and for "Zendrak.dat":
// the failure is said, the earlier file stays whole, and no half-written file is left behind.
#include "FaultSupport.h"
#include "Messages.h"
#include "PortSettings.h"
#include "SimDriver.h"
#include "SystemTexts.h"

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cerrno>
#include <csignal>
#include <filesystem>
#include <set>

namespace {

// A small memory file system filled to the last byte; skipped where it cannot be mounted.
class FullDisk {
public:
    explicit FullDisk(const std::string& dir) : Dir(dir)
    {
        std::filesystem::create_directories(dir);
        if (geteuid() != 0 || mount("tmpfs", dir.c_str(), "tmpfs", 0, "size=256k") != 0)
            Dir.clear();
    }
    ~FullDisk()
    {
        if (!Dir.empty())
            umount2(Dir.c_str(), MNT_DETACH);
    }
    bool Mounted() const { return !Dir.empty(); }
    // Remounts it read-only: writes fail with EROFS, for root as well.
    bool MakeReadOnly() const
    {
        return mount("tmpfs", Dir.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, "size=256k") == 0;
    }
    // Writes a filler until the file system refuses more bytes.
    bool Fill() const
    {
        const int fd = open((Dir + "/filler").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0)
            return false;
        const std::string block(4096, 'f');
        while (write(fd, block.data(), block.size()) > 0) {
        }
        const bool full = errno == ENOSPC;
        while (write(fd, block.data(), 1) > 0) {
        }
        close(fd);
        return full;
    }

private:
    std::string Dir;
};

std::set<std::string> Entries(const std::string& dir)
{
    std::set<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        names.insert(e.path().filename().string());
    return names;
}

// The command line in `dir`; with a file-size limit (SIGXFSZ ignored, so writes beyond it
// fail with EFBIG as on a full disk) when fsizeLimit is not negative.
int RunCliIn(Scenario& s, const std::string& dir, long fsizeLimit)
{
    std::vector<std::string> args = {"-C", dir, "-p", "COM1"};
    std::string program = CliPath();
    if (fsizeLimit >= 0) {
        args.insert(args.begin(), {"-c",
                                   "trap '' XFSZ; exec prlimit --fsize=" +
                                       std::to_string(fsizeLimit) + " -- \"$0\" \"$@\"",
                                   CliPath()});
        program = "/bin/sh";
    }
    if (!s.Cli.Start(program, args, s.Env))
        return -2;
    return s.Cli.Wait(120000);
}

void ExpectLogLostButEarlierKept(Scenario& s, const std::string& dir, int status,
                                 const std::set<std::string>& before)
{
    // The update itself went through; the lost log is said on stderr.
    EXPECT_EQ(status, 0) << s.Cli.Err;
    EXPECT_TRUE(ClearOutcome(s.Cli, status));
    EXPECT_NE(s.Cli.Err.find(Texts::UpdateLogFileName), std::string::npos) << s.Cli.Err;
    EXPECT_EQ(ReadWholeFile(dir + "/" + Texts::UpdateLogFileName), EarlierLog);
    EXPECT_EQ(Entries(dir), before);  // no temporary file left
    EXPECT_EQ(s.WaitSimulator(), 0);
}

class FullOrReadOnly : public testing::TestWithParam<bool> {};

TEST_P(FullOrReadOnly, TheLogThatCannotBeWrittenLeavesTheEarlierOne)
{
    const bool readOnly = GetParam();
    Scenario s;
    FullDisk disk(s.Dir + "/disk");
    if (!disk.Mounted())
        GTEST_SKIP() << "cannot mount a small tmpfs here (needs root and mount rights)";
    const std::string dir = s.Dir + "/disk";
    const std::string font = SampleFirmware(500, 101);
    ASSERT_TRUE(WriteWholeFile(dir + "/font.app", font));
    ASSERT_TRUE(WriteWholeFile(dir + "/" + Texts::UpdateLogFileName, EarlierLog));
    ASSERT_TRUE(s.StartSimulator({"--expect", "500"}));
    ASSERT_TRUE(readOnly ? disk.MakeReadOnly() : disk.Fill());
    const auto before = Entries(dir);
    const int status = RunCliIn(s, dir, -1);
    ExpectLogLostButEarlierKept(s, dir, status, before);
    EXPECT_TRUE(SameBytes(s.Saved(1), font));
}

INSTANTIATE_TEST_SUITE_P(Faults, FullOrReadOnly, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& info) {
                             return info.param ? "ReadOnlyDisk" : "FullDisk";
                         });

TEST(FileSizeLimit, TheLogBeyondTheLimitLeavesTheEarlierOne)
{
    Scenario s;
    const std::string font = SampleFirmware(500, 102);
    s.AddFile("font.app", font);
    ASSERT_TRUE(WriteWholeFile(s.Path(Texts::UpdateLogFileName), EarlierLog));
    ASSERT_TRUE(s.StartSimulator({"--expect", "500"}));
    const auto before = Entries(s.RunDir);
    // The new log is longer than 100 bytes; the earlier one is shorter.
    const int status = RunCliIn(s, s.RunDir, 100);
    ExpectLogLostButEarlierKept(s, s.RunDir, status, before);
    EXPECT_TRUE(SameBytes(s.Saved(1), font));
}

// Runs WritePortSettings(9) in a child in `dir` (optionally under a file-size limit of 0) and
// returns 0 when it reported the failure as it should: false and the plain dialog.
int WriteSettingsInChild(const std::string& dir, bool limit)
{
    const pid_t pid = fork();
    if (pid == 0) {
        if (chdir(dir.c_str()) != 0)
            _exit(10);
        if (limit) {
            signal(SIGXFSZ, SIG_IGN);
            const rlimit none{0, 0};
            setrlimit(RLIMIT_FSIZE, &none);
        }
        RecordingMessageService messages;
        ScopedMessageService scoped(messages);
        const bool saved = WritePortSettings(9);
        const auto texts = messages.Texts();
        const bool said = texts.size() == 1 && texts[0] == Texts::SettingsNotSaved;
        _exit(saved ? 1 : said ? 0 : 2);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status);
}

TEST(SettingsFile, AFailedSaveIsSaidAndKeepsTheEarlierNumber)
{
    const std::string base = MakeTempDir();
    {
        FullDisk disk(base + "/disk");
        FullDisk readOnly(base + "/readonly");
        std::vector<std::pair<std::string, bool>> places = {{base + "/limited", true}};
        if (disk.Mounted())
            places.push_back({base + "/disk", false});
        if (readOnly.Mounted())
            places.push_back({base + "/readonly", false});
        std::filesystem::create_directories(base + "/limited");
        for (const auto& [dir, limit] : places) {
            SCOPED_TRACE(dir);
            const std::string earlier(1, '\x07');
            ASSERT_TRUE(WriteWholeFile(dir + "/" + Texts::SettingsFileName, earlier));
            if (dir == base + "/disk") {
                ASSERT_TRUE(disk.Fill());
            }
            if (dir == base + "/readonly") {
                ASSERT_TRUE(readOnly.MakeReadOnly());
            }
            const auto before = Entries(dir);
            EXPECT_EQ(WriteSettingsInChild(dir, limit), 0);
            EXPECT_EQ(ReadWholeFile(dir + "/" + Texts::SettingsFileName), earlier);
            EXPECT_EQ(Entries(dir), before);
        }
        if (!disk.Mounted())
            std::cout << "[ NOTE ] no tmpfs here: the full and read-only disks were left out\n";
    }
    RemoveTree(base);
}

}  // namespace
