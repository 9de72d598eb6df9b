// SPDX-License-Identifier: MIT
#include "TThread.h"

#include "MainThread.h"

#include <QCoreApplication>
#include <chrono>
#include <memory>

namespace {

std::mutex liveMutex;
std::condition_variable liveChanged;
int liveThreads = 0;

}  // namespace

// Holds a new thread's body back until Start has stored its handle.
class TThread::StartGate {
public:
    void Open()
    {
        std::lock_guard lock(Mutex);
        IsOpen = true;
        Changed.notify_all();
    }
    void Wait()
    {
        std::unique_lock lock(Mutex);
        Changed.wait(lock, [this] { return IsOpen; });
    }

private:
    std::mutex Mutex;
    std::condition_variable Changed;
    bool IsOpen = false;
};

TThread::TThread(bool /*createSuspended*/) {}

TThread::~TThread()
{
    if (Thread.joinable()) {
        if (Thread.get_id() == std::this_thread::get_id())
            Thread.detach();  // freeing itself at the end of its own body
        else
            Thread.join();
    }
}

void TThread::Start()
{
    if (Started.exchange(true))
        return;
    // The body waits at this gate until the handle is stored: a thread that frees itself could
    // otherwise be gone while std::thread is still being moved into it. The gate is shared, so
    // neither side touches the other's memory to pass it.
    auto gate = std::make_shared<StartGate>();
    try {
        Thread = std::thread([this, gate] {
            gate->Wait();
            Run();
        });
    } catch (...) {
        Started = false;  // no thread exists: nothing to count, nothing to wait for
        throw;
    }
    {
        std::lock_guard lock(liveMutex);
        ++liveThreads;  // counted once it exists, before its body can end
    }
    gate->Open();  // from here on the thread may have freed itself: touch nothing of it
}

void TThread::Run()
{
    try {
        Execute();
    } catch (...) {
        Fatal = std::current_exception();
    }
    try {
        DoTerminate();
    } catch (...) {
        // An error of the done handler has nowhere to go on this thread; keep the first one.
        if (!Fatal)
            Fatal = std::current_exception();
    }
    if (FreeOnTerminate) {
        delete this;
    } else {
        std::lock_guard lock(FinishedMutex);
        Finished = true;
        FinishedChanged.notify_all();
    }
    std::lock_guard lock(liveMutex);
    --liveThreads;
    liveChanged.notify_all();
}

void TThread::DoTerminate()
{
    if (OnTerminate)
        Synchronize([this] { OnTerminate(this); });
}

void TThread::Synchronize(const std::function<void()>& method)
{
    RunOnMainThread(method);
}

void TThread::WaitFor()
{
    std::unique_lock lock(FinishedMutex);
    if (!IsMainThread()) {
        FinishedChanged.wait(lock, [this] { return Finished; });
        return;
    }
    // On the user-interface thread the worker may be waiting for it (Synchronize, OnTerminate):
    // keep serving those requests while waiting.
    while (!FinishedChanged.wait_for(lock, std::chrono::milliseconds(2),
                                     [this] { return Finished; })) {
        lock.unlock();
        QCoreApplication::processEvents();
        lock.lock();
    }
}

void TThread::WaitForAll()
{
    std::unique_lock lock(liveMutex);
    liveChanged.wait(lock, [] { return liveThreads == 0; });
}
