// SPDX-License-Identifier: MIT
// One update run from the command line: the firmware files, the port set up and opened as the
// window's Start Update does, the worker, and the outcome as an exit status.
#pragma once

#include "CliOptions.h"

#include <exception>
#include <string>

// Needs a running QCoreApplication object (its event loop is run here). Returns 0, 1 or 2.
int RunUpdateCommand(const CliOptions& options);

// What to say of an error that ended a run's worker early; empty when the port's own messages
// have said it already (or there was none).
std::string FatalErrorText(const std::exception_ptr& fatal);
