// SPDX-License-Identifier: MIT
#include "PortName.h"

#include "ComText.h"
#include "NetAddress.h"
#include "PortMap.h"
#include "SystemTexts.h"

#include <cerrno>
#include <string_view>

namespace {

// The port text of a name: what follows the device prefix "\\.\" when it has one.
std::string_view PortTextOf(std::string_view name)
{
    const std::string_view prefix = Texts::PortNamePrefix;
    const std::string_view devicePrefix = prefix.substr(0, prefix.size() - 3);
    if (name.substr(0, devicePrefix.size()) == devicePrefix)
        name.remove_prefix(devicePrefix.size());
    return name;
}

}  // namespace

int ComNumberOfPortName(const std::string& name)
{
    return ComNumberOfText(PortTextOf(name)).value_or(0);
}

std::optional<std::string> ResolvePortName(const std::string& name)
{
    if ((!name.empty() && name.front() == '/') || LooksLikeNetAddress(name))
        return name;
    const std::string_view text = PortTextOf(name);
    const int number = ComNumberOfText(text).value_or(0);
    if (number == 0) {
        // A device name or a "COM" name without a valid number names no device ("COM" + "1"
        // is a port text exactly when the name starts with "COM" in any case).
        if (text.size() != name.size() || ComNumberOfText(std::string(text.substr(0, 3)) + "1")) {
            errno = ENOENT;
            return std::nullopt;
        }
        return name;
    }
    try {
        auto device = ResolveComPort(number);
        if (!device)
            errno = ENOENT;
        return device;
    } catch (const std::exception&) {
        errno = EIO;  // whatever the port map holds, the port reports a failed open only
        return std::nullopt;
    }
}
