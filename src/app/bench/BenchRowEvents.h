// SPDX-License-Identifier: MIT
// What one row of the bench learns about its port and its runs: the port's device and presence,
// each run's beginning, status texts, log entries, files and end, the wait for the next
// receiver, and the end of the port's session. Told on the user-interface thread, in the order
// things happened; whoever runs the sessions turns their observers' calls into these.
#pragma once

#include "ProductionLine.h"
#include "RunObserver.h"

#include <cstdint>
#include <string>
#include <vector>

// A port as the bench lists it.
struct BenchPort {
    std::string Port;      // as the user reads it: "COM3", a device path, a network address
    std::string Device;    // the device it names now; empty when it names none
    std::string Identity;  // the adapter's stable identity; empty when not known
    bool Present = false;  // the device is there now
};

enum class BenchOutcome { Ok, Error, NotOpened, Cancelled };

// How a run ended.
struct BenchRunEnd {
    BenchOutcome Outcome = BenchOutcome::Error;
    std::string Cause;          // why it failed, in words (Windows-1252); empty after "Update OK"
    std::string LogPath;        // the update log it wrote; empty when it wrote none
    bool RetryFollows = false;  // another attempt starts after a pause
    // Said with the outcome (Windows-1252): what the port did during the run ("the device is
    // gone"), that the log could not be written; empty when nothing is to be said.
    std::string Remark = {};
};

class BenchRowEvents {
public:
    virtual ~BenchRowEvents() = default;

    virtual void PortChanged(const BenchPort& port) = 0;
    // A run of these files (in the order they are sent) begins; `attempt` of `attempts`
    // (1 of 1 without retries).
    virtual void RunBegins(const std::vector<RunFile>& files, int attempt, int attempts) = 0;
    // The engine's status texts and log entries (Windows-1252).
    virtual void StatusText(const std::string& text) = 0;
    virtual void LogEntry(const std::string& entry) = 0;
    // A file's send: its bytes on the line so far, and its end with the bytes written.
    virtual void FileBegins(const RunFile& file) = 0;
    virtual void FileProgress(int64_t onLine) = 0;
    virtual void FileEnds(int64_t written, bool complete) = 0;
    virtual void RunEnds(const BenchRunEnd& end) = 0;
    // The port waits for the next receiver (one receiver after another on the same cable);
    // `counts`: its receivers so far, each by its last attempt.
    virtual void WaitingForNextReceiver(const LineCounts& counts) = 0;
    // The port's session is over: no further run or attempt comes.
    virtual void SessionEnds(const LineCounts& counts) = 0;
};
