// SPDX-License-Identifier: MIT
#include "FirmFileSet.h"
#include "UnopenableFile.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <optional>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Each test runs in a fresh temporary directory, made the current directory.
class FirmFileSetTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Previous = fs::current_path();
        std::string pattern = (fs::temp_directory_path() / "zendrak-firm-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        Dir = pattern;
        fs::current_path(Dir);
        Set.ShowStatusText = [this](const std::string& text) { StatusTexts.push_back(text); };
    }
    void TearDown() override
    {
        fs::current_path(Previous);
        fs::remove_all(Dir);
    }
    void Write(const std::string& name, const std::string& bytes)
    {
        std::ofstream(Dir / name, std::ios::binary) << bytes;
    }
    std::string Path(const std::string& name) const { return (fs::current_path() / name).string(); }
    std::vector<int32_t> Iterate()
    {
        std::vector<int32_t> types{Set.GetFirstFirmFileType()};
        while (types.back() != 0 && types.size() < 8)
            types.push_back(Set.GetNextFirmFileType());
        return types;
    }

    fs::path Previous;
    fs::path Dir;
    FirmFileSet Set;
    std::vector<std::string> StatusTexts;
};

struct Layout {
    const char* Description;
    std::map<std::string, std::string> Files;  // name -> contents
    bool ReadResult;
    std::vector<std::string> Listed;  // FirmFileNames, filled slots
    std::vector<int32_t> Iteration;   // first, next..., up to the first 0
    std::vector<int32_t> Sizes;       // per slot
};

const std::vector<Layout> Layouts{
    {"all three",
     {{"font.app", "F"}, {"decoder.app", "DD"}, {"out.app", "OOO"}},
     true,
     {"font.app", "decoder.app", "out.app"},
     {1, 2, 3, 0},
     {1, 2, 3}},
    {"decoder and out",
     {{"decoder.app", "DD"}, {"out.app", "OOO"}},
     true,
     {"decoder.app", "out.app"},
     {1, 2, 0},
     {2, 3, 0}},
    {"font only", {{"font.app", "FFFF"}}, true, {"font.app"}, {1, 0}, {4, 0, 0}},
    {"out only", {{"out.app", "O"}}, true, {"out.app"}, {1, 0}, {1, 0, 0}},
    {"empty font, out",
     {{"font.app", ""}, {"out.app", "OO"}},
     true,
     {"font.app", "out.app"},
     {2, 0},
     {0, 2, 0}},
    {"all empty",
     {{"font.app", ""}, {"decoder.app", ""}},
     true,
     {"font.app", "decoder.app"},
     {0},
     {0, 0, 0}},
    {"font and out, decoder empty",
     {{"font.app", "F"}, {"decoder.app", ""}, {"out.app", "O"}},
     true,
     {"font.app", "decoder.app", "out.app"},
     {1, 3, 0},
     {1, 0, 1}},
    {"none", {}, false, {}, {0}, {0, 0, 0}},
    {"other files only",
     {{"font.bin", "x"}, {"Font.app", "x"}, {"readme", "x"}},
     false,
     {},
     {0},
     {0, 0, 0}},
};

TEST_F(FirmFileSetTest, LayoutsListLoadAndIterateAsFound)
{
    for (const Layout& layout : Layouts) {
        SCOPED_TRACE(layout.Description);
        for (const auto& entry : fs::directory_iterator(Dir))
            fs::remove_all(entry.path());
        for (const auto& [name, bytes] : layout.Files)
            Write(name, bytes);

        Set.BuildFirmFileList();
        EXPECT_EQ(Set.ReadFirmFiles(), layout.ReadResult);
        for (size_t slot = 0; slot < 3; ++slot) {
            const std::string expected =
                slot < layout.Listed.size() ? Path(layout.Listed[slot]) : std::string();
            EXPECT_EQ(Set.FirmFileNames[slot], expected) << "slot " << slot;
            EXPECT_EQ(Set.GetFileSize(int32_t(slot + 1)), layout.Sizes[slot]) << "slot " << slot;
            EXPECT_EQ(Set.GetFileBuffer(int32_t(slot + 1)) != nullptr, layout.Sizes[slot] > 0);
        }
        EXPECT_EQ(Iterate(), layout.Iteration);
        for (size_t slot = 0; slot < 3; ++slot) {
            if (layout.Sizes[slot] == 0)
                continue;
            const std::string& name = layout.Listed[slot];
            const std::string bytes(
                reinterpret_cast<const char*>(Set.GetFileBuffer(int32_t(slot + 1))),
                size_t(layout.Sizes[slot]));
            EXPECT_EQ(bytes, layout.Files.at(name));
        }
    }
}

