// SPDX-License-Identifier: MIT
#include "FirmHost.h"

#include "SystemTexts.h"

RunObserver& TFirmHost::Observer()
{
    // Stateless: hosts without an observer may share it.
    static RunObserver nobody;
    return nobody;
}

std::string TFirmHost::UpdateLogPath() const
{
    return Texts::UpdateLogFileName;
}
