// SPDX-License-Identifier: MIT
// The production line's rules for a session: whether it loops (one receiver after another on
// the same port), how often a failed update is tried again, whether every run is recorded; which
// failed runs are worth another attempt; and a session's receivers counted by how they ended.
#pragma once

#include "NextReceiverWatch.h"
#include "RunResult.h"

#include <chrono>
#include <vector>

struct LineSettings {
    // After each receiver, wait for the next one on the same port and update it too.
    bool Loop = false;
    // How long the line must have been quiet before start-up output counts as a new receiver.
    std::chrono::milliseconds LoopQuiet = NextReceiverWatch::DefaultQuiet;
    // Further attempts after a run that failed because of the line or the receiver.
    int Retries = 0;
    std::chrono::milliseconds RetryPause{2000};
    // Each attempt appends a line to the record of updates and keeps its log under logs/.
    bool KeepRecord = false;
};

// The receivers of a session so far, by how their last attempt ended.
struct LineCounts {
    int Updated = 0;
    int Failed = 0;
};

// Whether a failed run is tried again: only for the line's or the receiver's causes (no
// connection, the line lost, refused, storing not confirmed), never after "Update OK", a
// cancel or a run refused before it began; a port that could not be opened only when the
// session waits for its device (`waitsForDevice`).
bool WorthRetrying(const RunResult& result, bool waitsForDevice);

// The last attempt of each run, in order: how each receiver ended.
std::vector<RunResult> LastAttempts(const std::vector<RunResult>& results);
LineCounts CountReceivers(const std::vector<RunResult>& results);
