// SPDX-License-Identifier: MIT
// Finding the other openers of a serial device in a /proc laid out by the test, telling
// pseudo-terminals apart, and the advice that names the holders.
#include "PortErrorAdvice.h"
#include "PortOpeners.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

class FakeProc : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "zendrak-proc-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        Root = pattern;
        struct stat info {};
        ASSERT_EQ(::stat("/dev/null", &info), 0);
        Device = info.st_rdev;
    }
    void TearDown() override { fs::remove_all(Root); }

    // A process with descriptors pointing at `targets`; an empty name writes no comm file.
    void Process(const std::string& pid, const std::string& name,
                 const std::vector<std::string>& targets)
    {
        const fs::path dir = Root / pid;
        fs::create_directories(dir / "fd");
        if (!name.empty())
            std::ofstream(dir / "comm") << name << "\n";
        for (size_t fd = 0; fd < targets.size(); ++fd)
            fs::create_symlink(targets[fd], dir / "fd" / std::to_string(fd + 3));
    }

    fs::path Root;
    dev_t Device = 0;
};

TEST_F(FakeProc, FindsEveryOtherProcessWithTheDeviceOpenByAscendingId)
{
    const std::string regular = (Root / "plain-file").string();
    std::ofstream(regular) << "x";
    Process("4711", "minicom", {"/dev/zero", "/dev/null"});
    Process("812", "cat", {"/dev/null"});
    Process("900", "bash", {"/dev/zero", regular, "/nonexistent"});  // other files only
    Process("1000", "", {"/dev/null"});                              // comm unreadable
    Process("555", "zendrak-cli", {"/dev/null"});                    // the caller itself
    Process("self", "cat", {"/dev/null"});                           // not a process id
    fs::create_directories(Root / "77");                             // fd not readable

    const std::vector<PortHolder> expected{
        {812, "cat"}, {1000, "an unnamed program"}, {4711, "minicom"}};
    EXPECT_EQ(FindPortOpeners(Root.string(), Device, 555), expected);
    EXPECT_TRUE(FindPortOpeners(Root.string(), makedev(4, 64), 555).empty());
    EXPECT_TRUE(FindPortOpeners((Root / "missing").string(), Device, 555).empty());
}

TEST(PortOpeners, PseudoTerminalsAreToldApartFromSerialDevices)
{
    const struct {
        unsigned Major, Minor;
        bool Pseudo;
    } cases[] = {
        {136, 0, true}, {143, 9, true}, {128, 1, true},  {5, 2, true},
        {3, 0, true},   {4, 64, false}, {188, 0, false}, {166, 0, false},
        {5, 0, false},  {4, 1, false},  {144, 0, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsPseudoTerminal(makedev(c.Major, c.Minor)), c.Pseudo)
            << c.Major << ":" << c.Minor;
}

TEST(PortOpeners, TheAdviceNamesEachHolderInPlaceOfTheGeneralAdvice)
{
    const std::string one = PortErrorAdvice(EBUSY, {{1234, "cat"}});
    EXPECT_NE(one.find("cat (process 1234)"), std::string::npos) << one;
    EXPECT_EQ(one.find("ModemManager"), std::string::npos) << one;
    const std::string two = PortErrorAdvice(EBUSY, {{7, "cu"}, {8, "screen"}});
    EXPECT_NE(two.find("cu (process 7), screen (process 8)"), std::string::npos) << two;
    EXPECT_NE(PortErrorAdvice(EBUSY).find("ModemManager"), std::string::npos);
}

}  // namespace
