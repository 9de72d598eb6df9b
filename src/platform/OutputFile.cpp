// SPDX-License-Identifier: MIT
#include "OutputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace {

// Where a name leads: the folders resolved, the last component's links followed one by one.
struct Resolved {
    std::string Target;
    bool Exists = false;
    bool ViaLink = false;
    struct stat Info {};
    std::string Reason;  // the name leads nowhere that could be written
};

std::string ErrorText(int error)
{
    const char* text = ::strerrordesc_np(error);  // the same words in every locale
    return text ? text : "error " + std::to_string(error);
}

Resolved Resolve(std::string path)
{
    Resolved result;
    for (int hops = 0; hops < 40; ++hops) {
        const size_t slash = path.rfind('/');
        const std::string folder = slash == std::string::npos ? "."
                                   : slash == 0               ? "/"
                                                              : path.substr(0, slash);
        const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
        if (base.empty() || base == "." || base == "..") {
            // Names that can only be folders.
            struct stat st {};
            result.Reason = ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)
                                ? "is a directory"
                                : "no such folder";
            return result;
        }
        char* real = ::realpath(folder.c_str(), nullptr);
        if (!real) {
            result.Reason =
                errno == ENOENT || errno == ENOTDIR ? "no such folder" : ErrorText(errno);
            return result;
        }
        const std::string realFolder(real);
        std::free(real);
        const std::string candidate = (realFolder == "/" ? "" : realFolder) + "/" + base;
        struct stat st {};
        if (::lstat(candidate.c_str(), &st) != 0) {
            if (errno != ENOENT) {
                result.Reason = errno == ENOTDIR ? "no such folder" : ErrorText(errno);
                return result;
            }
            result.Target = candidate;
            return result;
        }
        if (!S_ISLNK(st.st_mode)) {
            result.Target = candidate;
            result.Exists = true;
            result.Info = st;
            return result;
        }
        char link[PATH_MAX];
        const ssize_t n = ::readlink(candidate.c_str(), link, sizeof link - 1);
        if (n <= 0) {
            result.Reason = ErrorText(n < 0 ? errno : ENOENT);
            return result;
        }
        const std::string next(link, static_cast<size_t>(n));
        path = next.front() == '/' ? next : realFolder + "/" + next;
        result.ViaLink = true;
    }
    result.Reason = ErrorText(ELOOP);
    return result;
}

struct Guarded {
    std::string What;
    Resolved Where;
};

std::vector<Guarded> ResolveAll(const std::vector<ProtectedFile>& files)
{
    std::vector<Guarded> guarded;
    for (const ProtectedFile& file : files) {
        Resolved where = Resolve(file.Path);
        if (where.Reason.empty())
            guarded.push_back({file.What, std::move(where)});
    }
    return guarded;
}

bool SameFile(const struct stat& a, const struct stat& b)
{
    if (a.st_dev == b.st_dev && a.st_ino == b.st_ino)
        return true;
    // Another node of the same device (a copy made with mknod) is that device too.
    const bool charDevices = S_ISCHR(a.st_mode) && S_ISCHR(b.st_mode);
    const bool blockDevices = S_ISBLK(a.st_mode) && S_ISBLK(b.st_mode);
    return (charDevices || blockDevices) && a.st_rdev == b.st_rdev;
}

// Why the file `target` (with `info` when it exists) must not be written; "" when it may.
std::string Refusal(const std::string& target, bool exists, const struct stat& info, bool viaLink,
                    const std::vector<Guarded>& guarded)
{
    for (const Guarded& file : guarded) {
        const bool samePath = file.Where.Target == target;
        const bool sameFile = exists && file.Where.Exists && SameFile(info, file.Where.Info);
        if (!samePath && !sameFile)
            continue;
        if (viaLink)
            return "leads to " + file.What;
        if (!samePath && S_ISREG(info.st_mode))
            return "is another name for " + file.What;  // a hard link
        return "is " + file.What;
    }
    if (!exists || S_ISREG(info.st_mode))
        return {};
    if (S_ISDIR(info.st_mode))
        return "is a directory";
    if (S_ISCHR(info.st_mode))
        return "is a character device";
    if (S_ISBLK(info.st_mode))
        return "is a block device";
    if (S_ISFIFO(info.st_mode))
        return "is a FIFO";
    if (S_ISSOCK(info.st_mode))
        return "is a socket";
    return "is not a regular file";
}

