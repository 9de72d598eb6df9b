// SPDX-License-Identifier: MIT
// The worker on its own thread: it frees itself, reports its end through OnTerminate on the
// user-interface thread, and keeps an error that left its body as the fatal exception.
#include "EngineTestSupport.h"

#include "Exceptions.h"
#include "MainThread.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <fstream>

namespace {

int argc = 1;
char name[] = "engine_worker_tests";
char* argv[] = {name, nullptr};

QCoreApplication& App()
{
    static QCoreApplication app(argc, argv);
    return app;
}

class WorkerThread : public EngineTest {
protected:
    void SetUp() override
    {
        App();
        EngineTest::SetUp();
        Host.OpenPort(Line.SlavePath());
    }

    // Starts a worker, serves the event loop until its OnTerminate has run and it has freed
    // itself; returns the exception that left its body.
    std::exception_ptr RunWorker()
    {
        std::exception_ptr fatal;
        bool done = false;
        bool onMain = false;
        auto* worker = TThread::Create<TFirmThread>(true, Host);
        worker->OnTerminate = [&](TThread* sender) {
            fatal = sender->FatalException();
            onMain = IsMainThread();
            done = true;
        };
        worker->Start();
        QElapsedTimer timer;
        timer.start();
        while (!done && timer.elapsed() < 30000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        EXPECT_TRUE(done);
        EXPECT_TRUE(onMain);
        TThread::WaitForAll();  // FreeOnTerminate: the worker deletes itself
        return fatal;
    }

    Pty Line;
    FakeHost Host;
};

TEST_F(WorkerThread, RunWithoutFilesSendsNothingAndLogsTwoLines)
{
    std::ofstream(Dir / "logUpdate.txt", std::ios::binary) << "an earlier, longer log\r\nx\r\n";
    EXPECT_EQ(RunWorker(), nullptr);
    EXPECT_EQ(ReadFileBytes(Dir / "logUpdate.txt"), "Loading firmware\r\nTerminated\r\n");
    EXPECT_EQ(Line.ReadAvailable(std::chrono::milliseconds(300)), "");
    EXPECT_FALSE(Host.Succeeded());
    EXPECT_EQ(Host.Progress(), std::vector<int>{0});
    EXPECT_TRUE(Host.FileNameCalls().empty());
}

TEST_F(WorkerThread, LogThatCannotBeCreatedIsTheWorkersFatalError)
{
    std::filesystem::create_directory(Dir / "logUpdate.txt");
    const std::exception_ptr fatal = RunWorker();
    ASSERT_NE(fatal, nullptr);
    EXPECT_THROW(std::rethrow_exception(fatal), EFCreateError);
    EXPECT_TRUE(std::filesystem::is_directory(Dir / "logUpdate.txt"));
    EXPECT_FALSE(Host.Succeeded());
}

TEST_F(WorkerThread, StatusAndProgressReachTheHostOnTheMainThread)
{
    // A host that checks the thread of each synchronised call.
    struct CheckingHost : FakeHost {
        using FakeHost::FakeHost;
        void ShowStatusText(const std::string& text) override
        {
            if (!IsMainThread())
                offMain = true;
            FakeHost::ShowStatusText(text);
        }
        void SetUpdateSucceeded(bool succeeded) override
        {
            if (!IsMainThread())
                offMain = true;
            FakeHost::SetUpdateSucceeded(succeeded);
        }
        std::atomic<bool> offMain{false};
    };
    Pty line;
    CheckingHost host({{"/fw/font.app", PlainBytes(25)}});
    host.OpenPort(line.SlavePath());
    const std::string f = AsText(PlainBytes(25));
    ScriptedPeer peer(line, {{"r\r\n", {"Q9X-SUC\r\n"}}, {"l\r\n", {}}, {f, {"fin\r\n"}}});
    bool done = false;
    auto* worker = TThread::Create<TFirmThread>(true, host);
    worker->OnTerminate = [&](TThread*) { done = true; };
    worker->Start();
    QElapsedTimer timer;
    timer.start();
    while (!done && timer.elapsed() < 60000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    TThread::WaitForAll();
    ASSERT_TRUE(done);
    EXPECT_TRUE(host.Succeeded());
    EXPECT_FALSE(host.offMain);
    EXPECT_EQ(host.Statuses().back(), "Receiver starten");
    EXPECT_EQ(peer.Stop(), "r\r\nl\r\n" + f + "s\r\n");
}

}  // namespace
