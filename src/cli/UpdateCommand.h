// SPDX-License-Identifier: MIT
// One update run from the command line: the firmware files, the port set up and opened as the
// window's Start Update does, the worker, and the outcome as an exit status.
#pragma once

#include "CliOptions.h"

// Needs a running QCoreApplication object (its event loop is run here). Returns 0, 1 or 2.
int RunUpdateCommand(const CliOptions& options);
