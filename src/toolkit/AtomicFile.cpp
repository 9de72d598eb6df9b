// SPDX-License-Identifier: MIT
#include "AtomicFile.h"

#include <cerrno>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <string>
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

mode_t CurrentUmask()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Umask:", 0) != 0)
            continue;
        try {
            return static_cast<mode_t>(std::stoul(line.substr(6), nullptr, 8)) & 0777;
        } catch (const std::exception&) {
            break;
        }
    }
    return 022;  // no /proc: the usual mask
}

AtomicWriteResult ReplaceFileAtomically(const std::string& path, const std::string& bytes)
{
    std::string temp = path + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        return AtomicWriteResult::CreateFailed;

    // mkstemp creates the file 0600; a log or settings file is as readable as any other. The
    // mask is read, never set: umask() changes it for every thread of the process at once.
    ::fchmod(fd, 0666 & ~CurrentUmask());

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
