// SPDX-License-Identifier: MIT
// The simulator playing a production line, in-process on its console (no pseudo-terminal):
// each run's own verdict, the updated receiver's own restart, the next receiver switched on
// after a pause, and the device unplugged between two receivers.
#include "Console.h"
#include "Options.h"
#include "ReceiverTexts.h"

#include <gtest/gtest.h>

namespace {

using std::chrono::milliseconds;

struct Output {
    int Ms;
    std::string Text;
};

// A console under a clock of its own: commands and files go in at a moment, the bursts that
// come out are collected with the moment they were due.
class ConsoleUnderTest {
public:
    explicit ConsoleUnderTest(const std::vector<std::string>& args)
    {
        const ParseResult parsed = ParseOptions(args);
        EXPECT_EQ(parsed.Error, "");
        Options = parsed.Options;
        Console = std::make_unique<ReceiverConsole>(Options, Rec);
    }

    // Lets time pass up to `ms`, collecting what comes out.
    void RunUntil(int ms)
    {
        const auto until = T0 + milliseconds(ms);
        while (true) {
            const auto next = Console->NextEvent(Now);
            if (!next || *next > until)
                break;
            Now = std::max(Now, *next);
            Console->Tick(Now);
            for (const std::string& burst : Console->TakeDue(Now))
                Out.push_back({Ms(Now), burst});
            if (Console->TakeUnplug(Now))
                Unplugged.push_back(Ms(Now));
        }
        Now = until;
    }
    void Send(int ms, const std::string& bytes)
    {
        RunUntil(ms);
        Console->Receive(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), Now);
    }
    // One run as the engine drives it: "r", a file of 100 bytes, then "s" when asked to.
    void PlayRun(int atMs, bool start = true)
    {
        Send(atMs, "r\r\n");
        Send(atMs + 500, "l\r\n" + std::string(100, 'x'));
        RunUntil(atMs + 2000);
        if (start)
            Send(atMs + 2000, "s\r\n");
    }
    // The moments (ms) at which a burst holding `text` came.
    std::vector<int> When(const std::string& text) const
    {
        std::vector<int> at;
        for (const Output& o : Out)
            if (o.Text.find(text) != std::string::npos)
                at.push_back(o.Ms);
        return at;
    }

    SimOptions Options;
    Recorder Rec{""};
    std::unique_ptr<ReceiverConsole> Console;
    std::vector<Output> Out;
    std::vector<int> Unplugged;

private:
    int Ms(SimClock::time_point t) const
    {
        return static_cast<int>(std::chrono::duration_cast<milliseconds>(t - T0).count());
    }
    const SimClock::time_point T0{std::chrono::hours(1)};
    SimClock::time_point Now = T0;
};

TEST(SimulatorLine, EachRunGetsItsOwnVerdictAndTheLastOneHolds)
{
    ConsoleUnderTest sim({"--runs", "3", "--expect", "100,100,100", "--verdict", "wrong,ok",
                          "--next-receiver", "4000"});
    sim.PlayRun(0);
    sim.PlayRun(10000);
    sim.PlayRun(20000);
    sim.RunUntil(30000);
    EXPECT_EQ(sim.When("wrong"), std::vector<int>({500}));
    EXPECT_EQ(sim.When("ptImage->UnzipedCrc").size(), 2u);  // the second and third run
    // The refused receiver stays for its retry; the next one comes after the accepted run.
    EXPECT_EQ(sim.When("Q9X-SUC"), std::vector<int>({100, 10100, 16000, 20100}));
    EXPECT_TRUE(sim.Console->Done());
}

struct AfterStartCase {
    const char* Name;
    std::vector<std::string> Args;
    std::vector<int> StartUpAfterFirst;   // ms after the first "s" (at 2000)
    std::vector<int> StartUpAfterSecond;  // ms after the second, the last run's "s" (at 32000)
    std::string StartUpText = ReceiverTexts::StartUp;
};

void PrintTo(const AfterStartCase& c, std::ostream* os)
{
    *os << c.Name;
}

class SimulatorAfterStart : public testing::TestWithParam<AfterStartCase> {};

TEST_P(SimulatorAfterStart, PrintsTheStartUpOutputUnaskedAsTheOptionsSay)
{
    const AfterStartCase& c = GetParam();
    std::vector<std::string> args = {"--runs", "2", "--expect", "100,100"};
    args.insert(args.end(), c.Args.begin(), c.Args.end());
    ConsoleUnderTest sim(args);
    sim.PlayRun(0);
    sim.RunUntil(30000);
    sim.PlayRun(30000);
    sim.RunUntil(60000);
    std::vector<int> first, second;
    for (const Output& o : sim.Out) {
        if (o.Text != c.StartUpText)
            continue;
        if (o.Ms > 2000 && o.Ms < 30000)
            first.push_back(o.Ms - 2000);
        else if (o.Ms > 32000)
            second.push_back(o.Ms - 32000);
    }
    EXPECT_EQ(first, c.StartUpAfterFirst);
    EXPECT_EQ(second, c.StartUpAfterSecond);
    const bool silent = sim.Options.Silent;
    EXPECT_EQ(sim.When("Starting application"),
              silent ? std::vector<int>{} : std::vector<int>({2000, 32000}));
}

INSTANTIATE_TEST_SUITE_P(
    Options, SimulatorAfterStart,
    testing::Values(
        AfterStartCase{"Nothing", {}, {}, {}},
        AfterStartCase{"NextReceiver", {"--next-receiver", "4000"}, {4000}, {}},
        AfterStartCase{"OwnRestart", {"--own-restart", "1500"}, {1500}, {1500}},
        AfterStartCase{
            "Both", {"--own-restart", "1500", "--next-receiver", "12000"}, {1500, 12000}, {1500}},
        AfterStartCase{"NextReceiverWithTheMenu",
                       {"--menu", "--next-receiver", "4000"},
                       {4000},
                       {},
                       ReceiverTexts::StartMenu},
        AfterStartCase{
            "SilentReceiverPrintsNothing", {"--silent", "--next-receiver", "4000"}, {}, {}}),
    [](const testing::TestParamInfo<AfterStartCase>& info) {
        return std::string(info.param.Name);
    });

TEST(SimulatorLine, TheDeviceIsUnpluggedBetweenReceiversOnly)
{
    ConsoleUnderTest sim({"--runs", "2", "--expect", "100,100", "--link", "/tmp/unused", "--replug",
                          "700", "--next-receiver", "5000"});
    sim.PlayRun(0);
    sim.RunUntil(30000);
    sim.PlayRun(30000);
    sim.RunUntil(60000);
    EXPECT_EQ(sim.Unplugged, std::vector<int>({2700}));
    // What was still to come went with the device.
    EXPECT_EQ(sim.When("Q9X-SUC"), std::vector<int>({100, 30100}));
}

}  // namespace
