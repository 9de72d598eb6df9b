// SPDX-License-Identifier: MIT
#include "MainThread.h"
#include "TThread.h"

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QElapsedTimer>

#include <pthread.h>

#include <atomic>
#include <stdexcept>
#include <system_error>
#include <thread>

namespace {

int argc = 1;
char name[] = "toolkit_tests";
char* argv[] = {name, nullptr};

QCoreApplication& App()
{
    static QCoreApplication app(argc, argv);
    return app;
}

// Runs the event loop until `done` or a generous deadline.
template <class Pred>
bool ServeUntil(Pred done, int ms = 10000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return done();
}

std::atomic<int> destroyed{0};

class ProbeThread : public TThread {
public:
    ProbeThread(bool suspended, std::function<void(ProbeThread&)> body)
        : TThread(suspended), Body(std::move(body))
    {
    }
    ~ProbeThread() override { ++destroyed; }
    using TThread::Synchronize;
    std::function<void(ProbeThread&)> Body;
    std::atomic<bool> Ran{false};

protected:
    void Execute() override
    {
        Ran = true;
        Body(*this);
    }
};

TEST(TThread, SynchronizeRunsOnTheMainThreadAndWaits)
{
    App();
    std::atomic<bool> onMain{false};
    std::atomic<int> order{0};
    std::atomic<bool> done{false};
    auto* t = TThread::Create<ProbeThread>(true, [&](ProbeThread& self) {
        self.Synchronize([&] {
            onMain = IsMainThread();
            order = 1;
        });
        if (order == 1)
            order = 2;
    });
    t->OnTerminate = [&](TThread*) { done = IsMainThread(); };
    t->Start();
    ASSERT_TRUE(ServeUntil([&] { return done.load(); }));
    t->WaitFor();
    EXPECT_TRUE(onMain);
    EXPECT_EQ(order, 2);
    delete t;
}

TEST(TThread, SynchronizeRaisesTheMethodsErrorInTheCaller)
{
    App();
    std::atomic<bool> caught{false};
    auto* t = TThread::Create<ProbeThread>(false, [&](ProbeThread& self) {
        try {
            self.Synchronize([] { throw std::runtime_error("boom"); });
        } catch (const std::runtime_error& e) {
            caught = std::string(e.what()) == "boom";
        }
    });
    t->WaitFor();
    EXPECT_TRUE(caught);
    delete t;
}

TEST(TThread, SuspendedThreadWaitsForStart)
{
    App();
    auto* t = TThread::Create<ProbeThread>(true, [](ProbeThread&) {});
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(t->Ran);
    t->Start();
    t->WaitFor();
    EXPECT_TRUE(t->Ran);
    delete t;
}

TEST(TThread, ErrorLeavingExecuteIsKeptAndOnTerminateStillRuns)
{
    App();
    std::atomic<bool> terminated{false};
    // Created suspended so that the done handler is attached before the body can end.
    auto* t = TThread::Create<ProbeThread>(true, [](ProbeThread&) { throw std::logic_error("x"); });
    t->OnTerminate = [&](TThread*) { terminated = true; };
    t->Start();
    t->WaitFor();
    EXPECT_TRUE(terminated);
    EXPECT_TRUE(t->FatalException());
    delete t;
}

TEST(TThread, FreeOnTerminateDeletesItselfAfterOnTerminate)
{
    App();
    const int before = destroyed;
    std::atomic<bool> terminated{false};
    auto* t = TThread::Create<ProbeThread>(true, [](ProbeThread& self) {
        self.FreeOnTerminate = true;
        self.Terminate();
        EXPECT_TRUE(self.Terminated());
    });
    t->OnTerminate = [&](TThread*) {
        EXPECT_EQ(destroyed, before);  // not yet gone while its done handler runs
        terminated = true;
    };
    t->Start();
    ASSERT_TRUE(ServeUntil([&] { return destroyed == before + 1; }));
    EXPECT_TRUE(terminated);
    TThread::WaitForAll();
}

// True when WaitForAll returns within a generous bound (it runs on a helper thread that is
// left behind, blocked, when it does not).
bool WaitForAllReturns()
{
    auto returned = std::make_shared<std::atomic<bool>>(false);
    std::thread([returned] {
        TThread::WaitForAll();
        *returned = true;
    }).detach();
    return ServeUntil([&] { return returned->load(); }, 20000);
}

TEST(TThread, AThreadThatCouldNotBeCreatedIsNotCountedAndCanStartLater)
{
    App();
    auto* t = TThread::Create<ProbeThread>(true, [](ProbeThread&) {});
    // A stack larger than the address space: creating the thread must fail.
    pthread_attr_t defaults;
    ASSERT_EQ(::pthread_getattr_default_np(&defaults), 0);
    pthread_attr_t huge;
    ASSERT_EQ(::pthread_attr_init(&huge), 0);
    ASSERT_EQ(::pthread_attr_setstacksize(&huge, size_t(1) << 60), 0);
    ASSERT_EQ(::pthread_setattr_default_np(&huge), 0);
    bool failed = false;
    try {
        t->Start();
    } catch (const std::system_error&) {
        failed = true;
    }
    ::pthread_setattr_default_np(&defaults);
    ::pthread_attr_destroy(&huge);
    ::pthread_attr_destroy(&defaults);
    if (!failed) {
        t->WaitFor();
        delete t;
        GTEST_SKIP() << "the thread was created all the same";
    }
    EXPECT_FALSE(t->Ran);
    EXPECT_TRUE(WaitForAllReturns());

    t->Start();  // it never existed, so it can still be started
    ASSERT_TRUE(ServeUntil([&] { return t->Ran.load(); }));
    t->WaitFor();
    delete t;
}

TEST(TThread, SelfFreeingThreadsWithoutDoneHandlerAreNotTouchedAfterTheirEnd)
{
    App();
    // Bodies that end at once: each object may be freed before Start has returned. Under
    // AddressSanitizer any use of a freed one is reported.
    const int before = destroyed;
    constexpr int Count = 200;
    for (int i = 0; i < Count; ++i)
        TThread::Create<ProbeThread>(false, [](ProbeThread& self) { self.FreeOnTerminate = true; });
    EXPECT_TRUE(WaitForAllReturns());
    EXPECT_EQ(destroyed, before + Count);
}

}  // namespace
