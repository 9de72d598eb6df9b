// SPDX-License-Identifier: MIT
// zendrak-cli's update: one port or several, each a session of one group (RunGroup): the
// options become the group's settings, the sessions' events become the command's output, and
// their results the exit status.
#pragma once

#include "CliOptions.h"

#include <chrono>
#include <optional>

// Needs a QCoreApplication object (the sessions hand their window changes to its thread, which
// waits here). Returns the exit status (ExitStatus.h). `waitSavedLimit` replaces the engine's
// bound on the wait for the receiver to store a file; only test builds pass one.
int RunUpdateCommand(const CliOptions& options,
                     std::optional<std::chrono::milliseconds> waitSavedLimit = std::nullopt);
