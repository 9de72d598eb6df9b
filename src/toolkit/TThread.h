// SPDX-License-Identifier: MIT
// A thread object in the toolkit's style: Execute runs on its own thread; Synchronize hands
// work to the user-interface thread; OnTerminate reports the end there; with FreeOnTerminate
// the object deletes itself when it is done.
//
// Make threads with TThread::Create<T>(args...): a thread that is not created suspended starts
// only once its whole object has been constructed. A thread whose body may end at once is made
// suspended, given its OnTerminate, then started, so that its end is never missed.
#pragma once

#include <atomic>
#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

enum class TThreadPriority {
    tpIdle,
    tpLowest,
    tpLower,
    tpNormal,
    tpHigher,
    tpHighest,
    tpTimeCritical
};

class TThread {
public:
    using TNotifyEvent = std::function<void(TThread* sender)>;

    template <class T, class... Args>
    static T* Create(bool createSuspended, Args&&... args)
    {
        T* thread = new T(createSuspended, std::forward<Args>(args)...);
        if (!createSuspended)
            thread->Start();
        return thread;
    }

    virtual ~TThread();
    TThread(const TThread&) = delete;
    TThread& operator=(const TThread&) = delete;

    // Starts a thread that was created suspended (once).
    void Start();
    void Terminate() { TerminatedFlag = true; }
    bool Terminated() const { return TerminatedFlag; }
    // Waits until Execute and OnTerminate are done. Not for threads that free themselves.
    void WaitFor();

    void SetPriority(TThreadPriority priority) { PriorityValue = priority; }
    TThreadPriority Priority() const { return PriorityValue; }

    // The exception that left Execute, if any; the toolkit keeps it and reads nothing from it.
    std::exception_ptr FatalException() const { return Fatal; }

    // Waits until every thread made by this process has finished and freed itself (at
    // program end, so that no worker outlives the objects it uses).
    static void WaitForAll();

    std::atomic<bool> FreeOnTerminate{false};
    TNotifyEvent OnTerminate;

protected:
    explicit TThread(bool createSuspended);
    virtual void Execute() = 0;
    // Runs OnTerminate on the user-interface thread.
    virtual void DoTerminate();
    // Runs `method` on the user-interface thread; the caller waits and sees its exception.
    void Synchronize(const std::function<void()>& method);

private:
    class StartGate;
    void Run();

    std::thread Thread;
    std::atomic<bool> TerminatedFlag{false};
    std::atomic<bool> Started{false};
    TThreadPriority PriorityValue = TThreadPriority::tpNormal;
    std::exception_ptr Fatal;

    std::mutex FinishedMutex;
    std::condition_variable FinishedChanged;
    bool Finished = false;
};
