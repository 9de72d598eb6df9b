// SPDX-License-Identifier: MIT
#include "PortName.h"

#include "PortMap.h"
#include "SystemTexts.h"

#include <cerrno>

int ComNumberOfPortName(const std::string& name)
{
    std::string digits;
    const std::string prefix = Texts::PortNamePrefix;
    if (name.rfind(prefix, 0) == 0)
        digits = name.substr(prefix.size());
    else if (name.rfind("COM", 0) == 0)
        digits = name.substr(3);
    else
        return 0;
    if (digits.empty() || digits.size() > 3 || digits[0] == '0')
        return 0;
    int number = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9')
            return 0;
        number = number * 10 + (c - '0');
    }
    return number;
}

std::optional<std::string> ResolvePortName(const std::string& name)
{
    if (!name.empty() && name.front() == '/')
        return name;
    const int number = ComNumberOfPortName(name);
    if (number == 0) {
        const std::string prefix = Texts::PortNamePrefix;
        if (name.rfind(prefix, 0) == 0 || name.rfind("COM", 0) == 0) {
            errno = ENOENT;  // a COM name without a valid number names no device
            return std::nullopt;
        }
        return name;
    }
    auto device = ResolveComPort(number);
    if (!device)
        errno = ENOENT;
    return device;
}
