// SPDX-License-Identifier: MIT
#include "UpdateErrorDetails.h"

#include "RunCause.h"

void RunLogRecorder::Reset()
{
    const std::lock_guard<std::mutex> guard(Lock);
    Recorded.clear();
    LogPath.clear();
}

void RunLogRecorder::LogEntry(const std::string& entry)
{
    const std::lock_guard<std::mutex> guard(Lock);
    Recorded.push_back(entry);
}

void RunLogRecorder::RunEnds(RunOutcome /*outcome*/, const std::string& logPath)
{
    const std::lock_guard<std::mutex> guard(Lock);
    LogPath = logPath;
}

std::vector<std::string> RunLogRecorder::Entries() const
{
    const std::lock_guard<std::mutex> guard(Lock);
    return Recorded;
}

std::string RunLogRecorder::WrittenLog() const
{
    const std::lock_guard<std::mutex> guard(Lock);
    return LogPath;
}

std::string UpdateErrorDetails(const std::vector<std::string>& entries, const std::string& shownLog,
                               bool logWritten, bool overNetwork)
{
    // Without a log a port error ended the run early.
    std::string details = CauseAdvice(LikelyRunCause(entries, !logWritten), overNetwork) + "\n\n";
    if (logWritten)
        details += shownLog + ":\n";
    else
        details += "This run wrote no log (" + shownLog +
                   " is unchanged): a port error ended it early, or the log could not be "
                   "written. Its entries so far:\n";
    for (const std::string& entry : entries)
        details += entry + "\n";
    return details;
}
