// SPDX-License-Identifier: MIT
#include "PortOpeners.h"

#include <dirent.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <memory>

namespace {

using DirHandle = std::unique_ptr<DIR, int (*)(DIR*)>;

DirHandle OpenDir(const std::string& path)
{
    return DirHandle(::opendir(path.c_str()), &::closedir);
}

// The number a /proc entry is named by; -1 for anything else.
long NumberOf(const char* name)
{
    if (*name < '0' || *name > '9')
        return -1;
    char* end = nullptr;
    const long number = std::strtol(name, &end, 10);
    return *end == '\0' ? number : -1;
}

bool HasDeviceOpen(const std::string& fdDir, dev_t device)
{
    const DirHandle dir = OpenDir(fdDir);
    if (!dir)
        return false;
    while (const dirent* entry = ::readdir(dir.get())) {
        if (NumberOf(entry->d_name) < 0)
            continue;
        // stat follows the descriptor's link to the open file itself, whatever name it was
        // opened by (/dev/serial/by-id/..., a symlink, a second device node).
        struct stat info {};
        if (::stat((fdDir + "/" + entry->d_name).c_str(), &info) == 0 && S_ISCHR(info.st_mode) &&
            info.st_rdev == device)
            return true;
    }
    return false;
}

std::string ProgramOf(const std::string& processDir)
{
    std::ifstream file(processDir + "/comm");
    std::string name;
    std::getline(file, name);
    return name.empty() ? "an unnamed program" : name;
}

}  // namespace

bool IsPseudoTerminal(dev_t device)
{
    const unsigned int deviceMajor = major(device);
    // Unix 98 masters (128-135) and slaves (136-143), the legacy BSD pairs (2, 3), /dev/ptmx.
    return (deviceMajor >= 128 && deviceMajor <= 143) || deviceMajor == 2 || deviceMajor == 3 ||
           (deviceMajor == 5 && minor(device) == 2);
}

std::vector<PortHolder> FindPortOpeners(const std::string& procRoot, dev_t device, pid_t self)
{
    std::vector<PortHolder> holders;
    const DirHandle proc = OpenDir(procRoot);
    if (!proc)
        return holders;
    while (const dirent* entry = ::readdir(proc.get())) {
        const long pid = NumberOf(entry->d_name);
        if (pid <= 0 || pid == self)
            continue;
        const std::string processDir = procRoot + "/" + entry->d_name;
        if (HasDeviceOpen(processDir + "/fd", device))
            holders.push_back({static_cast<pid_t>(pid), ProgramOf(processDir)});
    }
    std::sort(holders.begin(), holders.end(),
              [](const PortHolder& a, const PortHolder& b) { return a.Pid < b.Pid; });
    return holders;
}
