// SPDX-License-Identifier: MIT
#include "UpdateRun.h"

#include "FirmFileReader.h"
#include "SystemTexts.h"

#include <climits>
#include <cstdlib>

UpdateRun::UpdateRun(const std::string& folder)
{
    // The folder as the system names it (symbolic links resolved), as the current directory
    // would name it: the paths in the update log stay the same either way.
    if (folder.empty()) {
        RunFolder = CurrentDirectory();
    } else if (char* real = realpath(folder.c_str(), nullptr)) {
        RunFolder = real;
        std::free(real);
    } else {
        RunFolder = folder;
    }
    Files.Folder = RunFolder;
}

bool UpdateRun::ReadFiles()
{
    Files.BuildFirmFileList();
    return Files.ReadFirmFiles();
}

std::vector<RunFile> UpdateRun::FilesToSend() const
{
    std::vector<RunFile> list;
    for (int32_t type : FirmFileSet::FirmFileTypeOrder) {
        const int32_t size = Files.GetFileSize(type);
        if (type == 0 || size <= 0)
            continue;
        const uint8_t* bytes = Files.GetFileBuffer(type);
        list.push_back({Files.FirmFileNames[static_cast<size_t>(type - 1)], size,
                        Sha256Hex(bytes, static_cast<size_t>(size))});
    }
    return list;
}

std::string UpdateRun::UpdateLogPath() const
{
    return RunFolder + "/" + Texts::UpdateLogFileName;
}
