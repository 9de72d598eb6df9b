// SPDX-License-Identifier: MIT
// Test support: a regular file that cannot be opened for reading, for root too. Root opens any
// file whatever its mode, but not a write-only attribute of sysfs; anyone else gets a file of
// mode 000 in `dir`. Empty when this machine has neither.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

inline std::string UnopenableRegularFile(const std::filesystem::path& dir)
{
    if (::geteuid() != 0) {
        const auto file = dir / "unreadable";
        std::ofstream(file) << "x";
        ::chmod(file.c_str(), 0);
        return file.string();
    }
    std::error_code error;
    for (const auto& bus : std::filesystem::directory_iterator("/sys/bus", error)) {
        const auto attribute = bus.path() / "uevent";
        struct stat info {};
        if (::stat(attribute.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
            continue;
        const int fd = ::open(attribute.c_str(), O_RDONLY);
        if (fd < 0)
            return attribute.string();
        ::close(fd);
    }
    return {};
}
