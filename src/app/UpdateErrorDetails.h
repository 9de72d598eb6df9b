// SPDX-License-Identifier: MIT
// What the "Update Error" box offers behind "Show Details...": the run's log entries and one
// line of advice for the most likely cause. The entries come from "logUpdate.txt", which the
// run writes as it ends; a file left from an earlier run is recognised and not shown as this
// run's.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

// The identity of a file at one moment: a file replaced or rewritten since differs.
struct FileStamp {
    bool Exists = false;
    dev_t Device = 0;
    ino_t Inode = 0;
    off_t Size = 0;
    long long ModifiedNs = 0;

    static FileStamp Of(const std::string& path);
    bool operator==(const FileStamp&) const = default;
};

enum class RunFailure { NoConnection, FileRefused, LineLost, NothingStored };

// The most likely cause of a failed run, from its log entries (empty: no log was written).
RunFailure LikelyRunFailure(const std::vector<std::string>& entries);
// One line of advice for the cause, naming the help page on the log.
std::string RunFailureAdvice(RunFailure failure);

// The log file's lines (CR LF or LF ended), as Windows-1252 bytes.
std::vector<std::string> ReadLogEntries(const std::string& path);

// The details text (Windows-1252): the advice, then the log's entries, or a line saying that
// this run wrote no log. `logPath` is read; `shownPath` is the same path as Windows-1252 text;
// `written` tells whether this run wrote the log.
std::string UpdateErrorDetails(const std::string& logPath, const std::string& shownPath,
                               bool written);
