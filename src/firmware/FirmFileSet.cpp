// SPDX-License-Identifier: MIT
#include "FirmFileSet.h"

#include "FirmFileReader.h"
#include "SystemTexts.h"

namespace {

constexpr std::array<const char*, 3> FirmFileLookupNames{
    Texts::FirmFileFont, Texts::FirmFileDecoder, Texts::FirmFileOut};

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
        const std::string directory = Folder.empty() ? CurrentDirectory() : Folder;
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
    Problem = {};
    // All files are opened (and locked) before any is read, so that a set too large for a run
    // is refused before its memory is taken.
    std::array<std::unique_ptr<FirmFile>, 3> files;
    bool anyOpened = false;
    int64_t total = 0;
    for (size_t slot = 0; slot < FirmFileNames.size(); ++slot) {
        const std::string& path = FirmFileNames[slot];
        if (path.empty() || !FirmFileExists(path))
            continue;
        auto file = std::make_unique<FirmFile>(path);
        if (!file->Problem().empty()) {
            Problem = {path, file->Problem()};
            return false;
        }
        if (!file->Opened())
            continue;
        anyOpened = true;
        total += file->Size();
        files[slot] = std::move(file);
    }
    if (total > MaxTotalSize) {
        Problem = {{},
                   "together they come to " + std::to_string(total) + " bytes, more than 1 GiB (" +
                       std::to_string(MaxTotalSize) + " bytes)"};
        return false;
    }
    for (size_t slot = 0; slot < files.size(); ++slot) {
        if (!files[slot])
            continue;
        FirmFileContents contents = files[slot]->Read();
        if (!files[slot]->Problem().empty()) {
            Problem = {FirmFileNames[slot], files[slot]->Problem()};
            ReleaseFirmFiles();
            return false;
        }
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
