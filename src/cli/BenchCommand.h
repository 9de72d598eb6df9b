// SPDX-License-Identifier: MIT
// Several receivers updated at once from one command (-p given more than once): one update run
// per port, side by side in this process, all from the firmware files of the working folder,
// read once; each run's log in a folder of its own named after its port; a summary at the end.
#pragma once

#include "CliOptions.h"

#include <chrono>
#include <optional>

// Needs a running QCoreApplication object (its event loop is run here). Returns 0 when every
// run ended "Update OK", 2 when a port could not be opened or the command was wrong, else 1.
// `waitSavedLimit` replaces the engine's bound on the wait for a receiver to store a file; only
// test builds pass one.
int RunBenchCommand(const CliOptions& options,
                    std::optional<std::chrono::milliseconds> waitSavedLimit = std::nullopt);
