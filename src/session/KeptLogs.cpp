// SPDX-License-Identifier: MIT
#include "KeptLogs.h"

#include "RecordFiles.h"
#include "SmallFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

namespace {

// A run's log is a few kilobytes; this only keeps a wrong file from eating memory.
constexpr size_t LogSizeLimit = 16 * 1024 * 1024;
constexpr int MaxSuffix = 9999;

bool WriteAll(int fd, std::string_view bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = ENOSPC;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

bool UsableAsName(const std::string& name)
{
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of(std::string("/\0", 2)) == std::string::npos;
}

}  // namespace

KeptLogs::KeptLogs(std::string folder) : Folder(folder.empty() ? "." : std::move(folder)) {}

std::string KeptLogs::Check() const
{
    const std::string logs = Folder + "/" + KeptLogsFolderName;
    const std::string prefix = "cannot keep the update logs in " + logs + ": ";
    struct stat st {};
    if (::lstat(logs.c_str(), &st) != 0) {
        if (errno != ENOENT)
            return prefix + SystemErrorText(errno);
        const std::string refusal = CannotCreateIn(Folder);
        return refusal.empty() ? refusal : prefix + refusal;
    }
    if (!S_ISDIR(st.st_mode))
        return prefix +
               (S_ISREG(st.st_mode) ? "it is a file, not a folder" : RefusedKind(st.st_mode));
    if (::access(logs.c_str(), W_OK | X_OK) != 0)
        return prefix + SystemErrorText(errno);
    return {};
}

KeptLog KeptLogs::Keep(WallClock::time_point start, const std::string& portFolder,
                       std::string_view bytes) const
{
    KeptLog result;
    const std::string logs = Folder + "/" + KeptLogsFolderName;
    const auto fail = [&](const std::string& why) {
        result.Name.clear();
        result.Error = "the update log could not be kept in " + logs + ": " + why;
        return result;
    };
    if (!UsableAsName(portFolder))
        return fail("\"" + portFolder + "\" cannot be part of a file name");

    ScopedFd folder{::open(Folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
    if (folder.Value < 0)
        return fail(SystemErrorText(errno));
    const bool created = ::mkdirat(folder.Value, KeptLogsFolderName, 0777) == 0;
    if (!created && errno != EEXIST)
        return fail(SystemErrorText(errno));
    // Opened without following a link: what is checked is what is written into.
    ScopedFd dir{::openat(folder.Value, KeptLogsFolderName,
                          O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)};
    if (dir.Value < 0) {
        if (errno == ELOOP || errno == ENOTDIR)
            return fail("it is not a real folder (a symbolic link or a file)");
        return fail(SystemErrorText(errno));
    }

    const std::string base = FileNameUtc(start) + "-" + portFolder;
    std::string name;
    ScopedFd file;
    for (int n = 1; n <= MaxSuffix && file.Value < 0; ++n) {
        name = base + (n == 1 ? "" : "-" + std::to_string(n)) + ".txt";
        file.Value = ::openat(dir.Value, name.c_str(),
                              O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (file.Value < 0 && errno != EEXIST)
            return fail(name + ": " + SystemErrorText(errno));
    }
    if (file.Value < 0)
        return fail("every name for " + base + ".txt is taken");
    if (!WriteAll(file.Value, bytes) || ::fsync(file.Value) != 0) {
        const int error = errno;
        ::unlinkat(dir.Value, name.c_str(), 0);  // never a partial copy
        return fail(name + ": " + SystemErrorText(error));
    }
    ::fsync(dir.Value);
    if (created)
        ::fsync(folder.Value);
    result.Name = std::string(KeptLogsFolderName) + "/" + name;
    return result;
}

KeptLog KeptLogs::KeepFile(WallClock::time_point start, const std::string& portFolder,
                           const std::string& logPath) const
{
    const SmallFileRead log = ReadSmallFile(logPath, LogSizeLimit);
    if (log.Status != SmallFileStatus::Ok) {
        KeptLog result;
        result.Error = "the update log " + logPath + " could not be read to be kept: " + log.Reason;
        return result;
    }
    return Keep(start, portFolder, log.Bytes);
}
