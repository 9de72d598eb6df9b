// SPDX-License-Identifier: MIT
// One update run from the command line: the firmware files, the port set up and opened as the
// window's Start Update does, the worker, and the outcome as an exit status.
#pragma once

#include "CliOptions.h"

#include <chrono>
#include <optional>

// Needs a running QCoreApplication object (its event loop is run here). Returns 0, 1 or 2, or
// 128 + the signal's number when a second SIGINT or SIGTERM cancelled the run.
// `waitSavedLimit` replaces the engine's bound on the wait for the receiver to store a file;
// only test builds pass one.
int RunUpdateCommand(const CliOptions& options,
                     std::optional<std::chrono::milliseconds> waitSavedLimit = std::nullopt);
