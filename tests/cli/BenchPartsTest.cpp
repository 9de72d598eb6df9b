// SPDX-License-Identifier: MIT
// Several receivers at once: the ports' plan (folders, names given twice) and the summary.
#include "BenchPorts.h"
#include "BenchSummary.h"
#include "BenchView.h"

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
    const std::map<std::string, std::string> devices = {{"COM1", "/dev/ttyUSB0"},
                                                        {"/dev/a", "/dev/ttyUSB0"},
                                                        {"COM2", "/dev/ttyUSB1"},
                                                        {"/dev/ttyUSB1", "/dev/ttyUSB1"},
                                                        {"/dev/x/ttyS0", "/dev/x/ttyS0"}};
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
        PlanCase{"ComNumbersAndPaths",
                 {"COM1", "com2", "/dev/x/ttyS0", "COM9"},
                 "COM1 COM2 ttyS0 COM9",
                 ""},
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
    const std::string table =
        BenchSummaryTable({{"COM3", "/dev/ttyUSB0", BenchResult::Outcome::Ok, 24.06, 3, 3},
                           {"/dev/ttyACM12", "", BenchResult::Outcome::NotOpened, 0, 0, 3},
                           {"COM12", "/dev/pts/7", BenchResult::Outcome::Error, 9.96, 1, 3}});
    EXPECT_EQ(table,
              "Port           Device        Outcome       Duration  Files sent\n"
              "COM3           /dev/ttyUSB0  Update OK     24.1 s    3/3\n"
              "/dev/ttyACM12  -             not opened    0.0 s     0/3\n"
              "COM12          /dev/pts/7    Update Error  10.0 s    1/3\n");
}

// Keeps what it is given: texts in order, frames marked.
struct RecordingSink : TextSink {
    std::vector<std::string> Items;
    void Text(std::string text) override { Items.push_back(text); }
    void Frame(std::string text) override { Items.push_back("FRAME:" + text); }
};

TEST(BenchView, PrefixedSinkPassesWholeLinesWithThePort)
{
    RecordingSink out;
    PrefixedSink sink(out, "COM3: ");
    sink.Text("Sending /fw/font.app\n10");
    sink.Frame("\r[###   ]");  // no redrawn lines when piped
    sink.Text("%\n20%\nUpdate OK\n");
    EXPECT_EQ(out.Items, (std::vector<std::string>{"COM3: Sending /fw/font.app\n", "COM3: 10%\n",
                                                   "COM3: 20%\n", "COM3: Update OK\n"}));
}

TEST(BenchView, BoardDrawsALineAPortThenRedrawsThemInPlace)
{
    RecordingSink out;
    double now = 100;
    BenchBoard board(out, {"COM3", "/dev/ttyUSB0"}, [&] { return now; });
    const RunFile font{"/fw/font.app", 1000, ""};
    board.Port(0).FileBegins(font);
    ASSERT_EQ(out.Items.size(), 1u);  // the first picture is kept whatever comes after it
    EXPECT_EQ(out.Items[0],
              "\rCOM3          font.app        0%   11.5 kB/s  \x1b[K\n"
              "\r/dev/ttyUSB0  \x1b[K\n");
    now += 0.05;
    board.Port(0).FileProgress(font, 500, 0);
    EXPECT_EQ(out.Items.size(), 1u);  // within a tenth of a second: not drawn
    now += 0.1;
    board.Port(0).FileProgress(font, 600, 100);
    ASSERT_EQ(out.Items.size(), 2u);
    EXPECT_EQ(out.Items[1].rfind("FRAME:\x1b[2A\rCOM3          font.app       50%", 0), 0u)
        << out.Items[1];
    board.SetState(1, "not opened");
    ASSERT_EQ(out.Items.size(), 3u);  // a state change is never dropped
    EXPECT_NE(out.Items[2].find("\r/dev/ttyUSB0  not opened\x1b[K\n"), std::string::npos);
}

}  // namespace
