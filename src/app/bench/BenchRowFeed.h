// SPDX-License-Identifier: MIT
// BenchRowFeed: the session observer of one bench row. The session calls it on its own thread
// while the line waits: each call only notes the event and, once, asks the user-interface
// thread to hand what has gathered to the row (a newer progress replaces one not yet handed
// on). The line never waits for the window, however busy it is. A run's result is handed on
// with what follows it (a retry, the wait for the next receiver, the session's end), so that
// the row learns at once whether another attempt comes.
#pragma once

#include "BenchRowEvents.h"
#include "SessionObserver.h"

#include <QObject>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

class BenchRowFeed : public SessionObserver {
public:
    // `sessionEnded` is called on the user-interface thread after the row has been told
    // everything.
    BenchRowFeed(BenchRowEvents& row, std::function<void()> sessionEnded);

    void RunBegins(const RunPlan& plan, const RunIndex& index) override;
    void StatusText(const std::string& text) override;
    void LogEntry(const std::string& entry) override;
    void FileBegins(const RunFile& file) override;
    void FileProgress(const RunFile& file, int64_t written, int64_t queued) override;
    void FileEnds(const RunFile& file, int64_t written, bool complete) override;
    void RunFinished(const RunResult& result) override;
    void RetryComing(const RunResult& failed, const RunIndex& next,
                     std::chrono::milliseconds pause) override;
    void WaitingForNextReceiver(const std::string& port, const LineCounts& counts) override;
    void SessionEnds(const std::vector<RunResult>& results) override;

private:
    using Event = std::function<void(BenchRowEvents&)>;
    void Post(Event event, bool progress = false);
    // Posts the result held back, if any; `retryFollows`: another attempt comes.
    void PostHeldEnd(bool retryFollows = false);
    void Deliver();

    BenchRowEvents& Row;
    const std::function<void()> SessionEnded;
    // The deliveries are queued to it on the user-interface thread; they go with it.
    QObject Receiver;
    std::mutex Lock;
    std::vector<Event> Pending;
    bool LastIsProgress = false;
    bool Posted = false;
    // The last run's end, until the session says what comes next (only its thread uses it).
    std::optional<BenchRunEnd> HeldEnd;
};

// A session's result as the bench row shows it (the texts in Windows-1252).
BenchRunEnd BenchRunEndOf(const RunResult& result);
