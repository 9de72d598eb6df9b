// SPDX-License-Identifier: MIT
// What the "Update Error" box offers behind "Show Details...": the run's log entries and one
// line of advice for the most likely cause (in the session layer's words, which the command
// line uses too). The window collects the entries from the run's observer as the run appends
// them, and learns from it whether the run wrote its log.
#pragma once

#include "RunObserver.h"

#include <mutex>
#include <string>
#include <vector>

// The log entries of one run and the log it wrote; filled on the run's thread, read after it.
class RunLogRecorder : public RunObserver {
public:
    void Reset();
    void LogEntry(const std::string& entry) override;
    void RunEnds(RunOutcome outcome, const std::string& logPath) override;

    std::vector<std::string> Entries() const;
    // The log the run wrote; empty when it wrote none.
    std::string WrittenLog() const;

private:
    mutable std::mutex Lock;
    std::vector<std::string> Recorded;
    std::string LogPath;
};

// The details text (Windows-1252): the advice, then the run's entries. `shownLog` names the log
// file (Windows-1252 text); when the run wrote none, the details say so. `overNetwork`: the
// port is on another machine.
std::string UpdateErrorDetails(const std::vector<std::string>& entries, const std::string& shownLog,
                               bool logWritten, bool overNetwork = false);
