// SPDX-License-Identifier: MIT
// Whole sessions in one process: a group of sessions side by side, each against a scripted
// receiver on a pseudo-terminal, every way a run can end as one row of a table (outcome,
// cause, files stored, the log, the port problem, the warning, the exit status, what the
// receiver got); the same against two simulators; ports that wait for their device and a
// cancel that ends the wait at once; a production line of two ports (a loop started by hand,
// a retry that succeeds, the record of each attempt, the waits ended together).
#include "EngineTestSupport.h"
#include "ExitStatus.h"
#include "RunGroup.h"
#include "SimDriver.h"
#include "SystemTexts.h"

#include <gtest/gtest.h>

#include <unistd.h>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <set>

namespace fs = std::filesystem;

namespace {

const std::vector<uint8_t> Font = PlainBytes(600, 3);
const std::string F = AsText(Font);

// Keeps what a session said; cancels its run when it shows a given status text.
class Watcher : public SessionObserver {
public:
    void StatusText(const std::string& text) override
    {
        if (text == CancelAt && Cancel)
            Cancel();
    }
    void PortClaimed(const std::string& /*port*/, const std::string& /*device*/) override
    {
        Add("claimed");
    }
    void PortProblemFound(const PortProblem& problem) override
    {
        Add(std::string("problem ") + (problem.WhileOpening ? "opening" : "running"));
    }
    void Warning(const std::string& text) override { Add("warning " + text); }
    void RunFinished(const RunResult& result) override { Add("result " + result.Port); }
    void SessionEnds(const std::vector<RunResult>& results) override
    {
        Add("end " + std::to_string(results.size()));
    }
    std::vector<std::string> Events() const
    {
        std::lock_guard lock(Lock);
        return List;
    }

