// SPDX-License-Identifier: MIT
// What zendrak-cli knows of a run before it begins: the port as the window sets it up, and the
// plan (files with size and SHA-256, missing and empty files, port, estimated duration) that
// --check shows and the JSON start event reports.
#pragma once

#include "CliOptions.h"
#include "JsonOutput.h"
#include "UpdateRun.h"

#include <string>

class ECommError;
class TCommPort;

// `portOption` is one -p value ("COM<n>" or a device path), empty for the port of Zendrak.dat.
// The COM text or device path it names ("COM<n>" from Zendrak.dat without -p).
std::string PortTextOf(const std::string& portOption);
// Sets the port up as the window does: the device, 115200 baud, 8 data bits, no parity, one
// stop bit. Returns the text the port's error messages name it by.
std::string ConfigurePort(TCommPort& port, const std::string& portOption);
// What was tried, after the port failed: the port text with the device it names and what the
// system reported, with advice; or why the text names no device (not in the port map, beyond
// what it holds, hidden by a malformed line, a map that cannot be read). One sentence.
std::string DescribePortError(const std::string& portText, const ECommError& error);
// The plan of a run whose files have been read.
RunPlan PlanOf(const UpdateRun& run, const std::string& portOption);
// The one -p value of a single run, empty without -p.
std::string SinglePortOption(const CliOptions& options);
