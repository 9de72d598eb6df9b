// SPDX-License-Identifier: MIT
// Finding the system's serial devices through Qt SerialPort, which tells ttyS ports with a real
// UART from the kernel's placeholders.
#include "AssignedPorts.h"
#include "PortMap.h"
#include "Win1252.h"

#include <QSerialPortInfo>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <tuple>

namespace {

// Listing order: real ttyS UARTs, ttyUSB, ttyACM, then the rest; each group by index.
std::tuple<int, long, std::string> OrderOf(const std::string& device)
{
    const std::string name = device.substr(device.rfind('/') + 1);
    static const char* const groups[] = {"ttyS", "ttyUSB", "ttyACM"};
    int group = 3;
    std::string rest = name;
    for (int i = 0; i < 3; ++i) {
        const std::string prefix = groups[i];
        if (name.rfind(prefix, 0) == 0 && name.size() > prefix.size() &&
            std::all_of(name.begin() + static_cast<long>(prefix.size()), name.end(),
                        [](char c) { return c >= '0' && c <= '9'; })) {
            group = i;
            rest = name.substr(prefix.size());
            break;
        }
    }
    if (group < 3)
        return {group, std::strtol(rest.c_str(), nullptr, 10), name};
    return {group, 0, name};
}

}  // namespace

bool PortDetectionEnabled()
{
    const char* value = std::getenv("ZENDRAK_NO_PORT_DETECTION");
    return !(value && std::strcmp(value, "1") == 0);
}

std::vector<DetectedSerialPort> DetectSerialPorts()
{
    std::vector<DetectedSerialPort> ports;
    if (!PortDetectionEnabled())
        return ports;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        QString description = info.description();
        const QString maker = info.manufacturer();
        if (!maker.isEmpty() && !description.contains(maker))
            description = description.isEmpty() ? maker : description + ", " + maker;
        const std::string device = info.systemLocation().toLocal8Bit().toStdString();
        ports.push_back({device, ToSystemText(description), StableIdentityOf(device)});
    }
    SortInListingOrder(ports);
    return ports;
}

void SortInListingOrder(std::vector<DetectedSerialPort>& ports)
{
    std::stable_sort(ports.begin(), ports.end(), [](const auto& a, const auto& b) {
        return OrderOf(a.Device) < OrderOf(b.Device);
    });
}
