// SPDX-License-Identifier: MIT
#include "TThread.h"

#include "MainThread.h"

#include <QCoreApplication>
#include <chrono>

namespace {

std::mutex liveMutex;
std::condition_variable liveChanged;
int liveThreads = 0;

}  // namespace

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
    {
        std::lock_guard lock(liveMutex);
        ++liveThreads;
    }
    Thread = std::thread([this] { Run(); });
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
    while (!FinishedChanged.wait_for(lock, std::chrono::milliseconds(2), [this] { return Finished; })) {
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
