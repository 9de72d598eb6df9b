// SPDX-License-Identifier: MIT
// A run as an object: two runs in one process, each in its own folder with its own port,
// report to their own observers and write their own logs; one run reports to several.
#include "EngineTestSupport.h"

#include "UpdateRun.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <fstream>
#include <mutex>

namespace {

int argc = 1;
char name[] = "engine_run_object_tests";
char* argv[] = {name, nullptr};

// Keeps every call as a line of text.
class Recorder : public RunObserver {
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

class RunObject : public EngineTest {
protected:
    void SetUp() override
    {
        static QCoreApplication app(argc, argv);
        EngineTest::SetUp();
    }
};

TEST_F(RunObject, TwoRunsSideBySideReportToTheirOwnObservers)
{
    struct Side {
        std::filesystem::path Folder;
        std::vector<uint8_t> Bytes;
        Pty Line;
        std::unique_ptr<UpdateRun> Run;
        Recorder First, Second;
        std::unique_ptr<ScriptedPeer> Peer;
        bool Done = false;
    } sides[2];
    for (int i = 0; i < 2; ++i) {
        Side& side = sides[i];
        side.Folder = Dir / ("run" + std::to_string(i));
        std::filesystem::create_directory(side.Folder);
        side.Bytes = PlainBytes(40 + 30 * static_cast<size_t>(i), static_cast<uint8_t>(i + 1));
        std::ofstream(side.Folder / "font.app", std::ios::binary) << AsText(side.Bytes);
        side.Run = std::make_unique<UpdateRun>(side.Folder.string());
        ASSERT_TRUE(side.Run->ReadFiles());
        side.Run->Observers.Add(side.First);
        side.Run->Observers.Add(side.Second);
        side.Run->Port.PortName = side.Line.SlavePath();
        side.Run->Port.SetBaudRate(115200);
        side.Run->Port.OpenCommPort();
        side.Peer = std::make_unique<ScriptedPeer>(
            side.Line, std::vector<PeerStep>{{"r\r\n", {"Q9X-SUC\r\n"}},
                                             {"l\r\n", {}},
                                             {AsText(side.Bytes), {"fin\r\n"}},
                                             {"s\r\n", {}}});
    }
    for (Side& side : sides) {
        auto* worker = TThread::Create<TFirmThread>(true, *side.Run);
        worker->OnTerminate = [&side](TThread*) { side.Done = true; };
        worker->Start();
    }
    QElapsedTimer timer;
    timer.start();
    while (!(sides[0].Done && sides[1].Done) && timer.elapsed() < 60000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    TThread::WaitForAll();

    for (Side& side : sides) {
        ASSERT_TRUE(side.Done);
        side.Run->Port.CloseCommPort();
        side.Peer->Stop();
        const std::string font = side.Run->Folder() + "/font.app";
        const std::string log = side.Run->Folder() + "/logUpdate.txt";
        const std::vector<std::string> calls = side.First.Calls();
        EXPECT_EQ(calls, side.Second.Calls());  // every observer of a run hears the same
        const std::vector<std::string> expected = {
            "log Loading firmware",
            "log Loading file: " + font,
            "sent r\r\n",
            "log SendRestart",
            "log Found StartUpControl",
            "sent l\r\n",
            "log Datei wird \xFC"
            "bertragen....",
            "begin " + font + " " + side.Run->FilesToSend().at(0).Sha256,
            "end " + font + " " + std::to_string(side.Bytes.size()) + " complete",
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
        };
        EXPECT_EQ(calls, expected);
        // The log is in the run's folder, not in the process's current directory.
        EXPECT_EQ(LogEntries(log).size(), 10u);
    }
    EXPECT_FALSE(std::filesystem::exists(Dir / "logUpdate.txt"));
}

}  // namespace
