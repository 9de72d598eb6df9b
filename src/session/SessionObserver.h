// SPDX-License-Identifier: MIT
// SessionObserver: the one channel from an update session to its front end: the run's own
// events (RunObserver: status, log entries, files, progress, line traffic) and the session's
// (waiting for the device, a run begins, the port claimed, a port problem, a warning, the run's
// result, a retry coming, the wait for the next receiver, the session's end). Calls come on the
// session's thread while the line waits: every implementation returns at once. SessionObservers
// passes each call on to several; RunEventRelay passes the run's own events on and leaves the
// session's to its class.
#pragma once

#include "NextReceiverWatch.h"
#include "ProductionLine.h"
#include "RunObserver.h"
#include "RunPlan.h"
#include "RunResult.h"

#include <chrono>

#include <string>
#include <vector>

struct PortProblem;

// Which run of a session this is: its number (from 1: each receiver of a loop is one run) and
// its attempt (from 1; more after retries), of how many at most, why the earlier attempts of
// the run failed, and what made a later run of a loop begin.
struct RunIndex {
    int Run = 1;
    int Attempt = 1;
    int Attempts = 1;
    std::vector<RunCause> Earlier;
    NextReceiverWatch::Trigger StartedBy = NextReceiverWatch::Trigger::None;
};

class SessionObserver : public RunObserver {
public:
    // The port's device is not there yet; the session waits up to `seconds` for it.
    virtual void WaitingForDevice(const std::string& /*port*/, double /*seconds*/) {}
    // A run begins: what it will send, where, and how long it should take.
    virtual void RunBegins(const RunPlan& /*plan*/, const RunIndex& /*index*/) {}
    // The port is open and claimed; nothing has been sent yet. `device` is what it led to.
    virtual void PortClaimed(const std::string& /*port*/, const std::string& /*device*/) {}
    // The port could not be opened, or failed during the run (once per run, the first error).
    virtual void PortProblemFound(const PortProblem& /*problem*/) {}
    // Something the user should know that changes nothing of the outcome (UTF-8).
    virtual void Warning(const std::string& /*text*/) {}
    // The run is over: everything known of how it ended (its record kept, when one is).
    virtual void RunFinished(const RunResult& /*result*/) {}
    // The failed run is tried again after `pause`, as attempt `next`.
    virtual void RetryComing(const RunResult& /*failed*/, const RunIndex& /*next*/,
                             std::chrono::milliseconds /*pause*/)
    {
    }
    // The loop waits for the next receiver on this port, sending nothing; `counts`: the
    // receivers of the session so far.
    virtual void WaitingForNextReceiver(const std::string& /*port*/, const LineCounts& /*counts*/)
    {
    }
    // The session is over: the result of each of its runs, in order.
    virtual void SessionEnds(const std::vector<RunResult>& /*results*/) {}
};

// Passes the run's own events on to the observers added, in the order they were added; what it
// does with the session's events is for the class built on it.
class RunEventRelay : public SessionObserver {
public:
    void Add(RunObserver& observer) { Runs.Add(observer); }

    void StatusText(const std::string& text) override { Runs.StatusText(text); }
    void LogEntry(const std::string& entry) override { Runs.LogEntry(entry); }
    void FileBegins(const RunFile& file) override { Runs.FileBegins(file); }
    void FileProgress(const RunFile& file, int64_t written, int64_t queued) override
    {
        Runs.FileProgress(file, written, queued);
    }
    void FileEnds(const RunFile& file, int64_t written, bool complete) override
    {
        Runs.FileEnds(file, written, complete);
    }
    void LineSent(const uint8_t* bytes, size_t count) override { Runs.LineSent(bytes, count); }
    void LineReceived(const uint8_t* bytes, size_t count) override
    {
        Runs.LineReceived(bytes, count);
    }
    void SilentRead() override { Runs.SilentRead(); }
    void Paused(unsigned milliseconds) override { Runs.Paused(milliseconds); }
    void PortError(const ECommError& error) override { Runs.PortError(error); }
    void RunEnds(RunOutcome outcome, const std::string& logPath) override
    {
        Runs.RunEnds(outcome, logPath);
    }

private:
    RunObservers Runs;
};

// Passes every call on to each observer added, in the order they were added.
class SessionObservers : public RunEventRelay {
public:
    void Add(SessionObserver& observer)
    {
        List.push_back(&observer);
        RunEventRelay::Add(observer);
    }
    // An observer of the run's events only.
    void Add(RunObserver& observer) { RunEventRelay::Add(observer); }

    void WaitingForDevice(const std::string& port, double seconds) override;
    void RunBegins(const RunPlan& plan, const RunIndex& index) override;
    void PortClaimed(const std::string& port, const std::string& device) override;
    void PortProblemFound(const PortProblem& problem) override;
    void Warning(const std::string& text) override;
    void RunFinished(const RunResult& result) override;
    void RetryComing(const RunResult& failed, const RunIndex& next,
                     std::chrono::milliseconds pause) override;
    void WaitingForNextReceiver(const std::string& port, const LineCounts& counts) override;
    void SessionEnds(const std::vector<RunResult>& results) override;

private:
    template <class Call>
    void Each(Call call)
    {
        for (SessionObserver* o : List)
            call(*o);
    }
    std::vector<SessionObserver*> List;
};
