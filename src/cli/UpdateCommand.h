// SPDX-License-Identifier: MIT
// One update run from the command line: the firmware files, the port set up and opened as the
// window's Start Update does, the worker, and the outcome as an exit status.
#pragma once

#include "CliOptions.h"

#include <chrono>
#include <exception>
#include <optional>
#include <string>

// Needs a running QCoreApplication object (its event loop is run here). Returns 0, 1 or 2, or
// 128 + the signal's number when a second SIGINT or SIGTERM cancelled the run.
// `waitSavedLimit` replaces the engine's bound on the wait for the receiver to store a file;
// only test builds pass one.
int RunUpdateCommand(const CliOptions& options,
                     std::optional<std::chrono::milliseconds> waitSavedLimit = std::nullopt);

// What to say of an error that ended a run's worker early, naming the port by `portText` and
// the run's log by `logPath`; empty when the port's own messages have said it already (or
// there was none).
std::string FatalErrorText(const std::exception_ptr& fatal, const std::string& portText,
                           const std::string& logPath);
