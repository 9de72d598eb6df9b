// SPDX-License-Identifier: MIT
// Kept logs: a name for every run that says when and where, never one taken twice, the same
// bytes as the run's log, and a "logs" that is not a real folder refused.
#include "KeptLogs.h"
#include "SimDriver.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include <filesystem>

namespace {

const WallClock::time_point Start{std::chrono::seconds(1796738601)};  // 2026-12-08 14:03:21
// A run's log as the engine writes it: Windows-1252, CR LF.
const std::string LogBytes =
    "Loading firmware\r\nSendRestart\r\nDatei vollst\xE4ndig \xFC"
    "bertragen\r\nTerminated\r\n";

TEST(KeptLogs, EveryRunGetsANameOfItsOwnWithTheSameBytes)
{
    const std::string dir = MakeTempDir();
    const KeptLogs logs(dir);
    EXPECT_EQ(logs.Check(), "");
    EXPECT_FALSE(std::filesystem::exists(dir + "/logs"));  // the check creates nothing

    struct Keep {
        WallClock::time_point When;
        std::string Port;
        std::string Name;
    };
    const std::vector<Keep> table = {
        {Start, "COM3", "logs/2026-12-08T14-03-21Z-COM3.txt"},
        {Start, "COM3", "logs/2026-12-08T14-03-21Z-COM3-2.txt"},  // the same second
        {Start + std::chrono::milliseconds(999), "COM3", "logs/2026-12-08T14-03-21Z-COM3-3.txt"},
        {Start, "COM12", "logs/2026-12-08T14-03-21Z-COM12.txt"},
        {Start + std::chrono::seconds(1), "COM3", "logs/2026-12-08T14-03-22Z-COM3.txt"},
        {Start, "ttyUSB0", "logs/2026-12-08T14-03-21Z-ttyUSB0.txt"},
        {Start,
         "Pr\xC3\xBC"
         "f, \"1\"",
         "logs/2026-12-08T14-03-21Z-Pr\xC3\xBC"
         "f, \"1\".txt"},
    };
    for (size_t i = 0; i < table.size(); ++i) {
        const std::string bytes = LogBytes + std::to_string(i) + "\r\n";
        const KeptLog kept = logs.Keep(table[i].When, table[i].Port, bytes);
        ASSERT_TRUE(kept.Ok()) << kept.Error;
        EXPECT_EQ(kept.Name, table[i].Name);
        EXPECT_EQ(ReadWholeFile(dir + "/" + kept.Name), bytes) << kept.Name;
    }
    // None replaced another.
    EXPECT_EQ(ReadWholeFile(dir + "/" + table[0].Name), LogBytes + "0\r\n");

    // From the file the run wrote.
    ASSERT_TRUE(WriteWholeFile(dir + "/logUpdate.txt", LogBytes));
    const KeptLog copied = logs.KeepFile(Start, "COM4", dir + "/logUpdate.txt");
    ASSERT_TRUE(copied.Ok()) << copied.Error;
    EXPECT_EQ(ReadWholeFile(dir + "/" + copied.Name), LogBytes);
    const KeptLog missing = logs.KeepFile(Start, "COM4", dir + "/COM9/logUpdate.txt");
    EXPECT_FALSE(missing.Ok());
    EXPECT_NE(missing.Error.find(dir + "/COM9/logUpdate.txt"), std::string::npos);
    RemoveTree(dir);
}

TEST(KeptLogs, ALogsThatIsNoRealFolderOrANameThatIsNoFileNameIsRefused)
{
    struct Case {
        const char* Name;
        void (*Prepare)(const std::string& dir);
        std::string Port;
        std::string Refusal;
        bool CheckRefuses;
    };
    const std::vector<Case> table = {
        {"link to a folder",
         [](const std::string& d) {
             ASSERT_EQ(mkdir((d + "/real").c_str(), 0755), 0);
             ASSERT_EQ(symlink("real", (d + "/logs").c_str()), 0);
         },
         "COM3", "symbolic link", true},
        {"a file", [](const std::string& d) { WriteWholeFile(d + "/logs", "x"); }, "COM3", "not",
         true},
        {"dot dot", nullptr, "..", "cannot be part of a file name", false},
        {"empty", nullptr, "", "cannot be part of a file name", false},
        {"slash", nullptr, "a/b", "cannot be part of a file name", false},
    };
    for (const Case& c : table) {
        const std::string dir = MakeTempDir();
        if (c.Prepare)
            c.Prepare(dir);
        const KeptLogs logs(dir);
        const std::string check = logs.Check();
        EXPECT_EQ(check.find(c.Refusal) != std::string::npos, c.CheckRefuses) << c.Name << check;
        const KeptLog kept = logs.Keep(Start, c.Port, LogBytes);
        EXPECT_FALSE(kept.Ok()) << c.Name;
        EXPECT_EQ(kept.Name, "") << c.Name;
        EXPECT_NE(kept.Error.find(c.Refusal), std::string::npos) << c.Name << ": " << kept.Error;
        // Nothing was written through the link.
        if (std::filesystem::exists(dir + "/real")) {
            EXPECT_TRUE(std::filesystem::is_empty(dir + "/real")) << c.Name;
        }
        RemoveTree(dir);
    }
}

}  // namespace
