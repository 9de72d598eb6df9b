// SPDX-License-Identifier: MIT
// Several receivers in one zendrak-cli command, each a simulator of its own: the logs, the
// bytes each receiver got, the summary and the exit status; ports named twice; waiting; a
// production line of two ports looping side by side.
#include "Scenario.h"
#include "SimDriver.h"
#include "SystemTexts.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <memory>
#include <sstream>
#include <thread>

namespace {

constexpr int Long = 120000;

// One more receiver beside the scenario's: a simulator linked as COM<n> in the port map.
struct Receiver {
    ChildProcess Sim;
    std::string Link;
    std::string Saved;
};

class Bench {
public:
    Bench()
    {
        s.AddFile("font.app", Font);
        s.AddFile("out.app", Out);
    }
    // Starts receiver COM<n> (1..) with the simulator's options.
    bool Start(int n, std::vector<std::string> args)
    {
        auto r = std::make_unique<Receiver>();
        r->Link = s.Dir + "/ttyRX" + std::to_string(n);
        r->Saved = s.Dir + "/saved" + std::to_string(n);
        std::vector<std::string> all = {"--save", r->Saved,      "--link",
                                        r->Link,  "--burst-gap", "200"};
        all.insert(all.end(), args.begin(), args.end());
        if (!r->Sim.Start(SimulatorPath(), all) || r->Sim.ReadLine(10000).empty())
            return false;
        Receivers[n] = std::move(r);
        return true;
    }
    void Map(int count)
    {
        std::string map;
        for (int n = 1; n <= count; ++n)
            map += "COM" + std::to_string(n) + "=" + s.Dir + "/ttyRX" + std::to_string(n) + "\n";
        WriteWholeFile(s.ConfigDir + "/zendrak/ports", map);
    }
    std::string Log(const std::string& folder) const
    {
        return ReadWholeFile(s.RunDir + "/" + folder + "/" + Texts::UpdateLogFileName);
    }
    std::string SavedFile(int n, int file) const
    {
        return ReadWholeFile(Receivers.at(n)->Saved + "/file-" + std::to_string(file) + ".bin");
    }
    std::string Transcript(int n) const
    {
        return ReadWholeFile(Receivers.at(n)->Saved + "/transcript.txt");
    }
    // The summary's line for a port, "" when there is none.
    std::string SummaryLine(const std::string& port) const
    {
        std::istringstream lines(s.Cli.Out);
        for (std::string line; std::getline(lines, line);)
            if (line.rfind(port + "  ", 0) == 0)
                return line;
        return {};
    }
    std::string FullLog() const
    {
        return ExpectedLog()
            .Start(s.Path("font.app"))
            .Add(Texts::LogSendRestart)
            .Add(Texts::LogFoundStartUpControl)
            .StoredFile()
            .NextFile(s.Path("out.app"))
            .StoredFile()
            .Succeeded()
            .Bytes();
    }

