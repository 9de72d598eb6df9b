// SPDX-License-Identifier: MIT
#include "FirmFileReader.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>
#include <new>

bool FirmFileExists(const std::string& path)
{
    struct stat info {};
    return !path.empty() && ::stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

std::string CurrentDirectory()
{
    std::string buffer(256, '\0');
    for (;;) {
        if (::getcwd(buffer.data(), buffer.size()) != nullptr) {
            buffer.resize(std::char_traits<char>::length(buffer.c_str()));
            return buffer;
        }
        if (errno != ERANGE)
            return {};
        buffer.resize(buffer.size() * 2);
    }
}

namespace {

// The system's own wording, independent of the locale.
std::string Meaning(int error)
{
    if (const char* text = ::strerrordesc_np(error))
        return text;
    return "error " + std::to_string(error);
}

enum class Lock { Taken, Held, Unsupported };

// The file is to be read with no other opener sharing it. Linux has no share modes; the
// nearest is an exclusive advisory lock: a program that holds the file locked (shared or
// exclusive) makes the open fail, and one that asks for a lock while we read waits or fails.
// Where the file system cannot lock at all, reading goes on unlocked.
Lock LockExclusively(int fd)
{
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR)
            continue;
        return errno == EWOULDBLOCK ? Lock::Held : Lock::Unsupported;
    }
    return Lock::Taken;
}

// Reads up to `size` bytes, as many as the file gives; -1 on a failed read.
int64_t ReadWhole(int fd, uint8_t* block, int64_t size)
{
    int64_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(fd, block + done, static_cast<size_t>(size - done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (n == 0)
            break;  // the file is shorter than it was when its size was taken
        done += n;
    }
    return done;
}

bool IsRegularFile(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace

FirmFile::FirmFile(const std::string& path) : Regular(IsRegularFile(path))
{
    // O_NONBLOCK keeps a FIFO under a firmware name from blocking the open; it has no effect
    // on a regular file.
    Fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (Fd < 0) {
        // A file that has gone since it was listed is skipped like any missing one.
        if (Regular && errno != ENOENT && errno != ENOTDIR)
            Reason = "it cannot be opened for reading (" + Meaning(errno) + ")";
        return;
    }
    if (LockExclusively(Fd) == Lock::Held) {
        ::close(Fd);
        Fd = -1;
        if (Regular)
            Reason = "another program has it locked";
        return;
    }
    // What was opened decides, whatever the name pointed to when it was looked at.
    struct stat info {};
    Regular = ::fstat(Fd, &info) == 0 && S_ISREG(info.st_mode);
    // The size by seeking, as the set has always learnt it; a FIFO fails the seek and yields
    // no data.
    const off_t end = ::lseek(Fd, 0, SEEK_END);
    if (Regular && end > MaxSize) {
        Reason = "it is 2 GiB or more (" + std::to_string(end) + " bytes)";
        return;
    }
    if (end > 0 && end <= MaxSize && ::lseek(Fd, 0, SEEK_SET) == 0)
        Length = end;
}

FirmFile::~FirmFile()
{
    if (Fd >= 0)
        ::close(Fd);  // also drops the lock
}

FirmFileContents FirmFile::Read()
{
    FirmFileContents contents;
    if (Fd < 0 || !Reason.empty() || Length <= 0)
        return contents;
    std::unique_ptr<uint8_t[]> block(new (std::nothrow) uint8_t[static_cast<size_t>(Length)]);
    if (!block) {
        Reason = "there is not enough memory to read it (" + std::to_string(Length) + " bytes)";
        return contents;
    }
    const int64_t read = ReadWhole(Fd, block.get(), Length);
    if (read < 0) {
        if (Regular)
            Reason = "reading it failed (" + Meaning(errno) + ")";
        return contents;
    }
    if (read > 0) {
        contents.Block = std::move(block);
        contents.Size = static_cast<int32_t>(read);
    }
    return contents;
}
