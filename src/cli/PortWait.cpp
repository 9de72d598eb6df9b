// SPDX-License-Identifier: MIT
#include "PortWait.h"

#include "ComText.h"
#include "PortMap.h"

#include <unistd.h>
#include <algorithm>
#include <thread>

bool PortDevicePresent(const std::string& port)
{
    std::string device = port;
    if (port.empty() || port[0] != '/') {
        const int number = ComNumberOfText(port).value_or(0);
        const auto resolved = number > 0 ? ResolveComPort(number) : std::nullopt;
        if (!resolved)
            return false;
        device = *resolved;
    }
    return ::access(device.c_str(), F_OK) == 0;
}

bool WaitForPortDevice(const std::string& port, std::chrono::milliseconds limit,
                       std::chrono::milliseconds interval)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (true) {
        if (PortDevicePresent(port))
            return true;
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline)
            return false;
        std::this_thread::sleep_for(
            std::min<std::chrono::steady_clock::duration>(interval, deadline - now));
    }
}