TEST_F(FirmFileSetTest, CursorStaysOnTheLastTypeAfterTheEnd)
{
    Write("font.app", "F");
    Write("decoder.app", "D");
    Write("out.app", "O");
    Set.BuildFirmFileList();
    ASSERT_TRUE(Set.ReadFirmFiles());
    EXPECT_EQ(Iterate(), (std::vector<int32_t>{1, 2, 3, 0}));
    EXPECT_EQ(Set.FirmFileIndex, 2);
    EXPECT_EQ(Set.GetNextFirmFileType(), 0);
    EXPECT_EQ(Set.FirmFileIndex, 2);
}

TEST_F(FirmFileSetTest, RunningPastAMissingLastTypeResetsTheCursor)
{
    Write("decoder.app", "D");
    Write("out.app", "O");
    Set.BuildFirmFileList();
    ASSERT_TRUE(Set.ReadFirmFiles());
    EXPECT_EQ(Iterate(), (std::vector<int32_t>{1, 2, 0}));
    EXPECT_EQ(Set.FirmFileIndex, 0);
}

TEST_F(FirmFileSetTest, NoDataAtAllResetsTheCursorOnFirst)
{
    Write("font.app", "");
    Set.BuildFirmFileList();
    ASSERT_TRUE(Set.ReadFirmFiles());
    Set.FirmFileIndex = 2;
    EXPECT_EQ(Set.GetFirstFirmFileType(), 0);
    EXPECT_EQ(Set.FirmFileIndex, 0);
}

TEST_F(FirmFileSetTest, NamesAreShownAsStatusTextAndEmptyForSlotsWithoutData)
{
    Write("font.app", "");
    Write("decoder.app", "DATA");
    Set.BuildFirmFileList();
    ASSERT_TRUE(Set.ReadFirmFiles());
    EXPECT_EQ(Set.GetFirmFileName(2), Path("decoder.app"));
    EXPECT_EQ(Set.GetFirmFileName(1), "");
    EXPECT_EQ(Set.GetFirmFileName(0), "");
    EXPECT_EQ(Set.GetFirmFileName(3), "");
    EXPECT_EQ(StatusTexts, (std::vector<std::string>{Path("decoder.app"), "", "", ""}));
    EXPECT_EQ(Set.GetFileSize(0), 0);
    EXPECT_EQ(Set.GetFileBuffer(0), nullptr);
}

TEST_F(FirmFileSetTest, PathIsTheCurrentDirectoryWithSlashAndName)
{
    Write("decoder.app", "D");
    Set.BuildFirmFileList();
    ASSERT_TRUE(Set.ReadFirmFiles());
    const std::string name = Set.GetFirmFileName(1);
    EXPECT_EQ(name, fs::current_path().string() + "/decoder.app");
    EXPECT_EQ(name.rfind("/decoder.app"), name.size() - 12);
}

TEST_F(FirmFileSetTest, DirectoryOfAnyLengthIsUsed)
{
    // Deeper than the 260 bytes the set once had room for, and beyond one getcwd guess.
    fs::path deep = Dir;
    while (deep.string().size() < 1200)
        deep /= std::string(60, 'd');
    fs::create_directories(deep);
    fs::current_path(deep);
    Write((deep / "out.app").string().substr(Dir.string().size() + 1), "DEEP");
    Set.BuildFirmFileList();
    ASSERT_TRUE(Set.ReadFirmFiles());
    EXPECT_EQ(Set.FirmFileNames[0], deep.string() + "/out.app");
    EXPECT_EQ(Set.GetFileSize(1), 4);
}

