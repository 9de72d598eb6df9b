// SPDX-License-Identifier: MIT
// The exit status of a command that ran update sessions, in one place.
#pragma once

#include "RunResult.h"

#include <vector>

namespace ExitStatus {
inline constexpr int Ok = 0;            // every run ended "Update OK"
inline constexpr int UpdateError = 1;   // a run ended "Update Error"
inline constexpr int Usage = 2;         // a usage error, files that cannot be used, the folder
                                        // busy, or a port that could not be opened
inline constexpr int SignalBase = 128;  // + the signal that cancelled the runs
}  // namespace ExitStatus

// The status for the last result of every port. A cancel by `cancelSignal` (0: none) ends as a
// shell reports a program that the signal ended, unless it came too late to change any run.
// Otherwise: a port that was not opened is a usage error; any run not "Update OK" an error.
int ExitStatusOf(const std::vector<RunResult>& results, int cancelSignal = 0);
