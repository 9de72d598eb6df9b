// SPDX-License-Identifier: MIT
#include "BenchRowFeed.h"

#include "PortProblem.h"
#include "Win1252.h"

#include <algorithm>

BenchRowFeed::BenchRowFeed(BenchRowEvents& row, std::function<void()> sessionEnded)
    : Row(row), SessionEnded(std::move(sessionEnded))
{
}

void BenchRowFeed::RunBegins(const RunPlan& plan, const RunIndex& index)
{
    PostHeldEnd();
    Post([files = plan.Files, attempt = index.Attempt,
          attempts = std::max(index.Attempt, index.Attempts)](BenchRowEvents& row) {
        row.RunBegins(files, attempt, attempts);
    });
}

void BenchRowFeed::StatusText(const std::string& text)
{
    Post([text](BenchRowEvents& row) { row.StatusText(text); });
}

void BenchRowFeed::LogEntry(const std::string& entry)
{
    Post([entry](BenchRowEvents& row) { row.LogEntry(entry); });
}

void BenchRowFeed::FileBegins(const RunFile& file)
{
    Post([file](BenchRowEvents& row) { row.FileBegins(file); });
}

void BenchRowFeed::FileProgress(const RunFile& /*file*/, int64_t written, int64_t queued)
{
    // What still waits in the device's queue has not gone over the line yet.
    const int64_t onLine = std::max<int64_t>(written - queued, 0);
    Post([onLine](BenchRowEvents& row) { row.FileProgress(onLine); }, true);
}

void BenchRowFeed::FileEnds(const RunFile& /*file*/, int64_t written, bool complete)
{
    Post([written, complete](BenchRowEvents& row) { row.FileEnds(written, complete); });
}

void BenchRowFeed::RunFinished(const RunResult& result)
{
    PostHeldEnd();
    HeldEnd = BenchRunEndOf(result);
}

void BenchRowFeed::RetryComing(const RunResult& /*failed*/, const RunIndex& /*next*/,
                               std::chrono::milliseconds /*pause*/)
{
    PostHeldEnd(true);
}

void BenchRowFeed::WaitingForNextReceiver(const std::string& /*port*/, const LineCounts& counts)
{
    PostHeldEnd();
    Post([counts](BenchRowEvents& row) { row.WaitingForNextReceiver(counts); });
}

void BenchRowFeed::SessionEnds(const std::vector<RunResult>& results)
{
    PostHeldEnd();
    Post([this, counts = CountReceivers(results)](BenchRowEvents& row) {
        row.SessionEnds(counts);
        if (SessionEnded)
            SessionEnded();
    });
}

void BenchRowFeed::PostHeldEnd(bool retryFollows)
{
    if (!HeldEnd)
        return;
    HeldEnd->RetryFollows = retryFollows;
    Post([end = *HeldEnd](BenchRowEvents& row) { row.RunEnds(end); });
    HeldEnd.reset();
}

void BenchRowFeed::Post(Event event, bool progress)
{
    std::lock_guard lock(Lock);
    if (progress && LastIsProgress)
        Pending.back() = std::move(event);
    else
        Pending.push_back(std::move(event));
    LastIsProgress = progress;
    if (Posted)
        return;
    Posted = true;
    QMetaObject::invokeMethod(
        &Receiver, [this] { Deliver(); }, Qt::QueuedConnection);
}

void BenchRowFeed::Deliver()
{
    std::vector<Event> events;
    {
        std::lock_guard lock(Lock);
        events.swap(Pending);
        LastIsProgress = false;
        Posted = false;
    }
    for (const Event& event : events)
        event(Row);
}

BenchRunEnd BenchRunEndOf(const RunResult& result)
{
    BenchRunEnd end;
    switch (result.End) {
    case RunResult::Outcome::Ok: end.Outcome = BenchOutcome::Ok; break;
    case RunResult::Outcome::Error: end.Outcome = BenchOutcome::Error; break;
    case RunResult::Outcome::NotOpened: end.Outcome = BenchOutcome::NotOpened; break;
    case RunResult::Outcome::Cancelled: end.Outcome = BenchOutcome::Cancelled; break;
    }
    // The cell says why in a few words: a failed run its cause, a port that could not be
    // opened what was tried and what the system said; a cancel says so in the outcome itself.
    // The advice goes with the rest.
    std::string remark;
    if (result.End == RunResult::Outcome::Error) {
        end.Cause = CauseShortText(result.Cause);
        remark = result.CauseText;
    } else if (result.End == RunResult::Outcome::NotOpened) {
        end.Cause = ToSystemText(QString::fromStdString(result.CauseText));
    }
    end.LogPath = result.LogPath;
    // What the port did during the run (a port that could not be opened is the cause already),
    // and what changes nothing of the outcome.
    if (result.Problem && !result.Problem->WhileOpening)
        remark += (remark.empty() ? "" : "\n") + result.Problem->Description;
    if (!result.Warning.empty())
        remark += (remark.empty() ? "" : "\n") + result.Warning;
    end.Remark = ToSystemText(QString::fromStdString(remark));
    return end;
}
