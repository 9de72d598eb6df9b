// SPDX-License-Identifier: MIT
// Several receivers at once: the summary table and what the terminal shows while they run.
#include "BenchSummary.h"
#include "BenchView.h"
#include "LineTexts.h"

#include <gtest/gtest.h>

#include <map>

namespace {

RunResult Ended(std::string port, std::string device, RunResult::Outcome outcome, double seconds,
                int stored, RunCause cause = RunCause::None)
{
    RunResult r;
    r.Port = std::move(port);
    r.Device = std::move(device);
    r.End = outcome;
    r.Seconds = seconds;
    r.FilesStored = stored;
    r.Files = 3;
    r.Cause = cause;
    return r;
}

TEST(BenchSummary, TableHasAnAlignedRowPerPort)
{
    using O = RunResult::Outcome;
    const std::string table = BenchSummaryTable(
        {Ended("COM3", "/dev/ttyUSB0", O::Ok, 24.06, 3),
         Ended("/dev/ttyACM12", "", O::NotOpened, 0, 0, RunCause::NotOpened),
         Ended("COM12", "/dev/pts/7", O::Error, 9.96, 1, RunCause::Refused),
         Ended("COM14", "/dev/pts/8", O::Cancelled, 3.2, 0, RunCause::Cancelled)});
    EXPECT_EQ(table,
              "Port           Device        Outcome       Duration  Files sent  Cause\n"
              "COM3           /dev/ttyUSB0  Update OK     24.1 s    3/3         -\n"
              "/dev/ttyACM12  -             not opened    0.0 s     0/3         not opened\n"
              "COM12          /dev/pts/7    Update Error  10.0 s    1/3         refused\n"
              "COM14          /dev/pts/8    Update Error  3.2 s     0/3         cancelled\n");
}

// A production line's session: each receiver counts with its last attempt; those that failed or
// needed a retry are named with their attempts.
TEST(LineSummary, ReceiversPerPortAndTheNotableOnes)
{
    using O = RunResult::Outcome;
    const auto attempt = [](RunResult r, int run, int attempt, std::vector<RunCause> earlier) {
        r.Run = run;
        r.Attempt = attempt;
        r.Attempts = 3;
        r.Earlier = std::move(earlier);
        return r;
    };
    const RunResult ok = Ended("COM3", "/dev/ttyUSB0", O::Ok, 20, 3);
    const RunResult refused = Ended("COM3", "/dev/ttyUSB0", O::Error, 9, 0, RunCause::Refused);
    const RunResult lost = Ended("COM4", "/dev/ttyUSB1", O::Error, 5, 1, RunCause::LineLost);
    const std::string text =
        LineSummaryText({{attempt(ok, 1, 1, {}), attempt(refused, 2, 1, {}),
                          attempt(ok, 2, 2, {RunCause::Refused}), attempt(ok, 3, 1, {})},
                         {attempt(lost, 1, 1, {}), attempt(lost, 1, 2, {RunCause::LineLost}),
                          attempt(lost, 1, 3, {RunCause::LineLost, RunCause::LineLost})}},
                        754);
    EXPECT_EQ(text,
              "Production line: 4 receivers in 12:34, 3 updated, 1 failed\n"
              "Port  Receivers  Updated  Failed  Attempts\n"
              "COM3  3          3        0       4\n"
              "COM4  1          0        1       3\n"
              "Receiver         Outcome       Cause      Attempt\n"
              "COM3 receiver 2  Update OK     -          attempt 2 of 3 (earlier: refused)\n"
              "COM4 receiver 1  Update Error  line lost  attempt 3 of 3 (earlier: line lost, "
              "line lost)\n");
    EXPECT_EQ(WaitingText({3, 1}), "waiting for the next receiver (3 updated, 1 failed)");
    EXPECT_EQ(LineSummaryText({{attempt(ok, 1, 1, {})}}, 5).substr(0, 42),
              "Production line: 1 receiver in 0:05, 1 upd");
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
