// SPDX-License-Identifier: MIT
// Several receivers at once: the ports' plan (folders, names given twice) and the summary.
#include "BenchPorts.h"
#include "BenchSummary.h"

#include <gtest/gtest.h>

#include <map>

namespace {

struct PlanCase {
    const char* Name;
    std::vector<std::string> Options;
    const char* Folders;  // blank-separated; empty when an error is expected
    const char* Error;    // a part of the error
};

class BenchPlanTest : public ::testing::TestWithParam<PlanCase> {};

TEST_P(BenchPlanTest, FoldersAndDuplicates)
{
    // COM1 and /dev/a lead to one device; COM9 is not plugged in.
    const std::map<std::string, std::string> devices = {
        {"COM1", "/dev/ttyUSB0"}, {"/dev/a", "/dev/ttyUSB0"}, {"COM2", "/dev/ttyUSB1"},
        {"/dev/ttyUSB1", "/dev/ttyUSB1"}, {"/dev/x/ttyS0", "/dev/x/ttyS0"}};
    const BenchPlan plan = PlanBenchPorts(GetParam().Options, [&](const std::string& name) {
        const auto found = devices.find(name);
        return found == devices.end() ? std::nullopt : std::optional<std::string>(found->second);
    });
    std::string folders;
    for (const BenchPort& port : plan.Ports)
        folders += (folders.empty() ? "" : " ") + port.Folder;
    if (*GetParam().Error) {
        EXPECT_NE(plan.Error.find(GetParam().Error), std::string::npos) << plan.Error;
    } else {
        EXPECT_EQ(plan.Error, "");
        EXPECT_EQ(folders, GetParam().Folders);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Ports, BenchPlanTest,
    ::testing::Values(
        PlanCase{"ComNumbersAndPaths", {"COM1", "com2", "/dev/x/ttyS0", "COM9"},
                 "COM1 COM2 ttyS0 COM9", ""},
        PlanCase{"SameNameTwice", {"COM2", "/dev/x/ttyS0", "com2"}, "", "COM2 is named twice"},
        PlanCase{"TwoNamesOneDevice", {"COM1", "/dev/a"}, "", "the same device /dev/ttyUSB0"},
        PlanCase{"ComAndItsDevicePath", {"/dev/ttyUSB1", "COM2"}, "", "the same device"},
        PlanCase{"UnknownDevicesAreNotAlike", {"COM9", "COM8"}, "COM9 COM8", ""},
        PlanCase{"OneFolderForTwoLogs", {"/dev/x/ttyS0", "/dev/y/ttyS0"}, "", "same folder ttyS0"},
        PlanCase{"NoBaseName", {"/dev/x/"}, "", "names no device"}),
    [](const auto& info) { return std::string(info.param.Name); });

struct ExitCase {
    std::vector<BenchResult::Outcome> Outcomes;
    int Exit;
};

TEST(BenchSummary, ExitCodeSaysTheWorstOutcome)
{
    using O = BenchResult::Outcome;
    const ExitCase cases[] = {{{O::Ok}, 0},
                              {{O::Ok, O::Ok, O::Ok}, 0},
                              {{O::Ok, O::Error, O::Ok}, 1},
                              {{O::Ok, O::NotOpened}, 2},
                              {{O::Error, O::NotOpened, O::Error}, 2},
                              {{}, 0}};
    for (const ExitCase& c : cases) {
        std::vector<BenchResult> results;
        for (const O outcome : c.Outcomes)
            results.push_back({"COM1", "", outcome, 0, 0, 0});
        EXPECT_EQ(BenchExitCode(results), c.Exit) << c.Outcomes.size();
    }
}

TEST(BenchSummary, TableHasAnAlignedRowPerPort)
{
    const std::string table = BenchSummaryTable(
        {{"COM3", "/dev/ttyUSB0", BenchResult::Outcome::Ok, 24.06, 3, 3},
         {"/dev/ttyACM12", "", BenchResult::Outcome::NotOpened, 0, 0, 3},
         {"COM12", "/dev/pts/7", BenchResult::Outcome::Error, 9.96, 1, 3}});
    EXPECT_EQ(table,
              "Port           Device        Outcome       Duration  Files sent\n"
              "COM3           /dev/ttyUSB0  Update OK     24.1 s    3/3\n"
              "/dev/ttyACM12  -             not opened    0.0 s     0/3\n"
              "COM12          /dev/pts/7    Update Error  10.0 s    1/3\n");
}

}  // namespace
