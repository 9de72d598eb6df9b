// SPDX-License-Identifier: MIT
#include "FirmFileSet.h"

#include "FirmFileReader.h"
#include "SystemTexts.h"

namespace {

constexpr std::array<const char*, 3> FirmFileLookupNames{Texts::FirmFileFont,
                                                         Texts::FirmFileDecoder, Texts::FirmFileOut};

bool IsFileType(int32_t type)
{
    return type >= 1 && type <= 3;
}

}  // namespace

void FirmFileSet::BuildFirmFileList()
{
    size_t found = 0;
    for (const char* name : FirmFileLookupNames) {
        // The directory is asked for anew for each name, as the set has always done.
        const std::string directory = CurrentDirectory();
        if (directory.empty())
            continue;  // no directory to look in: nothing is found (never the root by accident)
        const std::string path = directory + name;
        if (FirmFileExists(path))
            FirmFileNames[found++] = path;
    }
    for (size_t slot = found; slot < FirmFileNames.size(); ++slot)
        FirmFileNames[slot].clear();
}

bool FirmFileSet::ReadFirmFiles()
{
    ReleaseFirmFiles();
    bool anyOpened = false;
    for (size_t slot = 0; slot < FirmFileNames.size(); ++slot) {
        const std::string& path = FirmFileNames[slot];
        if (path.empty() || !FirmFileExists(path))
            continue;
        FirmFileContents contents = ReadFirmFile(path);
        if (!contents.Opened)
            continue;
        anyOpened = true;
        FirmFileBuffers[slot] = std::move(contents.Block);
        FirmFileSizes[slot] = contents.Size;
    }
    return anyOpened;
}

int32_t FirmFileSet::GetFirstFirmFileType()
{
    FirmFileIndex = 0;
    while (GetFileSize(FirmFileTypeOrder[FirmFileIndex]) == 0 && FirmFileIndex < 3)
        ++FirmFileIndex;
    if (FirmFileIndex < 3)
        return FirmFileTypeOrder[FirmFileIndex];
    FirmFileIndex = 0;
    return 0;
}

int32_t FirmFileSet::GetNextFirmFileType()
{
    if (FirmFileTypeOrder[FirmFileIndex] == 3)
        return 0;  // the cursor stays on the last type
    ++FirmFileIndex;
    while (GetFileSize(FirmFileTypeOrder[FirmFileIndex]) == 0 && FirmFileIndex < 3)
        ++FirmFileIndex;
    if (FirmFileIndex < 3)
        return FirmFileTypeOrder[FirmFileIndex];
    FirmFileIndex = 0;
    return 0;
}

int32_t FirmFileSet::GetFileSize(int32_t type) const
{
    return IsFileType(type) ? FirmFileSizes[type - 1] : 0;
}

const uint8_t* FirmFileSet::GetFileBuffer(int32_t type) const
{
    return IsFileType(type) ? FirmFileBuffers[type - 1].get() : nullptr;
}

std::string FirmFileSet::GetFirmFileName(int32_t type)
{
    std::string name;
    if (IsFileType(type) && FirmFileSizes[type - 1] > 0)
        name = FirmFileNames[type - 1];
    if (ShowStatusText)
        ShowStatusText(name);
    return name;
}

void FirmFileSet::ReleaseFirmFiles()
{
    for (size_t slot = 0; slot < FirmFileBuffers.size(); ++slot) {
        FirmFileBuffers[slot].reset();
        FirmFileSizes[slot] = 0;
    }
}
