// SPDX-License-Identifier: MIT
#include "FolderLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <cerrno>

FolderLock::Result FolderLock::Take(const std::string& folder)
{
    Release();
    LastError = 0;
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        LastError = errno;  // EACCES: a folder this user may enter but not list
        return Result::Failed;
    }
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR)
            continue;
        const int error = errno;
        ::close(fd);
        if (error == EWOULDBLOCK)
            return Result::Busy;
        LastError = error;
        return error == ENOLCK || error == EOPNOTSUPP || error == ENOSYS ? Result::Unlocked
                                                                         : Result::Failed;
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
