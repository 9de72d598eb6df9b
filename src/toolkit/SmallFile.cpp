// SPDX-License-Identifier: MIT
#include "SmallFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

const char* NotRegularFileReason(mode_t mode)
{
    if (S_ISDIR(mode))
        return "it is a directory";
    if (S_ISFIFO(mode))
        return "it is a named pipe (FIFO)";
    if (S_ISSOCK(mode))
        return "it is a socket";
    if (S_ISCHR(mode))
        return "it is a character device";
    if (S_ISBLK(mode))
        return "it is a block device";
    return "it is not a regular file";
}

namespace {

SmallFileRead Failed(SmallFileStatus status, int error)
{
    SmallFileRead result;
    result.Status = status;
    result.Error = error;
    const char* text = ::strerrordesc_np(error);  // the same words in every locale
    result.Reason = text ? text : "error " + std::to_string(error);
    return result;
}

SmallFileRead NotRegular(mode_t mode)
{
    SmallFileRead result;
    result.Status = SmallFileStatus::NotRegular;
    result.Reason = NotRegularFileReason(mode);
    return result;
}

}  // namespace

SmallFileRead ReadSmallFile(const std::string& path, size_t limit)
{
    // Looked at before it is opened: opening a serial device would already change its lines.
    struct stat before {};
    if (::stat(path.c_str(), &before) != 0)
        return Failed(errno == ENOENT ? SmallFileStatus::Missing : SmallFileStatus::Unreadable,
                      errno);
    if (!S_ISREG(before.st_mode))
        return NotRegular(before.st_mode);

    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return Failed(errno == ENOENT ? SmallFileStatus::Missing : SmallFileStatus::Unreadable,
                      errno);
    struct stat opened {};
    if (::fstat(fd, &opened) != 0) {
        const int error = errno;
        ::close(fd);
        return Failed(SmallFileStatus::Unreadable, error);
    }
    if (!S_ISREG(opened.st_mode)) {  // replaced between the look and the open
        ::close(fd);
        return NotRegular(opened.st_mode);
    }

    SmallFileRead result;
    result.Status = SmallFileStatus::Ok;
    // One byte beyond the limit tells a file of exactly `limit` bytes from a longer one.
    result.Bytes.resize(limit + 1);
    size_t got = 0;
    while (got < result.Bytes.size()) {
        const ssize_t n = ::read(fd, result.Bytes.data() + got, result.Bytes.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int error = errno;
            ::close(fd);
            return Failed(SmallFileStatus::Unreadable, error);
        }
        if (n == 0)
            break;
        got += static_cast<size_t>(n);
    }
    ::close(fd);
    if (got > limit) {
        result.Status = SmallFileStatus::TooLarge;
        result.Reason = "it is larger than " + std::to_string(limit) + " bytes";
        got = limit;
    }
    result.Bytes.resize(got);
    return result;
}

std::string_view WholeLinesOf(std::string_view bytes)
{
    const size_t lastNewline = bytes.rfind('\n');
    return lastNewline == std::string_view::npos ? std::string_view{}
                                                 : bytes.substr(0, lastNewline + 1);
}
