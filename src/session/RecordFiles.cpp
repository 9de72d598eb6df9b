// SPDX-License-Identifier: MIT
#include "RecordFiles.h"

#include "SmallFile.h"

#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

ScopedFd::~ScopedFd()
{
    if (Value >= 0)
        ::close(Value);
}

std::string SystemErrorText(int error)
{
    const char* text = ::strerrordesc_np(error);
    return text ? text : "error " + std::to_string(error);
}

std::string RefusedKind(mode_t mode)
{
    if (S_ISLNK(mode))
        return "it is a symbolic link (only a real file or folder is written into)";
    return NotRegularFileReason(mode);
}

std::string CannotCreateIn(const std::string& folder)
{
    if (::access(folder.c_str(), W_OK | X_OK) == 0)
        return {};
    return "it cannot be created in " + folder + ": " + SystemErrorText(errno);
}
