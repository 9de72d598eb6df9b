// SPDX-License-Identifier: MIT
#include "AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <string>

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

// What the new file takes over from the one it replaces.
struct Heritage {
    bool Existing = false;
    struct stat Old {};
};

AtomicWriteResult Replace(const std::string& path, const std::string& bytes, const Heritage& from)
{
    std::string temp = path + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        return AtomicWriteResult::CreateFailed;

    if (from.Existing) {
        // Only root can hand the file to another owner; anyone else owns the old one already.
        // The mode comes after, as a change of owner may clear set-id bits.
        if (::fchown(fd, from.Old.st_uid, from.Old.st_gid) != 0) {
            // not an error: the new file stays the writer's
        }
        ::fchmod(fd, from.Old.st_mode & 07777);
    } else {
        // mkstemp creates the file 0600; a log or settings file is as readable as any other. The
        // mask is read, never set: umask() changes it for every thread of the process at once.
        ::fchmod(fd, 0666 & ~CurrentUmask());
    }

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

// The file a path ends in after its symbolic links; the path itself when it names nothing yet
// (a dangling link gives the missing target). False with errno (ELOOP for a cycle) on failure.
bool FollowLinks(std::string& path)
{
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0)
            return errno == ENOENT;
        if (!S_ISLNK(st.st_mode))
            return true;
        char target[PATH_MAX];
        const ssize_t n = ::readlink(path.c_str(), target, sizeof target - 1);
        if (n < 0)
            return false;
        const std::string next(target, static_cast<size_t>(n));
        const auto slash = path.rfind('/');
        const bool relative = next.front() != '/' && slash != std::string::npos;
        path = relative ? path.substr(0, slash + 1) + next : next;
    }
    errno = ELOOP;
    return false;
}

}  // namespace

AtomicWriteResult ReplaceFileAtomically(const std::string& path, const std::string& bytes)
{
    return Replace(path, bytes, {});
}

AtomicWriteResult ReplaceFileInPlace(const std::string& path, const std::string& bytes)
{
    std::string target = path;
    if (!FollowLinks(target))
        return AtomicWriteResult::CreateFailed;
    Heritage heritage;
    if (::stat(target.c_str(), &heritage.Old) == 0) {
        heritage.Existing = true;
        if (!S_ISREG(heritage.Old.st_mode)) {
            errno = S_ISDIR(heritage.Old.st_mode) ? EISDIR : EINVAL;
            return AtomicWriteResult::CreateFailed;
        }
        // Read-only for everyone is read-only for root as well.
        if ((heritage.Old.st_mode & 0222) == 0 || ::access(target.c_str(), W_OK) != 0) {
            errno = EACCES;
            return AtomicWriteResult::CreateFailed;
        }
    } else if (errno != ENOENT) {
        return AtomicWriteResult::CreateFailed;
    }
    return Replace(target, bytes, heritage);
}