TEST_F(FirmFileSetTest, DirectoriesUnderTheNamesDoNotCount)
{
    fs::create_directory(Dir / "font.app");
    Write("out.app", "O");
    Set.BuildFirmFileList();
    EXPECT_EQ(Set.FirmFileNames[0], Path("out.app"));
    EXPECT_EQ(Set.FirmFileNames[1], "");
}

TEST_F(FirmFileSetTest, RebuildListsOnlyWhatIsPresentNow)
{
    Write("font.app", "F");
    Write("decoder.app", "D");
    Write("out.app", "O");
    Set.BuildFirmFileList();
    ASSERT_TRUE(Set.ReadFirmFiles());
    fs::remove(Dir / "font.app");
    fs::remove(Dir / "out.app");
    Set.BuildFirmFileList();
    ASSERT_TRUE(Set.ReadFirmFiles());
    EXPECT_EQ(Set.FirmFileNames[0], Path("decoder.app"));
    EXPECT_EQ(Set.FirmFileNames[1], "");
    EXPECT_EQ(Set.FirmFileNames[2], "");
    EXPECT_EQ(Set.GetFileSize(2), 0);
    EXPECT_EQ(Set.GetFileBuffer(2), nullptr);
    EXPECT_EQ(Iterate(), (std::vector<int32_t>{1, 0}));
}

TEST_F(FirmFileSetTest, FileGoneBetweenListingAndReadingIsSkipped)
{
    Write("font.app", "F");
    Write("out.app", "O");
    Set.BuildFirmFileList();
    fs::remove(Dir / "font.app");
    ASSERT_TRUE(Set.ReadFirmFiles());
    EXPECT_TRUE(Set.Problem.Empty());
    EXPECT_EQ(Set.GetFileSize(1), 0);
    EXPECT_EQ(Set.GetFileSize(2), 1);
    fs::remove(Dir / "out.app");
    EXPECT_FALSE(Set.ReadFirmFiles());
    EXPECT_EQ(Set.GetFileSize(2), 0);
}

bool MakeSparse(const fs::path& file, off_t size)
{
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const bool made = fd >= 0 && ::ftruncate(fd, size) == 0;
    if (fd >= 0)
        ::close(fd);
    return made;
}

struct Unusable {
    const char* Case;
    // Lays out the files; false when this machine cannot make the case.
    std::function<bool(const fs::path& dir, std::vector<int>& held)> Make;
    const char* Culprit;  // the file named, or "" for the whole set
    const char* Reason;   // part of the reason
};

const std::vector<Unusable> UnusableCases{
    {"locked by another program",
     [](const fs::path& dir, std::vector<int>& held) {
         // A second open file description stands for another program holding the file.
         held.push_back(::open((dir / "decoder.app").c_str(), O_RDONLY));
         return held.back() >= 0 && ::flock(held.back(), LOCK_SH) == 0;
     },
     "decoder.app", "another program has it locked"},
    {"cannot be opened",
     [](const fs::path& dir, std::vector<int>&) {
         const std::string target = UnopenableRegularFile(dir);
         fs::remove(dir / "decoder.app");
         return !target.empty() && ::symlink(target.c_str(), (dir / "decoder.app").c_str()) == 0;
     },
     "decoder.app", "cannot be opened for reading"},
    {"2 GiB",
     [](const fs::path& dir, std::vector<int>&) {
         return MakeSparse(dir / "out.app", off_t(1) << 31);
     },
     "out.app", "2 GiB or more (2147483648 bytes)"},
    {"one byte over 1 GiB in all",
     [](const fs::path& dir, std::vector<int>&) {
         return MakeSparse(dir / "out.app", (off_t(1) << 30) - 2);  // and 3 bytes elsewhere
     },
     "", "1073741825 bytes, more than 1 GiB"},
    {"three files over 1 GiB",
     [](const fs::path& dir, std::vector<int>&) {
         return MakeSparse(dir / "font.app", off_t(400) << 20) &&
                MakeSparse(dir / "decoder.app", off_t(400) << 20) &&
                MakeSparse(dir / "out.app", off_t(400) << 20);
     },
     "", "1258291200 bytes"},
};