OutputFileCheck Check(const std::string& name, const std::string& folder,
                      const std::vector<Guarded>& guarded)
{
    OutputFileCheck check;
    const bool relative = !name.empty() && name.front() != '/';
    const bool here = folder.empty() || folder == ".";
    const std::string joined =
        relative ? (folder.empty() ? "." : folder) + (folder.ends_with('/') ? "" : "/") + name
                 : name;
    check.Shown = relative && !here ? joined : name;
    if (name == "-") {
        check.Stderr = true;
        return check;
    }
    if (name.empty()) {
        check.Reason = "no file named";
        return check;
    }
    const Resolved where = Resolve(joined);
    if (!where.Reason.empty()) {
        check.Reason = where.Reason;
        return check;
    }
    check.Target = where.Target;
    check.Reason = Refusal(where.Target, where.Exists, where.Info, where.ViaLink, guarded);
    return check;
}

std::string OpenFailure(int error)
{
    switch (error) {
    case ELOOP: return "became a symbolic link after it was checked";
    case ENXIO: return "is a FIFO";  // no reader: a non-blocking open for writing says so
    case ENOENT:
    case ENOTDIR: return "no such folder";
    case EISDIR: return "is a directory";
    default: return ErrorText(error);
    }
}

}  // namespace

OutputFileCheck CheckOutputFile(const std::string& name, const std::string& folder,
                                const std::vector<ProtectedFile>& protectedFiles)
{
    return Check(name, folder, ResolveAll(protectedFiles));
}

OutputFile::~OutputFile()
{
    if (Owned && Descriptor >= 0)
        ::close(Descriptor);
}

OutputFile::OutputFile(OutputFile&& other) noexcept
    : Descriptor(std::exchange(other.Descriptor, -1)), Owned(std::exchange(other.Owned, false))
{
}

OutputFile& OutputFile::operator=(OutputFile&& other) noexcept
{
    if (this != &other) {
        if (Owned && Descriptor >= 0)
            ::close(Descriptor);
        Descriptor = std::exchange(other.Descriptor, -1);
        Owned = std::exchange(other.Owned, false);
    }
    return *this;
}

OutputFileOpen OpenOutputFile(const std::string& name, const std::string& folder,
                              const std::vector<ProtectedFile>& protectedFiles)
{
    const std::vector<Guarded> guarded = ResolveAll(protectedFiles);
    OutputFileOpen result;
    result.Check = Check(name, folder, guarded);
    if (!result.Check.Ok())
        return result;
    if (result.Check.Stderr) {
        result.File = OutputFile(STDERR_FILENO, false);
        return result;
    }

    // Never waits (a FIFO, a terminal's carrier), never becomes a controlling terminal, never
    // follows a link put in place since the check.
    const std::string& path = result.Check.Target;
    constexpr int flags = O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    bool created = true;
    int fd = ::open(path.c_str(), flags | O_CREAT | O_EXCL, 0666);
    if (fd < 0 && errno == EEXIST) {
        created = false;
        fd = ::open(path.c_str(), flags);
    }
    if (fd < 0) {
        result.Check.Reason = OpenFailure(errno);
        return result;
    }
    OutputFile file(fd, true);
    struct stat opened {};
    if (::fstat(fd, &opened) != 0) {
        result.Check.Reason = ErrorText(errno);
    } else {
        // What was opened is judged itself: the name may lead elsewhere by now.
        result.Check.Reason = Refusal(path, true, opened, false, guarded);
        if (result.Check.Ok() && !S_ISREG(opened.st_mode))
            result.Check.Reason = "is not a regular file";
    }
    if (result.Check.Ok() && !created && ::ftruncate(fd, 0) != 0)
        result.Check.Reason = ErrorText(errno);
    if (!result.Check.Ok()) {
        if (created)
            ::unlink(path.c_str());
        return result;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    result.File = std::move(file);
    return result;
}
