// SPDX-License-Identifier: MIT
// The simulator's line loop: waits on the pseudo-terminal, feeds the console and writes its
// bursts, until the last run's "s", a vanishing line or a stop signal.
#pragma once

#include "Options.h"

// Returns the process's exit status.
int RunSimulator(const SimOptions& options);
