// SPDX-License-Identifier: MIT
#include "FirmwareFiles.h"

#include "SentLength.h"
#include "SystemTexts.h"

#include <sys/stat.h>

std::shared_ptr<const FirmwareFiles> FirmwareFiles::Read(const std::string& folder)
{
    auto files = std::make_shared<FirmwareFiles>();
    files->Set.Folder = folder;
    files->Set.BuildFirmFileList();
    files->AnyRead = files->Set.ReadFirmFiles();
    for (int32_t type : FirmFileSet::FirmFileTypeOrder) {
        const int32_t size = files->Set.GetFileSize(type);
        if (type == 0 || size <= 0)
            continue;
        const uint8_t* bytes = files->Set.GetFileBuffer(type);
        files->Files.push_back({files->Set.FirmFileNames[static_cast<size_t>(type - 1)], size,
                                Sha256Hex(bytes, static_cast<size_t>(size)),
                                BytesSentOf(bytes, size)});
    }
    for (const char* name : {Texts::FirmFileFont, Texts::FirmFileDecoder, Texts::FirmFileOut}) {
        const std::string path = folder + name;
        struct stat info {};
        if (::stat(path.c_str(), &info) != 0 || S_ISDIR(info.st_mode))
            files->MissingPaths.push_back(path);
        else if (S_ISREG(info.st_mode) && info.st_size == 0)
            files->EmptyPaths.push_back(path);
    }
    return files;
}
