// SPDX-License-Identifier: MIT
// The lock on a run's folder for each kind of folder a run may be pointed at: taken, held by
// another run, missing, a file, one that can be entered but not listed. Only a folder that is
// locked (or whose file system has no locks) lets a run start; each refusal is one box that
// names the folder and the reason.
#include "FolderLock.h"
#include "Messages.h"
#include "RunStart.h"
#include "SystemTexts.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

enum class Folder { Plain, HeldByAnotherRun, Missing, AFile, EnterableNotListable };

struct LockCase {
    const char* Name;
    Folder What;
    FolderLock::Result Expected;
    bool Starts;
    std::string Box;  // what the box says, "" for none; {F} is the folder
};

void PrintTo(const LockCase& c, std::ostream* os)
{
    *os << c.Name;
}

// "Result started box" for a folder: the lock's result, whether a run would start, the box.
std::string Outcome(const std::string& folder)
{
    FolderLock probe;
    const FolderLock::Result result = probe.Take(folder);
    probe.Release();
    RecordingMessageService boxes;
    ScopedMessageService scope(boxes);
    FolderLock lock;
    const bool starts = TakeRunFolder(lock, folder);
    std::string outcome =
        std::to_string(static_cast<int>(result)) + (starts ? " starts" : " stops");
    for (const std::string& text : boxes.Texts())
        outcome += " | " + text;
    return outcome;
}

class RunFolderLock : public testing::TestWithParam<LockCase> {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/zendrak-lock-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        Dir = pattern;
        fs::permissions(Dir, fs::perms::owner_all | fs::perms::others_exec);
    }
    void TearDown() override
    {
        std::error_code ignored;
        fs::permissions(Dir / "f", fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(Dir);
    }
    fs::path Dir;
};

TEST_P(RunFolderLock, StartsOnlyWhenTheFolderIsLocked)
{
    const LockCase& c = GetParam();
    const std::string folder = (Dir / "f").string();
    FolderLock otherRun;
    switch (c.What) {
    case Folder::Plain: fs::create_directory(folder); break;
    case Folder::HeldByAnotherRun:
        fs::create_directory(folder);
        ASSERT_EQ(otherRun.Take(folder), FolderLock::Result::Taken);
        break;
    case Folder::Missing: break;
    case Folder::AFile: std::ofstream(folder) << "x"; break;
    case Folder::EnterableNotListable:
        fs::create_directory(folder);
        fs::permissions(folder, fs::perms::owner_write | fs::perms::owner_exec |
                                    fs::perms::others_write | fs::perms::others_exec);
        break;
    }
    std::string box = c.Box;
    if (const auto at = box.find("{F}"); at != std::string::npos)
        box.replace(at, 3, folder);
    const std::string expected = std::to_string(static_cast<int>(c.Expected)) +
                                 (c.Starts ? " starts" : " stops") +
                                 (box.empty() ? "" : " | " + box);

    if (c.What != Folder::EnterableNotListable || ::geteuid() != 0) {
        EXPECT_EQ(Outcome(folder), expected);
        return;
    }
    // Root lists every folder: the user who cannot is played by a child as nobody.
    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(out[0]);
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(3);
        const std::string got = Outcome(folder);
        ::_exit(::write(out[1], got.data(), got.size()) < 0 ? 4 : 0);
    }
    ::close(out[1]);
    std::string got;
    char buffer[512];
    for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;)
        got.append(buffer, static_cast<size_t>(n));
    ::close(out[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(got, expected);
}

using R = FolderLock::Result;
INSTANTIATE_TEST_SUITE_P(
    Folders, RunFolderLock,
    testing::Values(
        LockCase{"Plain", Folder::Plain, R::Taken, true, ""},
        LockCase{"HeldByAnotherRun", Folder::HeldByAnotherRun, R::Busy, false,
                 Texts::AnotherUpdateRunning},
        LockCase{"Missing", Folder::Missing, R::Failed, false,
                 "Cannot lock the folder {F} for the update: No such file or directory. "
                 "Nothing was sent."},
        LockCase{"AFile", Folder::AFile, R::Failed, false,
                 "Cannot lock the folder {F} for the update: Not a directory. Nothing was sent."},
        LockCase{"EnterableNotListable", Folder::EnterableNotListable, R::Failed, false,
                 "Cannot lock the folder {F} for the update: Permission denied; only a folder "
                 "this user may list can be locked against a second update. Nothing was sent."}),
    [](const testing::TestParamInfo<LockCase>& info) { return info.param.Name; });

TEST(RunFolderLockText, TheCurrentFolderIsNamedByItsPath)
{
    const std::string text = FolderLockProblemText(".", ENOENT);
    EXPECT_EQ(text.find("Cannot lock the folder " + fs::current_path().string() + " for"), 0u)
        << text;
}

}  // namespace
