// SPDX-License-Identifier: MIT
// Whole update runs against a scripted receiver: each way the dialogue can go, with the exact
// log, the exact bytes on the line and the outcome.
#include "RunTestSupport.h"

#include "Exceptions.h"

#include <fstream>

namespace {

const std::vector<uint8_t> Font = PlainBytes(25, 1);
const std::vector<uint8_t> Decoder = PlainBytes(13, 2);
const std::string F = AsText(Font);
const std::string D = AsText(Decoder);

struct Scenario {
    const char* Name;
    std::vector<PeerStep> Script;
    std::vector<std::string> Log;  // after "Loading firmware" and "Loading file: "
    std::string Line;              // what the worker sent
    bool Succeeded;
};

// Test names, not bytes, in listings.
void PrintTo(const Scenario& s, std::ostream* os)
{
    *os << s.Name;
}

std::vector<Scenario> Scenarios()
{
    using namespace Expect;
    return {
        {"StartUpControlThenStoredFile",
         {{"r\r\n", {"boot 2.1\r\nQ9X-SUC ready\r\n"}},
          {"l\r\n", {}},
          {F, {"File OK!\r\n", "Write Sector 1 of 1\r\n", "ptImage->UnzipedCrc = 0x1234\r\n"}},
          {"s\r\n", {"starting\r\n"}}},
         {SendRestart, FoundStartUpControl, Sending, Sent, Accepted, Saving, Saved, AllSent,
          Starting, Terminated},
         "r\r\nl\r\n" + F + "s\r\n",
         true},
        {"StartUpControlWinsOverTheMenuInOneBurst",
         {{"r\r\n", {"1 LOAD  APP\r\n2 Q9X-SUC\r\n"}},
          {"l\r\n", {}},
          {F, {"fin\r\n"}},
          {"s\r\n", {}}},
         {SendRestart, FoundStartUpControl, Sending, Sent, Fin, AllSent, Starting, Terminated},
         "r\r\nl\r\n" + F + "s\r\n",
         true},
        {"StartMenu",
         {{"r\r\n", {"1 LOAD  APP\r\n"}}, {"l\r\n", {}}, {F, {"fin\r\n"}}, {"s\r\n", {}}},
         {SendRestart, Connected, Sending, Sent, Fin, AllSent, Starting, Terminated},
         "r\r\nl\r\n" + F + "s\r\n",
         true},
        {"BinaryPromptTakesTheFileWithoutLoad",
         {{"r\r\n", {"Send file in binary mode\r\n"}}, {F, {"fin\r\n"}}, {"s\r\n", {}}},
         {SendRestart, "Send file", Sent, Fin, AllSent, Starting, Terminated},
         "r\r\n" + F + "s\r\n",
         true},
        {"DefaultChannelListRestartsAgain",
         {{"r\r\n", {"Default ChannelList written\r\n"}},
          {"r\r\n", {"Q9X-SUC\r\n"}},
          {"l\r\n", {}},
          {F, {"fin\r\n"}},
          {"s\r\n", {}}},
         {SendRestart, "Init Default Channellist -> restart now", SendRestart, FoundStartUpControl,
          Sending, Sent, Fin, AllSent, Starting, Terminated},
         "r\r\nr\r\nl\r\n" + F + "s\r\n",
         true},
        {"ExitToMainMenuAsksForTheLoaderAgain",
         {{"r\r\n", {"100 Exit to Main Menu\r\n"}},
          {"l\r\n", {"1 LOAD  APP\r\n"}},
          {"l\r\n", {}},
          {F, {"fin\r\n"}},
          {"s\r\n", {}}},
         {SendRestart, "send 100 to Exit to Main Menu", Initialisation, Connected, Sending, Sent,
          Fin, AllSent, Starting, Terminated},
         "r\r\nl\r\nl\r\n" + F + "s\r\n",
         true},
        {"FinInsideAWordIsTheVerdict",
         {{"r\r\n", {"Q9X-SUC\r\n"}}, {"l\r\n", {}}, {F, {"#define OK\r\n"}}, {"s\r\n", {}}},
         {SendRestart, FoundStartUpControl, Sending, Sent, Fin, AllSent, Starting, Terminated},
         "r\r\nl\r\n" + F + "s\r\n",
         true},
        {"FileRefused",
         {{"r\r\n", {"Q9X-SUC\r\n"}},
          {"l\r\n", {}},
          {F, {"File OK!\r\n", "wrong crc\r\n"}},
          {"s\r\n", {}}},
         {SendRestart, FoundStartUpControl, Sending, Sent, Accepted, Wrong, Starting, Terminated},
         "r\r\nl\r\n" + F + "s\r\n",
         false},
        {"VerdictPrintedBeforeTheFileCounts",
         {{"r\r\n", {"Q9X-SUC\r\n"}}, {"l\r\n", {"fin\r\n"}}, {F, {}}, {"s\r\n", {}}},
         {SendRestart, FoundStartUpControl, Sending, Sent, Fin, AllSent, Starting, Terminated},
         "r\r\nl\r\n" + F + "s\r\n",
         true},
        {"UnrecognisedOutputThenSilenceSendsLoad",
         {{"r\r\n", {"garbage\r\n"}},
          {"l\r\n", {"1 LOAD  APP\r\n"}},
          {"l\r\n", {}},
          {F, {"fin\r\n"}},
          {"s\r\n", {}}},
         {SendRestart, "Try 100 again 1", "Bitte warten... 1", Initialisation, Connected, Sending,
          Sent, Fin, AllSent, Starting, Terminated},
         "r\r\nl\r\nl\r\n" + F + "s\r\n",
         true},
    };
}

class Scenarios1 : public UpdateRunTest, public ::testing::WithParamInterface<Scenario> {};

TEST_P(Scenarios1, LogLineAndOutcome)
{
    const Scenario& s = GetParam();
    Host.Files = {{FontName, Font}};
    const std::string line = Run(s.Script);
    std::vector<std::string> log = {Expect::LoadingFirmware, "Loading file: " + FontName};
    log.insert(log.end(), s.Log.begin(), s.Log.end());
    EXPECT_EQ(Log(), log);
    EXPECT_EQ(line, s.Line);
    EXPECT_EQ(Host.Succeeded(), s.Succeeded);
    EXPECT_TRUE(Boxes.Texts().empty());
}

INSTANTIATE_TEST_SUITE_P(OneFile, Scenarios1, ::testing::ValuesIn(Scenarios()),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST_F(UpdateRunTest, SuccessfulRunWritesItsLogByteForByte)
{
    Host.Files = {{FontName, Font}};
    Run({{"r\r\n", {"Q9X-SUC\r\n"}},
         {"l\r\n", {}},
         {F, {"File OK!\r\n", "Write Sector 1\r\n", "ptImage->UnzipedCrc\r\n"}},
         {"s\r\n", {}}});
    EXPECT_EQ(ReadFileBytes(Dir / "logUpdate.txt"),
              "Loading firmware\r\nLoading file: /fw/font.app\r\nSendRestart\r\n"
              "Found StartUpControl\r\nDatei wird \xFC"
              "bertragen....\r\n"
              "Datei vollst\xE4ndig \xFC"
              "bertragen\r\nDatei wurde \xFC"
              "bernommen\r\n"
              "Datei wird gespeichert\r\nSpeichern beendet\r\n"
              "Alle Dateien wurden \xFC"
              "bertragen\r\nReceiver starten\r\nTerminated\r\n");
    EXPECT_EQ(Host.Progress(), (std::vector<int>{36, 72, 84, 88, 92, 96, 100, 0}));
    EXPECT_EQ(Host.Statuses(), (std::vector<std::string>{
                                   Expect::Sending, Expect::Sent, Expect::Accepted, Expect::Saving,
                                   Expect::Saved, Expect::AllSent, Expect::Starting}));
    EXPECT_EQ(Host.FileNameCalls(), std::vector<std::string>{FontName});
    EXPECT_TRUE(Host.Succeeded());
}

TEST_F(UpdateRunTest, TwoFilesEachWithItsOwnLoadAndProgress)
{
    Host.Files = {{FontName, Font}, {DecoderName, Decoder}};
    const std::string line = Run({{"r\r\n", {"1 LOAD  APP\r\n"}},
                                  {"l\r\n", {}},
                                  {F, {"fin\r\n"}},
                                  {"l\r\n", {}},
                                  {D, {"Write Sector\r\n", "ptImage->UnzipedCrc\r\n"}},
                                  {"s\r\n", {}}});
    using namespace Expect;
    EXPECT_EQ(Log(), (std::vector<std::string>{LoadingFirmware, "Loading file: " + FontName,
                                               SendRestart, Connected, Sending, Sent, Fin,
                                               "Next file: " + DecoderName, Sending, Sent, Saving,
                                               Saved, AllSent, Starting, Terminated}));
    EXPECT_EQ(line, "r\r\nl\r\n" + F + "l\r\n" + D + "s\r\n");
    EXPECT_EQ(Host.Progress(), (std::vector<int>{36, 72, 84, 88, 92, 96, 100, 69, 84, 92, 100, 0}));
    EXPECT_EQ(Host.FileNameCalls(), (std::vector<std::string>{FontName, DecoderName}));
    EXPECT_TRUE(Host.Succeeded());
}

TEST_F(UpdateRunTest, UnrecognisedOutputCountsOverAllFilesOfTheRun)
{
    // 45 unrecognised bursts for the first file and 25 for the second pass the limit of 60
    // only when the count runs on from the first file.
    Host.Files = {{FontName, Font}, {DecoderName, Decoder}};
    std::vector<std::string> first(45, "noise\r\n");
    first.push_back("fin\r\n");
    std::vector<std::string> second(25, "noise\r\n");
    second.push_back("fin\r\n");
    const std::string line =
        Run({{"r\r\n", {"Q9X-SUC\r\n"}}, {"l\r\n", {}}, {F, first}, {"l\r\n", {}}, {D, second}});
    using namespace Expect;
    EXPECT_EQ(Log(), (std::vector<std::string>{LoadingFirmware, "Loading file: " + FontName,
                                               SendRestart, FoundStartUpControl, Sending, Sent, Fin,
                                               "Next file: " + DecoderName, Sending, Sent,
                                               "readStuff > 60", Terminated}));
    EXPECT_EQ(line, "r\r\nl\r\n" + F + "l\r\n" + D);  // no start command
    EXPECT_FALSE(Host.Succeeded());
}

TEST_F(UpdateRunTest, UnrecognisedOutputWhileConnectingAsksOnceMoreThenEnds)
{
    Host.Files = {{FontName, Font}};
    const std::vector<std::string> garbage(60, "garbage\r\n");
    const std::string line =
        Run({{"r\r\n", garbage}, {"l\r\n", {"more garbage\r\n"}}}, std::chrono::milliseconds(120));
    EXPECT_EQ(Log(), (std::vector<std::string>{Expect::LoadingFirmware, "Loading file: " + FontName,
                                               Expect::SendRestart, "readStuff == 59, try 100",
                                               Expect::Initialisation, "readstuff > 60",
                                               Expect::Terminated}));
    EXPECT_EQ(line, "r\r\nl\r\n");  // no start command
    EXPECT_FALSE(Host.Succeeded());
}

TEST_F(UpdateRunTest, ReceiverAnsweringEveryLoadWithFlashEndsAfterSixtyAnswers)
{
    Host.Files = {{FontName, Font}};
    std::vector<PeerStep> script = {{"r\r\n", {"Flash ok\r\n"}}};
    for (int i = 1; i < 60; ++i)
        script.push_back({"l\r\n", {"Flash ok\r\n"}});
    const std::string line = Run(script, std::chrono::milliseconds(50));
    std::vector<std::string> log = {Expect::LoadingFirmware, "Loading file: " + FontName,
                                    Expect::SendRestart, Expect::FoundFlash};
    for (int i = 1; i < 60; ++i) {
        log.push_back(Expect::Initialisation);
        log.push_back(Expect::FoundFlash);
    }
    log.push_back("readstuff > 60");
    log.push_back(Expect::Terminated);
    EXPECT_EQ(Log(), log);
    std::string expectedLine = "r\r\n";
    for (int i = 1; i < 60; ++i)
        expectedLine += "l\r\n";
    EXPECT_EQ(line, expectedLine);  // no start command
    EXPECT_FALSE(Host.Succeeded());
}

TEST_F(UpdateRunTest, ConnectMarkerBetweenFlashAnswersStartsTheCountAgain)
{
    Host.Files = {{FontName, Font}};
    std::vector<PeerStep> script = {{"r\r\n", {"Flash ok\r\n"}}};
    for (int i = 1; i < 59; ++i)
        script.push_back({"l\r\n", {"Flash ok\r\n"}});
    script.push_back({"l\r\n", {"100 Exit to Main Menu\r\n"}});
    script.push_back({"l\r\n", {"Flash ok\r\n"}});
    script.push_back({"l\r\n", {"1 LOAD  APP\r\n"}});
    script.push_back({"l\r\n", {}});
    script.push_back({F, {"fin\r\n"}});
    script.push_back({"s\r\n", {}});
    Run(script, std::chrono::milliseconds(50));
    const std::vector<std::string> log = Log();
    EXPECT_EQ(std::count(log.begin(), log.end(), Expect::FoundFlash), 60);
    EXPECT_EQ(std::count(log.begin(), log.end(), "readstuff > 60"), 0);
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(log[log.size() - 3], Expect::AllSent);
    EXPECT_TRUE(Host.Succeeded());
}

TEST_F(UpdateRunTest, StoringThatNeverEndsIsCutOffByTime)
{
    Host.Files = {{FontName, Font}};
    PeerStep storing{F, {"Write Sector 1\r\n", "Write Sector 2\r\n"}, "s\r\n"};
    const std::string line = Run({{"r\r\n", {"Q9X-SUC\r\n"}}, {"l\r\n", {}}, storing},
                                 std::chrono::milliseconds(200), std::chrono::seconds(2));
    using namespace Expect;
    EXPECT_EQ(Log(), (std::vector<std::string>{LoadingFirmware, "Loading file: " + FontName,
                                               SendRestart, FoundStartUpControl, Sending, Sent,
                                               Saving, ReadError, Starting, Terminated}));
    EXPECT_EQ(line, "r\r\nl\r\n" + F + "s\r\n");
    EXPECT_FALSE(Host.Succeeded());
}

// What the run tells its observer of port errors and of its end.
struct PortErrorRecorder : RunObserver {
    void PortError(const ECommError& error) override { Codes.push_back(error.Code); }
    void RunEnds(RunOutcome outcome, const std::string& logPath) override
    {
        Outcomes.push_back(outcome);
        LogPaths.push_back(logPath);
    }
    std::vector<int> Codes;
    std::vector<RunOutcome> Outcomes;
    std::vector<std::string> LogPaths;
};

TEST_F(UpdateRunTest, PortErrorOnTheStartCommandLeavesSuccessAndNoLog)
{
    std::ofstream(Dir / "logUpdate.txt", std::ios::binary) << "earlier run\r\n";
    Host.Files = {{FontName, Font}};
    PortErrorRecorder told;
    Host.Watcher = &told;
    TestableFirmThread worker(true, Host);
    {
        ScriptedPeer peer(
            Line,
            {{"r\r\n", {"Q9X-SUC\r\n"}}, {"l\r\n", {}}, {F, {"fin\r\n"}, "", /*CloseAfter=*/true}});
        EXPECT_THROW(worker.RunUpdate(), ECommError);
    }
    EXPECT_TRUE(Host.Succeeded());
    ASSERT_NE(worker.UpdateLog, nullptr);
    EXPECT_EQ(worker.UpdateLog->Strings.back(), Expect::AllSent);
    EXPECT_EQ(ReadFileBytes(Dir / "logUpdate.txt"), "earlier run\r\n");
    EXPECT_TRUE(Boxes.Texts().empty());  // the front end tells the user
    // Every file was stored: the run ends as a success all the same, with no log.
    EXPECT_EQ(told.Codes, std::vector<int>{9});
    EXPECT_EQ(told.Outcomes, std::vector<RunOutcome>{RunOutcome::Ok});
    EXPECT_EQ(told.LogPaths, std::vector<std::string>{""});
}

TEST_F(UpdateRunTest, LineGoneDuringTheFileFailsTheSendThenTheStartCommand)
{
    std::ofstream(Dir / "logUpdate.txt", std::ios::binary) << "earlier run\r\n";
    Host.Files = {{FontName, PlainBytes(5000)}};
    PortErrorRecorder told;
    Host.Watcher = &told;
    TestableFirmThread worker(true, Host);
    {
        ScriptedPeer peer(Line, {{"r\r\n", {"Q9X-SUC\r\n"}}, {"l\r\n", {}, "", true}});
        EXPECT_THROW(worker.RunUpdate(), ECommError);
    }
    ASSERT_NE(worker.UpdateLog, nullptr);
    EXPECT_EQ(worker.UpdateLog->Strings.back(), "SendDataToPort error");
    EXPECT_FALSE(Host.Succeeded());
    EXPECT_EQ(ReadFileBytes(Dir / "logUpdate.txt"), "earlier run\r\n");
    // Neither the failed file write nor the start command shows a box of its own: both go to
    // the observer, which tells the user once.
    EXPECT_TRUE(Boxes.Texts().empty());
    EXPECT_EQ(told.Codes, (std::vector<int>{9, 9}));
    EXPECT_EQ(told.Outcomes, std::vector<RunOutcome>{RunOutcome::Error});
}

TEST_F(UpdateRunTest, ReadFailureEndsTheRunWithoutLog)
{
    Host.Files = {{FontName, Font}};
    TestableFirmThread worker(true, Host);
    {
        ScriptedPeer peer(Line, {{"r\r\n", {}, "", true}});
        EXPECT_THROW(worker.RunUpdate(), ECommError);
    }
    EXPECT_FALSE(std::filesystem::exists(Dir / "logUpdate.txt"));
    EXPECT_EQ(worker.UpdateLog->Strings.back(), Expect::SendRestart);
    EXPECT_FALSE(Host.Succeeded());
}

TEST_F(UpdateRunTest, LogThatCannotBeWrittenLeavesTheRunAfterSuccess)
{
    std::filesystem::create_directory(Dir / "logUpdate.txt");
    Host.Files = {{FontName, Font}};
    TestableFirmThread worker(true, Host);
    {
        ScriptedPeer peer(Line, {{"r\r\n", {"Q9X-SUC\r\n"}}, {"l\r\n", {}}, {F, {"fin\r\n"}}});
        EXPECT_THROW(worker.RunUpdate(), EFCreateError);
    }
    EXPECT_TRUE(Host.Succeeded());
    EXPECT_FALSE(worker.Terminated());
    ASSERT_NE(worker.UpdateLog, nullptr);
    EXPECT_EQ(worker.UpdateLog->Strings.back(), Expect::Terminated);
    EXPECT_TRUE(std::filesystem::is_directory(Dir / "logUpdate.txt"));
}

}  // namespace
