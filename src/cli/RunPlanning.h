// SPDX-License-Identifier: MIT
// What zendrak-cli knows of a run before it begins: the port as the window sets it up, and the
// plan (files with size and SHA-256, missing and empty files, port, estimated duration) that
// --check shows and the JSON start event reports.
#pragma once

#include "CliOptions.h"
#include "JsonOutput.h"
#include "UpdateRun.h"

#include <string>

class TCommPort;

// The COM text or device path the options name ("COM<n>" from Zendrak.dat without -p).
std::string PortTextOf(const CliOptions& options);
// Sets the port up as the window does: the device, 115200 baud, 8 data bits, no parity, one
// stop bit. Returns the text the port's error messages name it by.
std::string ConfigurePort(TCommPort& port, const CliOptions& options);
// The plan of a run whose files have been read.
RunPlan PlanOf(const UpdateRun& run, const CliOptions& options);