    std::string CancelAt;
    std::function<void()> Cancel;

private:
    void Add(const std::string& event)
    {
        std::lock_guard lock(Lock);
        List.push_back(event);
    }
    mutable std::mutex Lock;
    std::vector<std::string> List;
};

struct RunRow {
    const char* Name;
    std::vector<PeerStep> Script;
    // Set up before the run: gets the port's log folder.
    std::function<void(const fs::path& logFolder)> Prepare;
    std::string CancelAt;  // a status text at which the run is cancelled
    bool MissingDevice = false;
    RunResult::Outcome Outcome;
    RunCause Cause;
    int Stored;
    bool LogWritten;
    const char* Warning;  // a part of it; empty: none
    bool Problem;         // a port problem reported
    std::string Line;     // what the receiver got
};

const PeerStep Restart{"r\r\n", {"Q9X-SUC\r\n"}};
const PeerStep Load{"l\r\n", {}};
const PeerStep Stored{F, {"File OK!\r\n", "Write Sector\r\n", "ptImage->UnzipedCrc\r\n"}};
const PeerStep Start{"s\r\n", {}};

std::vector<RunRow> Rows()
{
    using O = RunResult::Outcome;
    const std::string all = "r\r\nl\r\n" + F + "s\r\n";
    return {
        {"Stored",
         {Restart, Load, Stored, Start},
         {},
         {},
         false,
         O::Ok,
         RunCause::None,
         1,
         true,
         "",
         false,
         all},
        {"Refused",
         {Restart, Load, {F, {"wrong\r\n"}}, Start},
         {},
         {},
         false,
         O::Error,
         RunCause::Refused,
         0,
         true,
         "",
         false,
         all},
        // The storing never ends: cut off by the group's bound on it.
        {"NotStored",
         {Restart, Load, {F, {"Write Sector 1\r\n", "Write Sector 2\r\n"}, "s\r\n"}, Start},
         {},
         {},
         false,
         O::Error,
         RunCause::NotStored,
         0,
         true,
         "",
         false,
         all},
        // The line goes after "l": the file send fails, then the start command; no log, and
        // that is said.
        {"LineGone",
         {Restart, {"l\r\n", {}, "", true}},
         {},
         {},
         false,
         O::Error,
         RunCause::LineLost,
         0,
         false,
         "no update log was written",
         true,
         "r\r\nl\r\n"},
        {"CancelledMidFile",
         {Restart, Load},
         {},
         Texts::StatusSendingFile4,
         false,
         O::Cancelled,
         RunCause::Cancelled,
         0,
         true,
         "",
         false,
         "r\r\nl\r\n"},
        // After the start command a cancel changes nothing but is said.
        {"CancelTooLate",
         {Restart, Load, Stored, Start},
         {},
         Texts::StatusStartingReceiver,
         false,
         O::Ok,
         RunCause::None,
         1,
         true,
         "the cancel came after the end",
         false,
         all},
        // Every file stored, the log cannot be written: still "Update OK", with a warning.
        {"LogMissing",
         {Restart, Load, Stored, Start},
         [](const fs::path& folder) {
             fs::create_directories(folder / Texts::UpdateLogFileName / "in-the-way");
         },
         {},
         false,
         O::Ok,
         RunCause::None,
         1,
         false,
         "the update log could not be written",
         false,
         all},
        // A link in place of the port's log folder: the port stops, nothing sent.
        {"LogFolderIsALink",
         {},
         [](const fs::path& folder) {
             fs::create_directory(folder.parent_path() / "elsewhere");
             fs::create_directory_symlink(folder.parent_path() / "elsewhere", folder);
         },
         {},
         false,
         O::NotOpened,
         RunCause::NotOpened,
         0,
         false,
         "",
         false,
         ""},
        {"NoDevice", {}, {}, {}, true, O::NotOpened, RunCause::NotOpened, 0, false, "", true, ""},
    };
}

// Every row is one port of one group: all run at once, each against its own receiver.
class SessionGroup : public EngineTest {};

TEST_F(SessionGroup, EveryWayARunEndsSideBySide)
{
    const std::vector<RunRow> rows = Rows();
    const fs::path work = Dir / "work";
    fs::create_directory(work);
    std::ofstream(work / "font.app", std::ios::binary) << F;

    std::vector<std::unique_ptr<Pty>> lines;
    std::vector<PortSpec> ports;
    for (const RunRow& row : rows) {
        lines.push_back(std::make_unique<Pty>());
        const std::string device =
            row.MissingDevice ? (Dir / "no-device").string() : lines.back()->SlavePath();
        ports.push_back(*PortSpec::Parse(device));
    }
    RunGroup group({work.string(), 0, std::chrono::seconds(3)});
    ASSERT_FALSE(group.TakeFolder());
    ASSERT_FALSE(group.ReadFiles());
    std::vector<std::unique_ptr<Watcher>> watchers;
    std::vector<SessionObserver*> observers;
    std::vector<std::unique_ptr<ScriptedPeer>> peers;
    for (size_t i = 0; i < rows.size(); ++i) {
        if (rows[i].Prepare)
            rows[i].Prepare(work / ports[i].FolderName());
        watchers.push_back(std::make_unique<Watcher>());
        watchers.back()->CancelAt = rows[i].CancelAt;
        watchers.back()->Cancel = [&group, i] { group.Cancel(i); };
        observers.push_back(watchers.back().get());
        peers.push_back(std::make_unique<ScriptedPeer>(*lines[i], rows[i].Script,
                                                       std::chrono::milliseconds(100)));
    }
    group.Start(ports, observers);
    group.Wait();
    const std::vector<RunResult> results = group.Results();
    ASSERT_EQ(results.size(), rows.size());

    for (size_t i = 0; i < rows.size(); ++i) {
        const RunRow& row = rows[i];
        const RunResult& r = results[i];
        SCOPED_TRACE(row.Name);
        EXPECT_EQ(r.Port, ports[i].Text());
        EXPECT_EQ(r.End, row.Outcome);
        EXPECT_EQ(r.Cause, row.Cause);
        EXPECT_EQ(r.CauseText.empty(), row.Cause == RunCause::None) << r.CauseText;
        EXPECT_EQ(r.FilesStored, row.Stored);
        EXPECT_EQ(r.Files, 1);
        const fs::path log = work / ports[i].FolderName() / Texts::UpdateLogFileName;
        EXPECT_EQ(r.LogPath, row.LogWritten ? log.string() : "");
        if (*row.Warning)
            EXPECT_NE(r.Warning.find(row.Warning), std::string::npos) << r.Warning;
        else
            EXPECT_EQ(r.Warning, "");
        EXPECT_EQ(r.Problem.has_value(), row.Problem);
        EXPECT_EQ(ExitStatusOf({r}), r.Ok()                                         ? 0
                                     : row.Outcome == RunResult::Outcome::NotOpened ? 2
                                                                                    : 1);
        EXPECT_EQ(peers[i]->Stop(), row.Line);
        // Each event once, the result last but the session's end.
        const std::vector<std::string> events = watchers[i]->Events();
        ASSERT_GE(events.size(), 2u);
        EXPECT_EQ(events[events.size() - 2], "result " + r.Port);
        EXPECT_EQ(events.back(), "end 1");
        EXPECT_LE(std::count(events.begin(), events.end(), "problem running"), 1);
    }
    // Nothing reached the folder a link pointed to.
    EXPECT_TRUE(fs::is_empty(work / "elsewhere"));
    EXPECT_FALSE(fs::exists(work / Texts::UpdateLogFileName));  // only per-port logs
    EXPECT_EQ(ExitStatusOf(results), ExitStatus::Usage);        // a port was not opened
    EXPECT_TRUE(Boxes.Texts().empty());  // nothing is shown from inside the sessions
}

// Keeps every call of a session as a line of text.
class Recorder : public SessionObserver {
public:
    void LogEntry(const std::string& entry) override { Add("log " + entry); }
    void FileBegins(const RunFile& file) override { Add("begin " + file.Path + " " + file.Sha256); }
    void FileEnds(const RunFile& file, int64_t written, bool complete) override
    {
        Add("end " + file.Path + " " + std::to_string(written) + (complete ? " complete" : ""));
    }
    void LineSent(const uint8_t* bytes, size_t count) override
    {
        Add("sent " + std::string(reinterpret_cast<const char*>(bytes), count));
    }
    void RunEnds(RunOutcome outcome, const std::string& logPath) override
    {
        Add(std::string(outcome == RunOutcome::Ok ? "ok " : "error ") + logPath);
    }
    void RunBegins(const RunPlan& plan, const RunIndex& index) override
    {
        Add("run " + std::to_string(index.Run) + "." + std::to_string(index.Attempt) + " " +
            plan.Port + " " + std::to_string(plan.Files.size()));
    }
    void PortClaimed(const std::string& port, const std::string& device) override
    {
        Add("claimed " + port + " " + device);
    }
    void RunFinished(const RunResult& result) override
    {
        Add(std::string("result ") + OutcomeKey(result.End) + " " + result.LogPath);
    }
    void RetryComing(const RunResult& /*failed*/, const RunIndex& next,
                     std::chrono::milliseconds /*pause*/) override
    {
        Add("retry " + std::to_string(next.Attempt) + " of " + std::to_string(next.Attempts));
    }
    void WaitingForNextReceiver(const std::string& /*port*/, const LineCounts& counts) override
    {
        Add("waiting " + std::to_string(counts.Updated) + " " + std::to_string(counts.Failed));
    }
    bool Heard(const std::string& call, int timeoutMs = 60000) const
    {
        for (int waited = 0; waited < timeoutMs; waited += 50) {
            const std::vector<std::string> calls = Calls();
            if (std::find(calls.begin(), calls.end(), call) != calls.end())
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }
    std::vector<std::string> Calls() const
    {
        std::lock_guard lock(Lock);
        return List;
    }

private:
    void Add(const std::string& call)
    {
        std::lock_guard lock(Lock);
        List.push_back(call);
    }
    mutable std::mutex Lock;
    std::vector<std::string> List;
};

// Two sessions side by side, each with two observers: every observer of a session hears the
// same events in the same order, and only its own session's.
TEST_F(SessionGroup, EachObserverHearsItsOwnRunInOrder)
{
    const fs::path work = Dir / "work";
    fs::create_directory(work);
    std::ofstream(work / "font.app", std::ios::binary) << F;
    RunGroup group({work.string(), 0, TFirmThread::DefaultWaitSavedLimit});
    ASSERT_FALSE(group.TakeFolder());
    ASSERT_FALSE(group.ReadFiles());
    Pty lines[2];
    Recorder first[2], second[2];
    SessionObservers both[2];
    std::vector<PortSpec> ports;
    std::vector<std::unique_ptr<ScriptedPeer>> peers;
    for (size_t i = 0; i < 2; ++i) {
        ports.push_back(*PortSpec::Parse(lines[i].SlavePath()));
        both[i].Add(first[i]);
        both[i].Add(second[i]);
        peers.push_back(std::make_unique<ScriptedPeer>(
            lines[i], std::vector<PeerStep>{Restart, Load, {F, {"fin\r\n"}}, Start}));
    }
    group.Start(ports, {&both[0], &both[1]});
    group.Wait();
    const std::string font = (work / "font.app").string();
    const std::string sha = group.Files().ToSend().at(0).Sha256;
    for (size_t i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        peers[i]->Stop();
        const std::string log = (work / ports[i].FolderName() / "logUpdate.txt").string();
        EXPECT_EQ(first[i].Calls(), second[i].Calls());
        const std::vector<std::string> expected = {
            "run 1.1 " + ports[i].Text() + " 1",
            "claimed " + ports[i].Text() + " " + ports[i].Text(),
            "log Loading firmware",
            "log Loading file: " + font,
            "sent r\r\n",
            "log SendRestart",
            "log Found StartUpControl",
            "sent l\r\n",
            "log Datei wird \xFC"
            "bertragen....",
            "begin " + font + " " + sha,
            "end " + font + " " + std::to_string(F.size()) + " complete",
            "log Datei vollst\xE4"
            "ndig \xFC"
            "bertragen",
            "log fin: Die Datei wurde geladen.",
            "log Alle Dateien wurden \xFC"
            "bertragen",
            "sent s\r\n",
            "log Receiver starten",
            "log Terminated",
            "ok " + log,
            "result ok " + log,
        };
        EXPECT_EQ(first[i].Calls(), expected);
        EXPECT_EQ(LogEntries(log).size(), 10u);
    }
    // Nothing in the process's current directory or the working folder itself.
    EXPECT_FALSE(fs::exists(Dir / "logUpdate.txt"));
    EXPECT_FALSE(fs::exists(work / "logUpdate.txt"));
}

// Two ports of a production line side by side. The first loops: its second receiver prints
// nothing new (its start-up marker comes within the quiet time) and is started by hand; the
// second port's first attempt is refused and its retry stored. Nothing is sent while a port
// waits, every attempt is recorded, and the waits end together only once no port runs.
TEST_F(SessionGroup, ALoopStartedByHandAndARetryThatSucceeds)
{
    const fs::path work = Dir / "work";
    fs::create_directory(work);
    std::ofstream(work / "font.app", std::ios::binary) << F;
    LineSettings line;
    line.Loop = true;
    line.LoopQuiet = std::chrono::seconds(30);
    line.Retries = 2;
    line.RetryPause = std::chrono::milliseconds(200);
    line.KeepRecord = true;
    RunGroup group({work.string(), 0, std::chrono::seconds(3), line});
    ASSERT_FALSE(group.TakeFolder());
    ASSERT_FALSE(group.ReadFiles());
    Pty lines[2];
    Recorder recorders[2];
    const std::vector<PeerStep> twice = {Restart, Load, Stored, Start,
                                         Restart, Load, Stored, Start};
    ScriptedPeer loop(lines[0], twice);
    ScriptedPeer retry(lines[1],
                       {Restart, Load, {F, {"wrong\r\n"}}, Start, Restart, Load, Stored, Start});
    const std::vector<PortSpec> ports = {*PortSpec::Parse(lines[0].SlavePath()),
                                         *PortSpec::Parse(lines[1].SlavePath())};
    group.Start(ports, {&recorders[0], &recorders[1]});
    EXPECT_FALSE(group.EndIfAllWaiting());  // the ports run

    ASSERT_TRUE(recorders[0].Heard("waiting 1 0"));
    // The updated receiver's own restart: within the quiet time, it starts nothing.
    lines[0].Write("\r\nLoader Q9X-SUC ready\r\n");
    std::this_thread::sleep_for(std::chrono::seconds(1));
    EXPECT_EQ(recorders[0].Calls().back(), "waiting 1 0");
    group.StartNextReceiver(0);
    ASSERT_TRUE(recorders[0].Heard("waiting 2 0"));
    ASSERT_TRUE(recorders[1].Heard("waiting 1 0"));
    EXPECT_TRUE(group.EndIfAllWaiting());
    group.Wait();

    const std::string run = "r\r\nl\r\n" + F + "s\r\n";
    EXPECT_EQ(loop.Stop(), run + run);  // nothing while waiting
    EXPECT_EQ(retry.Stop(), run + run);
    const std::vector<std::vector<RunResult>> all = group.AllResults();
    ASSERT_EQ(all.size(), 2u);
    ASSERT_EQ(all[0].size(), 2u);
    EXPECT_EQ(all[0][1].Run, 2);
    ASSERT_EQ(all[1].size(), 2u);
    EXPECT_EQ(all[1][0].Cause, RunCause::Refused);
    EXPECT_TRUE(all[1][1].Ok());
    EXPECT_EQ(all[1][1].Attempt, 2);
    EXPECT_EQ(all[1][1].Earlier, std::vector<RunCause>{RunCause::Refused});
    const std::vector<std::string> retried = recorders[1].Calls();
    EXPECT_EQ(std::count(retried.begin(), retried.end(), "retry 2 of 3"), 1);
    EXPECT_EQ(group.Counts(1).Updated, 1);
    EXPECT_EQ(group.Counts(1).Failed, 0);

    // One record line and one kept log per attempt, each log the bytes of that run's.
    const std::string history = ReadWholeFile((work / "zendrak-history.csv").string());
    EXPECT_EQ(std::count(history.begin(), history.end(), '\n'), 5) << history;
    EXPECT_NE(history.find(",error,refused,1,"), std::string::npos) << history;
    EXPECT_NE(history.find(",ok,,2,"), std::string::npos) << history;
    std::set<std::string> kept;
    for (const auto& port : all)
        for (const RunResult& r : port)
            kept.insert(r.KeptLog);
    EXPECT_EQ(kept.size(), 4u);
    EXPECT_EQ(std::distance(fs::directory_iterator(work / "logs"), fs::directory_iterator()), 4);
    EXPECT_EQ(ReadWholeFile((work / all[1][1].KeptLog).string()), ReadWholeFile(all[1][1].LogPath));
}

// Two simulated receivers at once: their logs, each in its port's folder, byte for byte.
TEST(SessionSimulators, TwoReceiversAtOnce)
{
    const std::string work = MakeTempDir();
    const std::string font = SampleFirmware(2500, 81);
    WriteWholeFile(work + "/font.app", font);
    SimDriver sims[2];
    std::vector<PortSpec> ports;
    for (SimDriver& sim : sims) {
        ASSERT_TRUE(sim.Start({"--expect", "2500"}));
        ports.push_back(*PortSpec::Parse(sim.SlavePath));
    }
    RunGroup group({work, 0, TFirmThread::DefaultWaitSavedLimit});
    ASSERT_FALSE(group.TakeFolder());
    ASSERT_FALSE(group.ReadFiles());
    Watcher first, second;
    group.Start(ports, {&first, &second});
    group.Wait();
    const std::vector<RunResult> results = group.Results();
    ASSERT_EQ(results.size(), 2u);
    const std::string expected = "Loading firmware\r\nLoading file: " + work +
                                 "/font.app\r\nSendRestart\r\nFound StartUpControl\r\n";
    for (size_t i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        EXPECT_TRUE(results[i].Ok()) << results[i].CauseText;
        EXPECT_EQ(results[i].FilesStored, 1);
        const std::string log = ReadWholeFile(results[i].LogPath);
        EXPECT_EQ(log.rfind(expected, 0), 0u) << log;
        EXPECT_NE(log.find("Alle Dateien wurden \xFC"
                           "bertragen\r\nReceiver starten\r\nTerminated\r\n"),
                  std::string::npos);
        EXPECT_EQ(sims[i].Wait(15000), 0);
        EXPECT_TRUE(SameBytes(sims[i].SavedFile(1), font));
        EXPECT_EQ(sims[i].Transcript(), "r\nl\ns\n");
    }
    EXPECT_EQ(ExitStatusOf(results), ExitStatus::Ok);
    RemoveTree(work);
}

// Ports that wait for their device: one comes late and runs; a cancel ends the others' wait
// at once, with nothing sent and no folder made.
TEST(SessionWaiting, ADeviceThatComesLateAndACancelThatEndsTheWait)
{
    const std::string work = MakeTempDir();
    const std::string devices = MakeTempDir();
    WriteWholeFile(work + "/font.app", SampleFirmware(300, 82));
    const std::string late = devices + "/late-tty";
    std::vector<PortSpec> ports = {*PortSpec::Parse(late), *PortSpec::Parse(devices + "/never-a"),
                                   *PortSpec::Parse(devices + "/never-b")};
    RunGroup group({work, 600, TFirmThread::DefaultWaitSavedLimit});
    ASSERT_FALSE(group.TakeFolder());
    ASSERT_FALSE(group.ReadFiles());
    Watcher watchers[3];
    SimDriver sim;
    group.Start(ports, {&watchers[0], &watchers[1], &watchers[2]});
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    ASSERT_TRUE(sim.Start({"--expect", "300", "--link", late}));
    // Cancel once the late receiver's run is under way: every wait ends at once.
    for (int i = 0; i < 200 && watchers[0].Events().empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const auto cancelled = std::chrono::steady_clock::now();
    group.CancelAll();
    group.Wait();
    EXPECT_LT(std::chrono::steady_clock::now() - cancelled, std::chrono::seconds(10));
    const std::vector<RunResult> results = group.Results();
    ASSERT_EQ(results.size(), 3u);
    EXPECT_EQ(results[0].End, RunResult::Outcome::Cancelled)  // it had begun: stopped
        << results[0].CauseText;
    for (size_t i : {1, 2}) {
        EXPECT_EQ(results[i].End, RunResult::Outcome::Cancelled) << i;
        EXPECT_EQ(results[i].Files, 1) << i;  // the set it would have sent
        EXPECT_EQ(watchers[i].Events(),
                  (std::vector<std::string>{"result " + ports[i].Text(), "end 1"}))
            << i;
        EXPECT_FALSE(fs::exists(work + "/" + ports[i].FolderName())) << i;
    }
    EXPECT_EQ(ExitStatusOf(results, SIGINT), 130);
    RemoveTree(work);
    RemoveTree(devices);
}

}  // namespace
