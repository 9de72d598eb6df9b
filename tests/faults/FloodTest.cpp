// SPDX-License-Identifier: MIT
// A receiver that floods the line with output at full speed: the run's own limits end it
// (unmatched reads while connecting or verifying, the time limit while storing), and the
// log tells which limit ended it.
#include "FaultSupport.h"
#include "SimDriver.h"
#include "SystemTexts.h"

namespace {

std::string LastEntries(const std::string& log, int count)
{
    size_t pos = log.size();
    for (int n = 0; n <= count && pos != std::string::npos && pos > 0; ++n)
        pos = log.rfind("\r\n", pos - 1);
    return pos == std::string::npos ? log : log.substr(pos + 2);
}

struct FloodCase {
    const char* Name;
    std::vector<std::string> SimArgs;
    std::map<std::string, std::string> Env;
    std::vector<std::string> Tail;  // the log's last entries
    bool StartSent;
};

void PrintTo(const FloodCase& c, std::ostream* os)
{
    *os << c.Name;
}

class Flood : public testing::TestWithParam<FloodCase> {};

TEST_P(Flood, TheRunsOwnLimitEndsIt)
{
    const FloodCase& c = GetParam();
    Scenario s;
    const std::string font = SampleFirmware(2000, 81);
    s.AddFile("font.app", font);
    std::vector<std::string> args = {"--burst-gap", "0", "--boot-delay", "0", "--expect", "2000"};
    args.insert(args.end(), c.SimArgs.begin(), c.SimArgs.end());
    ASSERT_TRUE(s.StartSimulator(args));
    const int status = s.RunCli({"-p", "COM1"}, c.Env, 120000);
    ASSERT_NE(status, -1) << "the run did not end: " << s.Cli.Err;
    EXPECT_EQ(status, 1);
    EXPECT_TRUE(ClearOutcome(s.Cli, status));
    EXPECT_EQ(LastEntries(s.Log(), static_cast<int>(c.Tail.size())), LogOf(c.Tail))
        << ShowLog(s.Log());
    s.StopSimulator();
    // A receiver busy flooding may not take the start command in; one that was not sent must
    // not be there.
    if (!c.StartSent) {
        EXPECT_EQ(s.Transcript().find("s\n"), std::string::npos) << s.Transcript();
    }
    EXPECT_TRUE(PrefixOf(s.Saved(1), font));
}

INSTANTIATE_TEST_SUITE_P(
    Faults, Flood,
    testing::Values(
        // Thousands of unrecognised bursts back to back: over 60 full reads.
        FloodCase{"WhileConnecting",
                  {"--garbage", "20000"},
                  {},
                  {Texts::LogConnectReadStuffLimit, Texts::LogTerminated},
                  false},
        FloodCase{"WhileVerifying",
                  {"--result-chatter", "20000"},
                  {},
                  {Texts::LogTransferReadStuffLimit, Texts::LogTerminated},
                  false},
        // Progress lines without end while storing: 20 s of flood, then the time limit.
        FloodCase{"WhileStoring",
                  {"--saved-chatter", "forever"},
                  {{"ZENDRAK_WAIT_SAVED_LIMIT_MS", "20000"}},
                  {Texts::StatusSaving, Texts::StatusReadError, Texts::StatusStartingReceiver,
                   Texts::LogTerminated},
                  true}),
    [](const testing::TestParamInfo<FloodCase>& info) { return info.param.Name; });

}  // namespace
