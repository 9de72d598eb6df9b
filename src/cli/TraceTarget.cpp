// SPDX-License-Identifier: MIT
#include "TraceTarget.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace {

std::string Reason(int error)
{
    const char* text = ::strerrordesc_np(error);
    return text ? text : "error " + std::to_string(error);
}

// What a file of this kind is, when it is no file a trace may replace.
std::string KindProblem(const struct stat& info)
{
    if (S_ISREG(info.st_mode))
        return {};
    if (S_ISDIR(info.st_mode))
        return "is a folder";
    if (S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode))
        return "is a device";
    if (S_ISFIFO(info.st_mode))
        return "is a FIFO";
    if (S_ISSOCK(info.st_mode))
        return "is a socket";
    return "is no regular file";
}

// The protected file the opened or existing file is (by device and inode: hard links, and
// symbolic links followed); empty when none.
std::string ProtectedProblem(const struct stat& info, const TraceTarget& target)
{
    for (const auto& [path, name] : target.Protected) {
        struct stat other {};
        if (::stat(path.c_str(), &other) == 0 && other.st_dev == info.st_dev &&
            other.st_ino == info.st_ino)
            return "is " + name;
    }
    return {};
}

std::string RealPath(const std::string& path)
{
    char* real = ::realpath(path.c_str(), nullptr);
    if (!real)
        return {};
    std::string resolved(real);
    std::free(real);
    return resolved;
}

}  // namespace

TraceTarget TraceTargetOf(const std::string& path, const std::string& workFolder)
{
    TraceTarget target;
    target.Path = path == "-" || (!path.empty() && path[0] == '/') ? path : workFolder + "/" + path;
    return target;
}

std::string TraceTargetProblem(const TraceTarget& target)
{
    if (target.Stderr())
        return {};
    struct stat info {};
    if (::stat(target.Path.c_str(), &info) == 0) {
        const std::string own = ProtectedProblem(info, target);
        return own.empty() ? KindProblem(info) : own;
    }
    if (errno != ENOENT)
        return Reason(errno);
    // Nothing there yet (or a link to nothing): the folder must be there, and the file it would
    // be must not be one of the run's own that is yet to be written (a log).
    struct stat link {};
    const bool dangling = ::lstat(target.Path.c_str(), &link) == 0;
    if (dangling)
        return "is a symbolic link to nothing";
    const size_t slash = target.Path.rfind('/');
    const std::string folder = slash == 0 ? "/" : target.Path.substr(0, slash);
    const std::string realFolder = RealPath(folder);
    struct stat folderInfo {};
    if (realFolder.empty() || ::stat(realFolder.c_str(), &folderInfo) != 0 ||
        !S_ISDIR(folderInfo.st_mode))
        return "no such folder";
    const std::string canonical = realFolder + target.Path.substr(slash);
    for (const auto& [path, name] : target.Protected) {
        const size_t cut = path.rfind('/');
        const std::string protectedFolder = RealPath(path.substr(0, cut == 0 ? 1 : cut));
        if (!protectedFolder.empty() && protectedFolder + path.substr(cut) == canonical)
            return "is " + name;
    }
    return {};
}

int OpenTraceTarget(const TraceTarget& target, std::string& problem)
{
    if (target.Stderr())
        return STDERR_FILENO;
    // Checked again right before: the path may have changed since the first check.
    problem = TraceTargetProblem(target);
    if (!problem.empty())
        return -1;
    // No O_TRUNC: nothing is emptied before the open file is known to be the right kind. A FIFO
    // without a reader fails at once instead of blocking. A file that was not there is made
    // new, never through a link and never over one that appeared meanwhile.
    constexpr int Flags = O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    int fd = ::open(target.Path.c_str(), Flags);
    if (fd < 0 && errno == ENOENT)
        fd = ::open(target.Path.c_str(), Flags | O_CREAT | O_EXCL | O_NOFOLLOW, 0666);
    if (fd < 0) {
        problem = Reason(errno);
        return -1;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        problem = Reason(errno);
    else
        problem = ProtectedProblem(info, target);
    if (problem.empty())
        problem = KindProblem(info);
    if (problem.empty() && ::ftruncate(fd, 0) != 0)
        problem = Reason(errno);
    if (!problem.empty()) {
        ::close(fd);
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}
