// SPDX-License-Identifier: MIT
// RunProgress: where an update run's send stands, for a front end to show: which file of how
// many, the file's percent, the rate on the line and the time left of the whole run; and the
// texts the window and the bench show of it. Fed with the run's files and its file events, each
// with the time it came (seconds on a steady clock). Plain data: its owner keeps it on one
// thread or behind a lock.
#pragma once

#include "RunEstimate.h"
#include "RunObserver.h"

#include <QString>
#include <cstdint>
#include <vector>

class RunProgress {
public:
    // A new run that sends these files in this order; forgets the last run.
    void Begin(std::vector<RunFile> files);
    void FileBegins(const RunFile& file, double now);
    // `onLine`: the file's bytes that have gone over the line (written less those still queued).
    void FileProgress(int64_t onLine, double now);
    void FileEnds(int64_t written, bool complete, double now);

    // A file's send is under way.
    bool Sending() const { return IsSending; }
    // The current (or last) file: 1 for the first; 0 before any.
    int FileNumber() const { return Number; }
    int FileCount() const;
    const RunFile& File() const { return Current; }
    // The current file's bytes on the line, and whether its send ended whole.
    int64_t OnLine() const { return Bytes; }
    bool Complete() const { return SentWhole; }
    // Of the current file; -1 before any.
    int Percent() const;
    double BytesPerSecond() const { return Rate.BytesPerSecond(); }
    // The file's rest, the later files at the rate seen, and the pauses still to come.
    double RunSecondsLeft() const;

private:
    std::vector<RunFile> Files;
    RunFile Current;
    int Number = 0;
    size_t LaterFiles = 0;
    int64_t LaterBytes = 0;
    int64_t Bytes = 0;
    bool IsSending = false;
    bool SentWhole = false;
    SendRate Rate;
};

// "11.5 kB/s · 0:21 left" while a file is sent; empty otherwise.
QString SendFiguresText(const RunProgress& progress);
// "file 2 of 3 · 11.5 kB/s · 0:21 left" while a file is sent, "file 2 of 3 sent" (or "...
// stopped" when its send stopped short) until the next one begins; empty before the first.
QString RunProgressText(const RunProgress& progress);
