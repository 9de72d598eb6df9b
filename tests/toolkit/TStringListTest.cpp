// SPDX-License-Identifier: MIT
#include "AtomicFile.h"
#include "Exceptions.h"
#include "TStringList.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class TStringListFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/zendrak-strings-XXXXXX";
        Dir = mkdtemp(pattern);
    }
    void TearDown() override { fs::remove_all(Dir); }
    fs::path Dir;
};

TEST_F(TStringListFile, EveryEntryEndsInCrLfBytesUnchanged)
{
    TStringList list;
    list.Add("Loading firmware");
    list.Add("Datei vollst\xE4ndig");
    list.Add("");
    list.Add("Terminated");
    const auto file = (Dir / "log.txt").string();
    list.SaveToFile(file);
    EXPECT_EQ(ReadAll(file), "Loading firmware\r\nDatei vollst\xE4ndig\r\n\r\nTerminated\r\n");
}

TEST_F(TStringListFile, ReplacesAnOlderFileWholeAndLeavesNoTemporary)
{
    const auto file = (Dir / "log.txt").string();
    std::ofstream(file) << "an older and much longer content that must vanish entirely";
    TStringList list;
    list.Add("new");
    list.SaveToFile(file);
    EXPECT_EQ(ReadAll(file), "new\r\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(Dir), fs::directory_iterator()), 1);
}

TEST_F(TStringListFile, EmptyListWritesAnEmptyFile)
{
    const auto file = (Dir / "empty.txt").string();
    TStringList().SaveToFile(file);
    EXPECT_TRUE(fs::exists(file));
    EXPECT_EQ(fs::file_size(file), 0u);
}

TEST_F(TStringListFile, UncreatableFileRaisesEFCreateErrorAndKeepsTheOldOne)
{
    TStringList list;
    list.Add("x");
    // A directory in the way: the rename fails, nothing is destroyed.
    fs::create_directory(Dir / "log.txt");
    EXPECT_THROW(list.SaveToFile((Dir / "log.txt").string()), EFCreateError);
    EXPECT_TRUE(fs::is_directory(Dir / "log.txt"));
    // A directory that does not exist: the temporary file cannot be created.
    EXPECT_THROW(list.SaveToFile((Dir / "missing" / "log.txt").string()), EFCreateError);
    EXPECT_EQ(std::distance(fs::directory_iterator(Dir), fs::directory_iterator()), 1);
}

TEST(TStringList, IndexOfFindsTheFirstEqualEntry)
{
    TStringList list;
    list.Add("a");
    list.Add("QelHtmlHelp");
    list.Add("QelHtmlHelp");
    EXPECT_EQ(list.IndexOf("QelHtmlHelp"), 1);
    EXPECT_EQ(list.IndexOf("qelhtmlhelp"), -1);
    EXPECT_EQ(list.Count(), 3);
}

TEST_F(TStringListFile, TheFileFollowsTheUmaskAndTheUmaskStaysAsItWas)
{
    const struct {
        mode_t Mask, Mode;
    } cases[] = {{022, 0644}, {027, 0640}, {077, 0600}, {002, 0664}};
    const mode_t original = ::umask(022);
    for (const auto& c : cases) {
        ::umask(c.Mask);
        EXPECT_EQ(CurrentUmask(), c.Mask);
        TStringList list;
        list.Add("entry");
        const auto file = (Dir / "log.txt").string();
        list.SaveToFile(file);
        struct stat info {};
        ASSERT_EQ(::stat(file.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, c.Mode) << std::oct << c.Mask;
        EXPECT_EQ(::umask(c.Mask), c.Mask);
    }
    ::umask(original);
}

}  // namespace
