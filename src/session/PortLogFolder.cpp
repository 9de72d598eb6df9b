// SPDX-License-Identifier: MIT
#include "PortLogFolder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

namespace {

// Closes a descriptor when it goes.
struct Descriptor {
    int Fd = -1;
    ~Descriptor()
    {
        if (Fd >= 0)
            ::close(Fd);
    }
};

std::string Reason(int error)
{
    const char* text = ::strerrordesc_np(error);
    return text ? text : "error " + std::to_string(error);
}

}  // namespace

std::string PreparePortLogFolder(const std::string& workFolder, const std::string& name)
{
    const std::string folder = workFolder + "/" + name;
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos)
        return "cannot use " + folder + " for the log: not a folder name";
    // Everything relative to the working folder's own descriptor: nothing on the way is looked
    // up twice. O_PATH needs no right to list the folder, only to enter it.
    Descriptor work{::open(workFolder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC)};
    if (work.Fd < 0)
        return "cannot use the working folder " + workFolder + ": " + Reason(errno);
    if (::mkdirat(work.Fd, name.c_str(), 0777) != 0 && errno != EEXIST)
        return "cannot make the log folder " + folder + ": " + Reason(errno);
    struct stat info {};
    if (::fstatat(work.Fd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0)
        return "cannot use the log folder " + folder + ": " + Reason(errno);
    if (S_ISLNK(info.st_mode))
        return folder + " is a symbolic link, not a folder: the log is not written through it";
    if (!S_ISDIR(info.st_mode))
        return folder + " is a file, not a folder: the log cannot go there";
    Descriptor own{::openat(work.Fd, name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)};
    if (own.Fd < 0)
        return "cannot use the log folder " + folder + ": " + Reason(errno);
    return {};
}
