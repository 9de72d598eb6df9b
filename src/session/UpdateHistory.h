// SPDX-License-Identifier: MIT
// UpdateHistory: the record of every update, "zendrak-history.csv" in the working folder. Each
// run appends one whole line with a single write, under an exclusive lock on the file, and the
// line is on the disk (fsync) before Append returns: two programs appending at once, a program
// killed while it appends, or a power cut leave whole lines and never lose an earlier one. A
// last line that something else cut short is closed before the next record, never removed.
// Only a regular file is written; a symbolic link there could send the record elsewhere, so it
// is refused like anything else that is not a plain file.
#pragma once

#include "HistoryCsv.h"

#include <chrono>
#include <string>

inline constexpr const char* HistoryFileName = "zendrak-history.csv";

struct HistoryAppendResult {
    std::string Error;           // empty: the line is on the disk
    bool ClosedCutLine = false;  // the file ended in a partial line, which was closed first
    bool Ok() const { return Error.empty(); }
};

class UpdateHistory {
public:
    // `folder`: the working folder the file lives in.
    explicit UpdateHistory(std::string folder);

    const std::string& Path() const { return FilePath; }

    // Before an update begins: empty when a record can be appended, else why not, naming the
    // file (a link, a directory, a FIFO, no permission, a read-only file system, ...). Creates
    // nothing.
    std::string Check() const;

    // Appends the record's line (and the header first when the file is new or empty). Waits at
    // most `lockWait` for another program's append to end.
    HistoryAppendResult Append(const HistoryRecord& record,
                               std::chrono::milliseconds lockWait = std::chrono::seconds(10)) const;

private:
    std::string Folder;
    std::string FilePath;
};
