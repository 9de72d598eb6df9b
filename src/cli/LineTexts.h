// SPDX-License-Identifier: MIT
// What zendrak-cli says of a production line in plain text: a port waiting for the next
// receiver, a retry coming, a run's attempt, and the summary of a whole session.
#pragma once

#include "ProductionLine.h"
#include "RunResult.h"
#include "SessionObserver.h"

#include <chrono>
#include <string>
#include <vector>

// "waiting for the next receiver (3 updated, 1 failed)".
std::string WaitingText(const LineCounts& counts);
// "attempt 2 of 3 in 2 s (earlier: refused)".
std::string RetryText(const RunIndex& next, std::chrono::milliseconds pause);
// "attempt 2 of 3 (earlier: refused)" for a run after a retry; "" for a first attempt.
std::string AttemptText(const RunResult& result);
// "receiver 2 (start-up output)": a later run of a loop begins.
std::string NextReceiverText(const RunIndex& index);
// The end of a loop: the receivers of the whole session and its time, a row per port
// (receivers, updated, failed, attempts), then each receiver that failed or needed a retry.
std::string LineSummaryText(const std::vector<std::vector<RunResult>>& perPort, double seconds);