TEST_F(FirmFileSetTest, AFileThatCannotBeUsedStopsTheSetAndLoadsNothing)
{
    for (const Unusable& c : UnusableCases) {
        SCOPED_TRACE(c.Case);
        for (const auto& entry : fs::directory_iterator(Dir))
            fs::remove_all(entry.path());
        Write("font.app", "F");
        Write("decoder.app", "DD");
        std::vector<int> held;
        if (!c.Make(Dir, held)) {
            for (int fd : held)
                ::close(fd);
            std::cout << "[  SKIPPED ] " << c.Case << ": not possible here\n";
            continue;
        }
        Set.BuildFirmFileList();
        EXPECT_FALSE(Set.ReadFirmFiles());
        EXPECT_EQ(Set.Problem.Path, *c.Culprit ? Path(c.Culprit) : std::string());
        EXPECT_NE(Set.Problem.Reason.find(c.Reason), std::string::npos) << Set.Problem.Reason;
        for (int32_t type = 1; type <= 3; ++type)
            EXPECT_EQ(Set.GetFileBuffer(type), nullptr) << type;
        EXPECT_EQ(Set.GetFirstFirmFileType(), 0);

        // Once the cause is gone the same set loads, and the problem is forgotten.
        for (int fd : held)
            ::close(fd);
        for (const char* name : {"font.app", "decoder.app", "out.app"})
            fs::remove(Dir / name);  // a symlink goes, never what it points to
        Write("font.app", "F");
        Write("decoder.app", "DD");
        Set.BuildFirmFileList();
        EXPECT_TRUE(Set.ReadFirmFiles());
        EXPECT_TRUE(Set.Problem.Empty());
        EXPECT_EQ(Iterate(), (std::vector<int32_t>{1, 2, 0}));
    }
}

TEST_F(FirmFileSetTest, FifoUnderAFirmwareNameHoldsNoDataAndDoesNotBlock)
{
    ASSERT_EQ(::mkfifo((Dir / "font.app").c_str(), 0600), 0);
    Set.BuildFirmFileList();
    EXPECT_TRUE(Set.ReadFirmFiles());  // it was opened
    EXPECT_TRUE(Set.Problem.Empty());  // no regular file: handled as it always was
    EXPECT_EQ(Set.GetFileSize(1), 0);
    EXPECT_EQ(Set.GetFirstFirmFileType(), 0);
}

TEST_F(FirmFileSetTest, AllByteValuesArriveUnchanged)
{
    std::string bytes;
    for (int round = 0; round < 40; ++round)
        for (int b = 0; b < 256; ++b)
            bytes.push_back(char(b));
    Write("decoder.app", bytes);
    Set.BuildFirmFileList();
    ASSERT_TRUE(Set.ReadFirmFiles());
    ASSERT_EQ(Set.GetFileSize(1), int32_t(bytes.size()));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(Set.GetFileBuffer(1)), bytes.size()),
              bytes);
}

TEST_F(FirmFileSetTest, ReleaseFreesBlocksAndKeepsNames)
{
    Write("font.app", "F");
    Write("out.app", "O");
    Set.BuildFirmFileList();
    ASSERT_TRUE(Set.ReadFirmFiles());
    Set.ReleaseFirmFiles();
    for (int32_t type = 1; type <= 3; ++type) {
        EXPECT_EQ(Set.GetFileSize(type), 0);
        EXPECT_EQ(Set.GetFileBuffer(type), nullptr);
    }
    EXPECT_EQ(Set.FirmFileNames[0], Path("font.app"));
    EXPECT_EQ(Set.FirmFileNames[1], Path("out.app"));
    EXPECT_EQ(Set.GetFirstFirmFileType(), 0);
}

TEST_F(FirmFileSetTest, RemovedCurrentDirectoryFindsNothing)
{
    const fs::path gone = Dir / "gone";
    fs::create_directory(gone);
    fs::current_path(gone);
    fs::remove(gone);
    Set.BuildFirmFileList();
    for (const auto& name : Set.FirmFileNames)
        EXPECT_EQ(name, "");
    EXPECT_FALSE(Set.ReadFirmFiles());
}

}  // namespace
