// SPDX-License-Identifier: MIT
// The lock on a run's folder for each kind of folder a run may be pointed at: only a folder that
// is locked lets a run start; each refusal is one box that names the folder and the reason.
#include "FolderLock.h"
#include "InChild.h"
#include "Messages.h"
#include "RunStart.h"
#include "SystemTexts.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

// "<result> starts|stops | <box>...": the lock's result, whether a run starts, its boxes.
std::string Outcome(const std::string& folder)
{
    FolderLock probe;
    const int result = static_cast<int>(probe.Take(folder));
    probe.Release();
    RecordingMessageService boxes;
    ScopedMessageService scope(boxes);
    FolderLock lock;
    std::string outcome =
        std::to_string(result) + (TakeRunFolder(lock, folder) ? " starts" : " stops");
    for (const std::string& text : boxes.Texts())
        outcome += " | " + text;
    return outcome;
}

TEST(RunFolderLock, StartsOnlyWhenTheFolderIsLocked)
{
    char pattern[] = "/tmp/zendrak-lock-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const fs::path dir = pattern;
    fs::permissions(dir, fs::perms::owner_all | fs::perms::others_exec);
    const std::string plain = dir / "plain", held = dir / "held", file = dir / "file",
                      hidden = dir / "hidden";
    fs::create_directory(plain);
    fs::create_directory(held);
    std::ofstream(file) << "x";
    fs::create_directory(hidden);  // may be entered, not listed
    fs::permissions(hidden, fs::perms::owner_write | fs::perms::owner_exec |
                                fs::perms::others_write | fs::perms::others_exec);
    FolderLock otherRun;
    ASSERT_EQ(otherRun.Take(held), FolderLock::Result::Taken);

    const std::string cannot = "Cannot lock the folder ";
    const std::pair<std::string, std::string> cases[] = {
        {plain, "0 starts"},
        {held, "1 stops | " + std::string(Texts::AnotherUpdateRunning)},
        {dir / "missing", "3 stops | " + cannot + (dir / "missing").string() +
                              " for the update: No such file or directory. Nothing was sent."},
        {file,
         "3 stops | " + cannot + file + " for the update: Not a directory. Nothing was sent."},
        {hidden, "3 stops | " + cannot + hidden +
                     " for the update: Permission denied; only a folder this user may list can be "
                     "locked against a second update. Nothing was sent."},
    };
    for (const auto& [folder, expected] : cases)
        EXPECT_EQ(InChild(folder == hidden, [&] { return Outcome(folder); }), expected);
    EXPECT_EQ(FolderLockProblemText(".", ENOENT).find(cannot + fs::current_path().string() + " "),
              0u);
    fs::permissions(hidden, fs::perms::owner_all);
    fs::remove_all(dir);
}

}  // namespace