    Scenario s;
    const std::string Font = SampleFirmware(3000, 71);
    const std::string Out = SampleFirmware(2000, 72);
    std::map<int, std::unique_ptr<Receiver>> Receivers;
};

bool Has(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

TEST(BenchRun, FourReceiversOneRefusesOneVanishes)
{
    Bench b;
    const std::vector<std::string> expect = {"--expect", "3000,2000"};
    ASSERT_TRUE(b.Start(1, expect));
    ASSERT_TRUE(b.Start(2, {"--expect", "3000,2000", "--verdict", "wrong"}));
    ASSERT_TRUE(b.Start(3, {"--expect", "3000,2000", "--vanish-after", "1000"}));
    ASSERT_TRUE(b.Start(4, expect));
    b.Map(4);
    EXPECT_EQ(b.s.RunCli({"-p", "COM1,COM2", "-p", "COM3", "-p", "com4"}, {}, Long), 1)
        << b.s.Cli.Err;

    // The receivers that worked got every byte and have the whole log.
    for (int n : {1, 4}) {
        EXPECT_EQ(b.Log("COM" + std::to_string(n)), b.FullLog()) << n;
        EXPECT_TRUE(SameBytes(b.SavedFile(n, 1), b.Font)) << n;
        EXPECT_TRUE(SameBytes(b.SavedFile(n, 2), b.Out)) << n;
        EXPECT_EQ(b.Transcript(n), "r\nl\nl\ns\n") << n;
    }
    const std::string refused = ExpectedLog()
                                    .Start(b.s.Path("font.app"))
                                    .Add(Texts::LogSendRestart)
                                    .Add(Texts::LogFoundStartUpControl)
                                    .Add(Texts::StatusSendingFile4)
                                    .Add(Texts::StatusFileSent)
                                    .Add(Texts::StatusWrong)
                                    .Restarted()
                                    .Bytes();
    EXPECT_EQ(b.Log("COM2"), refused) << ShowLog(b.Log("COM2"));
    EXPECT_EQ(b.Transcript(2), "r\nl\ns\n");
    // The vanished line ends its run by an error: no log, as for one receiver.
    EXPECT_FALSE(std::filesystem::exists(b.s.RunDir + "/COM3/" + Texts::UpdateLogFileName));
    EXPECT_TRUE(SameBytes(b.SavedFile(3, 1), b.Font.substr(0, 1000)));
    EXPECT_FALSE(b.s.LogExists());  // nothing in the working folder itself

    EXPECT_TRUE(Has(b.SummaryLine("COM1"), "Update OK")) << b.s.Cli.Out;
    EXPECT_TRUE(Has(b.SummaryLine("COM1"), "2/2")) << b.s.Cli.Out;
    EXPECT_TRUE(Has(b.SummaryLine("COM2"), "Update Error")) << b.s.Cli.Out;
    EXPECT_TRUE(Has(b.SummaryLine("COM2"), "0/2")) << b.s.Cli.Out;
    EXPECT_TRUE(Has(b.SummaryLine("COM3"), "Update Error")) << b.s.Cli.Out;
    EXPECT_TRUE(Has(b.SummaryLine("COM3"), "0/2")) << b.s.Cli.Out;
    EXPECT_TRUE(Has(b.SummaryLine("COM4"), "Update OK")) << b.s.Cli.Out;
    // Piped, every line before the summary names its port.
    std::istringstream lines(b.s.Cli.Out);
    for (std::string line; std::getline(lines, line) && line.rfind("Port ", 0) != 0;)
        EXPECT_TRUE(line.size() > 6 && line.rfind("COM", 0) == 0 && line[4] == ':') << line;
    EXPECT_TRUE(Has(b.s.Cli.Err, "COM3: " + std::string(Texts::ComErrorBoxText))) << b.s.Cli.Err;
    EXPECT_TRUE(Has(b.s.Cli.Err, "COM2: " + std::string(Texts::UpdateError))) << b.s.Cli.Err;
}

// A second Ctrl-C cancels every port's run between two blocks, as it does for one port.
TEST(BenchRun, TwoCtrlCsCancelEveryPort)
{
    Bench b;
    const std::string big = SampleFirmware(60000, 73);  // about 5 s at the line rate
    b.s.AddFile("font.app", big);
    for (int n : {1, 2})
        ASSERT_TRUE(b.Start(n, {"--rate", "11520"}));
    b.Map(2);
    ASSERT_TRUE(b.s.Cli.Start(CliPath(), {"-C", b.s.RunDir, "-p", "COM1,COM2"}, b.s.Env));
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(b.s.Cli.Signal(SIGINT));
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    EXPECT_EQ(b.s.Cli.Wait(Long), 130) << b.s.Cli.Err;
    EXPECT_TRUE(Has(b.s.Cli.Err, Texts::UpdateInProgress)) << b.s.Cli.Err;
    const std::string end = "\r\nUpdate cancelled by the user\r\nTerminated\r\n";
    for (int n : {1, 2}) {
        const std::string log = b.Log("COM" + std::to_string(n));
        EXPECT_TRUE(log.size() > end.size() &&
                    log.compare(log.size() - end.size(), end.size(), end) == 0)
            << ShowLog(log);
        // The receiver ends the file after its idle gap, once the bytes queued before the
        // cancel have drained at the line rate.
        const std::string saved = b.Receivers.at(n)->Saved + "/file-1.bin";
        for (int i = 0; i < 300 && !std::filesystem::exists(saved); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        b.Receivers.at(n)->Sim.Stop();
        const std::string received = b.SavedFile(n, 1);
        EXPECT_EQ(big.compare(0, received.size(), received), 0) << n;
        EXPECT_EQ(received.size() % 10, 0u) << received.size();
        EXPECT_LT(received.size(), big.size());
        EXPECT_EQ(b.Transcript(n), "r\nl\n") << n;  // no start command
    }
}

TEST(BenchRun, EachPortWaitsOnItsOwnAndAMissingOneIsExitTwo)
{
    Bench b;
    ASSERT_TRUE(b.Start(1, {"--expect", "3000,2000"}));
    b.Map(3);  // COM2 comes later, COM3 never
    ASSERT_TRUE(b.s.Cli.Start(CliPath(), {"-C", b.s.RunDir, "-p", "COM1,COM2,COM3", "--wait", "5"},
                              b.s.Env));
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    ASSERT_TRUE(b.Start(2, {"--expect", "3000,2000"}));
    EXPECT_EQ(b.s.Cli.Wait(Long), 2) << b.s.Cli.Err;
    EXPECT_EQ(b.Log("COM1"), b.FullLog());
    EXPECT_EQ(b.Log("COM2"), b.FullLog());
    EXPECT_TRUE(Has(b.SummaryLine("COM3"), "not opened")) << b.s.Cli.Out;
    EXPECT_TRUE(Has(b.s.Cli.Err, "COM3: no device appeared within 5 s")) << b.s.Cli.Err;
    EXPECT_FALSE(std::filesystem::exists(b.s.RunDir + "/COM3"));
}

TEST(BenchRun, JsonEventsNameTheirPortAndEachPortHasItsTrace)
{
    Bench b;
    ASSERT_TRUE(b.Start(1, {"--expect", "3000,2000"}));
    ASSERT_TRUE(b.Start(2, {"--expect", "3000,2000", "--verdict", "wrong"}));
    b.Map(2);
    const std::string trace = b.s.Dir + "/line";
    EXPECT_EQ(b.s.RunCli({"-p", "COM1,COM2", "--json", "--trace", trace}, {}, Long), 1)
        << b.s.Cli.Err;
    std::istringstream lines(b.s.Cli.Out);
    std::vector<std::string> events;
    for (std::string line; std::getline(lines, line);)
        events.push_back(line);
    ASSERT_GE(events.size(), 6u);
    std::map<std::string, int> ends;
    for (size_t i = 0; i + 1 < events.size(); ++i) {
        const std::string& e = events[i];
        EXPECT_TRUE(e.front() == '{' && e.back() == '}') << e;
        const bool one = Has(e, "\"port\":\"COM1\""), two = Has(e, "\"port\":\"COM2\"");
        EXPECT_TRUE(one != two) << e;  // every event names exactly one port
        if (Has(e, "\"event\":\"end\""))
            ++ends[one ? "COM1" : "COM2"];
    }
    EXPECT_EQ(ends["COM1"], 1);
    EXPECT_EQ(ends["COM2"], 1);
    EXPECT_TRUE(Has(b.s.Cli.Out, "\"exit\":1,\"log\":\"" + b.s.RunDir + "/COM2/logUpdate.txt\""))
        << b.s.Cli.Out;
    EXPECT_TRUE(Has(b.s.Cli.Out, "\"caption\":\"Corvalt\",\"event\":\"message\",\"port\":\"COM2\""))
        << b.s.Cli.Out;
    EXPECT_TRUE(Has(events.back(), "\"event\":\"summary\",\"exit\":1")) << events.back();
    // The logs are those of runs without the options.
    EXPECT_EQ(b.Log("COM1"), b.FullLog());
    EXPECT_TRUE(Has(ReadWholeFile(trace + ".COM1"), "END Update OK"));
    EXPECT_TRUE(Has(ReadWholeFile(trace + ".COM2"), "END Update Error"));
    EXPECT_FALSE(Has(ReadWholeFile(trace + ".COM1"), b.Font.substr(100, 40)));
}

size_t Count(const std::string& text, const std::string& part)
{
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

// Two ports loop side by side until Ctrl-C, which ends the session at once while both wait.
// COM1: three receivers in a row, each switched on after a pause (start-up output unasked).
// COM2: the first receiver refused once and stored on its retry; then the device is unplugged
// and the next one plugged in, refused twice: given up.
TEST(BenchRun, AProductionLineOfTwoPortsUntilCtrlC)
{
    Bench b;
    ASSERT_TRUE(b.Start(1, {"--expect", "3000,2000,3000,2000,3000,2000", "--runs", "3",
                            "--next-receiver", "8000"}));
    ASSERT_TRUE(b.Start(2, {"--expect", "3000,3000,2000,3000,3000", "--runs", "4", "--verdict",
                            "wrong,ok,wrong", "--replug", "7000"}));
    b.Map(2);
    ASSERT_TRUE(b.s.Cli.Start(CliPath(),
                              {"-C", b.s.RunDir, "-p", "COM1,COM2", "--loop", "--loop-quiet", "1",
                               "--retries", "1", "--json"},
                              b.s.Env));
    // Every attempt's record is on the disk before its run counts as ended, then the port waits.
    const std::string history = b.s.RunDir + "/zendrak-history.csv";
    for (int i = 0; i < 1800 && Count(ReadWholeFile(history), "\n") < 8; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const auto interrupted = std::chrono::steady_clock::now();
    ASSERT_TRUE(b.s.Cli.Signal(SIGINT));
    EXPECT_EQ(b.s.Cli.Wait(Long), 1) << b.s.Cli.Err;  // a receiver was given up
    EXPECT_LT(std::chrono::steady_clock::now() - interrupted, std::chrono::seconds(5));
    EXPECT_FALSE(Has(b.s.Cli.Err, Texts::UpdateInProgress)) << b.s.Cli.Err;

    // Each receiver got its files, and nothing was sent while a port waited.
    EXPECT_EQ(b.Transcript(1), "r\nl\nl\ns\nr\nl\nl\ns\nr\nl\nl\ns\n");
    EXPECT_EQ(b.Transcript(2), "r\nl\ns\nr\nl\nl\ns\nr\nl\ns\nr\nl\ns\n");
    EXPECT_EQ(b.Log("COM1"), b.FullLog());
    const std::string records = ReadWholeFile(history);
    EXPECT_EQ(Count(records, ",COM1,"), 3u) << records;
    EXPECT_EQ(Count(records, ",ok,,1,"), 3u) << records;  // COM1's three
    EXPECT_EQ(Count(records, ",error,refused,1,"), 2u) << records;
    EXPECT_EQ(Count(records, ",ok,,2,"), 1u) << records;
    EXPECT_EQ(Count(records, ",error,refused,2,"), 1u) << records;
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(b.s.RunDir + "/logs"),
                            std::filesystem::directory_iterator()),
              7);

    const std::string& events = b.s.Cli.Out;
    EXPECT_EQ(Count(events, "\"event\":\"waiting\""), 5u) << events;
    EXPECT_EQ(Count(events, "\"event\":\"retry\""), 2u) << events;
    EXPECT_EQ(Count(events, "\"event\":\"end\""), 7u) << events;
    EXPECT_TRUE(Has(events, "\"port\":\"COM1\",\"run\":3")) << events;
    // Each retry's start says why the attempt before failed.
    EXPECT_EQ(Count(events, "\"earlier\":[\"refused\"],\"empty\":[]"), 2u) << events;
    std::istringstream lines(events);
    std::string line, last;
    while (std::getline(lines, line))
        last = line;
    EXPECT_TRUE(Has(last, "\"event\":\"summary\",\"exit\":1")) << last;
    EXPECT_TRUE(Has(last, "{\"attempts\":3,\"failed\":0,\"port\":\"COM1\"")) << last;
    EXPECT_TRUE(Has(last, "{\"attempts\":4,\"failed\":1,\"port\":\"COM2\"")) << last;
}

struct DuplicateCase {
    const char* Name;
    std::vector<std::string> Ports;  // "@" stands for COM1's link
    const char* Error;
};

class BenchDuplicates : public testing::TestWithParam<DuplicateCase> {};

TEST_P(BenchDuplicates, RejectedBeforeAnythingIsSent)
{
    Bench b;
    ASSERT_TRUE(b.Start(1, {"--expect", "3000,2000"}));
    b.Map(1);
    std::vector<std::string> args;
    for (const std::string& port : GetParam().Ports)
        args.insert(args.end(), {"-p", port == "@" ? b.Receivers[1]->Link : port});
    EXPECT_EQ(b.s.RunCli(args), 2);
    EXPECT_TRUE(Has(b.s.Cli.Err, GetParam().Error)) << b.s.Cli.Err;
    EXPECT_EQ(b.s.Cli.Out, "");
    b.Receivers[1]->Sim.Stop();
    EXPECT_EQ(b.Transcript(1), "");
    EXPECT_FALSE(std::filesystem::exists(b.s.RunDir + "/COM1"));
}

INSTANTIATE_TEST_SUITE_P(
    Ports, BenchDuplicates,
    testing::Values(DuplicateCase{"SameNameTwice", {"COM1,COM2,COM1"}, "COM1 is named twice"},
                    DuplicateCase{"AnyCase", {"COM1", "com1"}, "COM1 is named twice"},
                    DuplicateCase{"NumberAndPath", {"COM1", "@"}, "are the same device"}),
    [](const testing::TestParamInfo<DuplicateCase>& info) { return info.param.Name; });

}  // namespace
