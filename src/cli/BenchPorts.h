// SPDX-License-Identifier: MIT
// The ports of a command that updates several receivers at once: each port's name, the folder
// its update log goes into, and the check that no receiver is named twice.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

struct BenchPort {
    std::string Name;    // "COM3" (upper case) or a device path, as the messages name it
    std::string Folder;  // below the working folder: "COM3", or a device path's base name
};

struct BenchPlan {
    std::vector<BenchPort> Ports;  // in the order given
    std::string Error;             // not empty: a usage error, nothing may be sent
};

// The device a port name stands for now, resolved to its real path; nothing when not known
// yet (a COM number not listed, a device not plugged in).
using BenchDeviceOf = std::function<std::optional<std::string>(const std::string& name)>;

// Plans the runs for the -p values: a name given twice, two names for one device, or two
// ports whose logs would share a folder are a usage error.
BenchPlan PlanBenchPorts(const std::vector<std::string>& options, const BenchDeviceOf& deviceOf);

// The real path of the device a name stands for now (through the port map for COM<n>).
std::optional<std::string> CurrentDeviceOf(const std::string& name);
