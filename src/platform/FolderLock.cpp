// SPDX-License-Identifier: MIT
#include "FolderLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <cerrno>

FolderLock::Result FolderLock::Take(const std::string& folder)
{
    Release();
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return Result::Unlocked;  // e.g. a folder this user may enter but not list
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR)
            continue;
        const int error = errno;
        ::close(fd);
        return error == EWOULDBLOCK ? Result::Busy : Result::Unlocked;
    }
    Fd = fd;
    return Result::Taken;
}

void FolderLock::Release()
{
    if (Fd < 0)
        return;
    ::close(Fd);  // also drops the lock
    Fd = -1;
}
