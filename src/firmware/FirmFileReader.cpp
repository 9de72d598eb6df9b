// SPDX-License-Identifier: MIT
#include "FirmFileReader.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

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

// The file is to be read with no other opener sharing it. Linux has no share modes; the
// nearest is an exclusive advisory lock: a program that holds the file locked (shared or
// exclusive) makes the open fail, and one that asks for a lock while we read waits or fails.
// Where the file system cannot lock at all, reading goes on unlocked.
bool LockExclusively(int fd)
{
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR)
            continue;
        return errno != EWOULDBLOCK;  // held by another opener: fail; no locking here: go on
    }
    return true;
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

}  // namespace

FirmFileContents ReadFirmFile(const std::string& path)
{
    FirmFileContents contents;
    // O_NONBLOCK keeps a FIFO under a firmware name from blocking the open; it has no effect
    // on a regular file.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return contents;
    if (!LockExclusively(fd)) {
        ::close(fd);
        return contents;
    }
    contents.Opened = true;

    const off_t end = ::lseek(fd, 0, SEEK_END);
    // A size that does not fit the signed 32-bit count (2 GiB or more) holds no data, like a
    // failed seek.
    if (end > 0 && end <= INT32_MAX && ::lseek(fd, 0, SEEK_SET) == 0) {
        auto block = std::make_unique<uint8_t[]>(static_cast<size_t>(end));
        const int64_t read = ReadWhole(fd, block.get(), end);
        if (read > 0) {
            contents.Block = std::move(block);
            contents.Size = static_cast<int32_t>(read);
        }
    }
    ::close(fd);  // also drops the lock
    return contents;
}
