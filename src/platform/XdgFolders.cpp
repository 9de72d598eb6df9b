// SPDX-License-Identifier: MIT
#include "XdgFolders.h"

#include <cstdlib>

std::string XdgBaseFolder(const char* variable, const char* belowHome)
{
    if (const char* folder = std::getenv(variable); folder && *folder)
        return folder;
    const char* home = std::getenv("HOME");
    return std::string(home ? home : "") + belowHome;
}

std::string ZendrakConfigFolder()
{
    return XdgBaseFolder("XDG_CONFIG_HOME", "/.config") + "/zendrak";
}

std::string ZendrakStateFolder()
{
    return XdgBaseFolder("XDG_STATE_HOME", "/.local/state") + "/zendrak";
}
