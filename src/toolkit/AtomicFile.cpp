// SPDX-License-Identifier: MIT
#include "AtomicFile.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool WriteAll(int fd, const std::string& bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

AtomicWriteResult ReplaceFileAtomically(const std::string& path, const std::string& bytes)
{
    std::string temp = path + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        return AtomicWriteResult::CreateFailed;

    // mkstemp creates the file 0600; a log or settings file is as readable as any other.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);

    const bool written = WriteAll(fd, bytes) && ::fsync(fd) == 0;
    const int writeErrno = errno;
    if (::close(fd) != 0 || !written) {
        ::unlink(temp.c_str());
        errno = written ? errno : writeErrno;
        return AtomicWriteResult::WriteFailed;
    }
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        const int renameErrno = errno;
        ::unlink(temp.c_str());
        errno = renameErrno;
        return AtomicWriteResult::RenameFailed;
    }
    return AtomicWriteResult::Ok;
}
