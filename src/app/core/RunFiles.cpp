// SPDX-License-Identifier: MIT
#include "RunFiles.h"

#include "AssignedPorts.h"
#include "PortMap.h"
#include "SystemTexts.h"

std::vector<ProtectedFile> RunOwnFiles(const std::string& folder,
                                       const std::vector<std::string>& logFolders,
                                       const std::vector<std::string>& portDevices)
{
    std::vector<ProtectedFile> files;
    for (const char* firm : {Texts::FirmFileFont, Texts::FirmFileDecoder, Texts::FirmFileOut})
        files.push_back({folder + firm, std::string("the firmware file ") + (firm + 1)});
    files.push_back({folder + "/" + Texts::SettingsFileName,
                     std::string("the settings file ") + Texts::SettingsFileName});
    files.push_back({folder + "/" + Texts::UpdateLogFileName,
                     std::string("the update log ") + Texts::UpdateLogFileName});
    for (const std::string& logFolder : logFolders)
        files.push_back({logFolder + "/" + Texts::UpdateLogFileName,
                         "the update log " + logFolder + "/" + Texts::UpdateLogFileName});
    for (const std::string& device : portDevices)
        files.push_back({device, "the port's device"});
    files.push_back({PortMapFilePath(), "the port map"});
    files.push_back({AssignedPortsFilePath(), "the file of remembered port numbers"});
    return files;
}
