// SPDX-License-Identifier: MIT
#include "BenchPorts.h"

#include "ComText.h"
#include "PortMap.h"

#include <cstdlib>

BenchPlan PlanBenchPorts(const std::vector<std::string>& options, const BenchDeviceOf& deviceOf)
{
    BenchPlan plan;
    std::vector<std::optional<std::string>> devices;
    for (const std::string& option : options) {
        BenchPort port;
        if (!option.empty() && option[0] == '/') {
            port.Name = option;
            port.Folder = option.substr(option.find_last_of('/') + 1);
        } else {
            port.Name = ComText(ComNumberOfText(option).value_or(0));
            port.Folder = port.Name;
        }
        if (port.Folder.empty() || port.Folder == "." || port.Folder == "..") {
            plan.Error = "-p: " + option + " names no device a log folder can be named after";
            return plan;
        }
        const std::optional<std::string> device = deviceOf ? deviceOf(port.Name) : std::nullopt;
        for (size_t i = 0; i < plan.Ports.size(); ++i) {
            const BenchPort& other = plan.Ports[i];
            if (other.Name == port.Name)
                plan.Error = "-p: " + port.Name + " is named twice";
            else if (device && devices[i] == device)
                plan.Error =
                    "-p: " + other.Name + " and " + port.Name + " are the same device " + *device;
            else if (other.Folder == port.Folder)
                plan.Error = "-p: " + other.Name + " and " + port.Name +
                             " would write their logs into the same folder " + port.Folder;
            if (!plan.Error.empty())
                return plan;
        }
        plan.Ports.push_back(port);
        devices.push_back(device);
    }
    return plan;
}

std::optional<std::string> CurrentDeviceOf(const std::string& name)
{
    std::string device = name;
    if (name.empty() || name[0] != '/') {
        const int number = ComNumberOfText(name).value_or(0);
        const auto listed = number > 0 ? ResolveComPort(number) : std::nullopt;
        if (!listed)
            return std::nullopt;
        device = *listed;
    }
    char* real = ::realpath(device.c_str(), nullptr);
    if (!real)
        return std::nullopt;
    std::string resolved(real);
    std::free(real);
    return resolved;
}
