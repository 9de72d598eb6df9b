// SPDX-License-Identifier: MIT
#include "StandardDescriptors.h"

#include <fcntl.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>
#include <cstring>

bool EnsureStandardDescriptors()
{
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        // The lowest free number is taken, and every lower one is open by now: it lands on fd.
        const int opened = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (opened < 0)
            return false;
        if (opened != fd) {
            const bool moved = ::dup2(opened, fd) == fd;
            ::close(opened);
            if (!moved)
                return false;
        }
    }
    return true;
}

bool FinishStandardOutput(const char* program)
{
    errno = 0;
    const bool flushed = std::fflush(stdout) == 0;
    const int error = errno;
    if (flushed && !std::ferror(stdout))
        return true;
    // An error met by an earlier write leaves only the stream's error flag.
    const char* reason = error != 0 ? ::strerrordesc_np(error) : nullptr;
    std::fprintf(stderr, "%s: cannot write to standard output: %s\n", program,
                 reason ? reason : "a write failed");
    return false;
}
