// SPDX-License-Identifier: MIT
// What is known of a run before it begins: the port and the device it leads to, the files with
// their size, SHA-256 and the bytes that will go out, and the estimated duration. --check shows
// it, the JSON start event reports it, a session tells its observer when a run begins.
#pragma once

#include "RunObserver.h"

#include <string>
#include <vector>

class FirmwareFiles;
class PortSpec;

struct RunPlan {
    std::string Port;         // as messages name it
    std::string Device;       // empty: unknown
    std::string Description;  // empty: unknown
    std::vector<RunFile> Files;
    std::vector<std::string> Missing;  // firmware names not present (paths)
    std::vector<std::string> Empty;    // present but empty
    double EstimateSeconds = 0;
};

RunPlan PlanRun(const FirmwareFiles& files, const PortSpec& port);
