// SPDX-License-Identifier: MIT
#include "FirmwareFiles.h"

#include "SentLength.h"
#include "SystemTexts.h"

#include <sys/stat.h>

#include <iterator>

namespace {

constexpr const char* FirmNames[] = {Texts::FirmFileFont, Texts::FirmFileDecoder,
                                     Texts::FirmFileOut};

// What tells that a file changed without reading it.
struct FileStamp {
    bool There = false;
    dev_t Device = 0;
    ino_t Inode = 0;
    off_t Size = 0;
    timespec Modified{};
    timespec Changed{};

    bool operator==(const FileStamp& o) const
    {
        return There == o.There && Device == o.Device && Inode == o.Inode && Size == o.Size &&
               Modified.tv_sec == o.Modified.tv_sec && Modified.tv_nsec == o.Modified.tv_nsec &&
               Changed.tv_sec == o.Changed.tv_sec && Changed.tv_nsec == o.Changed.tv_nsec;
    }
};

FileStamp StampOf(const std::string& path)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return {};
    return {true, info.st_dev, info.st_ino, info.st_size, info.st_mtim, info.st_ctim};
}

// The file of `path` among those read; null when it was not.
const RunFile* Sent(const std::vector<RunFile>& files, const std::string& path)
{
    for (const RunFile& file : files)
        if (file.Path == path)
            return &file;
    return nullptr;
}

bool SameRead(const RunFile* a, const RunFile* b)
{
    if (!a || !b)
        return a == b;
    return a->Size == b->Size && a->Sha256 == b->Sha256 && a->ToSend == b->ToSend;
}

}  // namespace

std::shared_ptr<const FirmwareFiles> FirmwareFiles::Read(const std::string& folder)
{
    return ReadSet(folder);
}

std::shared_ptr<const FirmwareFiles> FirmwareFiles::ReadUnchanged(
    const std::string& folder, const std::function<void()>& betweenReads)
{
    std::vector<FileStamp> before;
    for (const char* name : FirmNames)
        before.push_back(StampOf(folder + name));
    std::shared_ptr<FirmwareFiles> first = ReadSet(folder);
    if (betweenReads)
        betweenReads();
    const std::shared_ptr<const FirmwareFiles> second = ReadSet(folder);
    if (!first->Set.Problem.Empty())
        return first;
    for (size_t i = 0; i < std::size(FirmNames); ++i) {
        const std::string path = folder + FirmNames[i];
        if (before[i] == StampOf(path) &&
            SameRead(Sent(first->Files, path), Sent(second->Files, path)))
            continue;
        first->Set.Problem = {path, "it changed while it was being read"};
        break;
    }
    return first;
}

std::shared_ptr<FirmwareFiles> FirmwareFiles::ReadSet(const std::string& folder)
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
    for (const char* name : FirmNames) {
        const std::string path = folder + name;
        struct stat info {};
        if (::stat(path.c_str(), &info) != 0 || S_ISDIR(info.st_mode))
            files->MissingPaths.push_back(path);
        else if (S_ISREG(info.st_mode) && info.st_size == 0)
            files->EmptyPaths.push_back(path);
    }
    return files;
}
