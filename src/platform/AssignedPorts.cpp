// SPDX-License-Identifier: MIT
#include "AssignedPorts.h"

#include "AtomicFile.h"
#include "ComText.h"
#include "PortMapLine.h"
#include "SmallFile.h"
#include "XdgFolders.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <thread>

namespace fs = std::filesystem;

AssignedPorts AssignedPorts::Parse(std::string_view content)
{
    AssignedPorts ports;
    while (!content.empty()) {
        const auto end = content.find('\n');
        const std::string_view line = content.substr(0, end);
        content = end == std::string_view::npos ? std::string_view{} : content.substr(end + 1);
        // The port map's line format; a bad line costs only itself.
        const std::string_view trimmed = TrimBlanks(line);
        PortMapLine entry;
        std::string reason;
        if (trimmed.empty() || trimmed.front() == '#' || !ParsePortMapLine(trimmed, entry, reason))
            continue;
        if (!ports.IsAssigned(entry.Number) && ports.NumberOf(entry.Device) == 0)
            ports.Assign(entry.Number, entry.Device);
    }
    ports.Modified = false;
    return ports;
}

std::string AssignedPorts::Serialize() const
{
    std::string text =
        "# COM numbers zendrak gave to detected serial devices (--forget-port drops one)\n";
    for (const AssignedPort& port : Ports)
        text += ComText(port.Number) + "=" + port.Identity + "\n";
    return text;
}

int AssignedPorts::NumberOf(const std::string& identity) const
{
    for (const AssignedPort& port : Ports)
        if (port.Identity == identity)
            return port.Number;
    return 0;
}

bool AssignedPorts::IsAssigned(int number) const
{
    return std::any_of(Ports.begin(), Ports.end(),
                       [number](const AssignedPort& port) { return port.Number == number; });
}

void AssignedPorts::Assign(int number, const std::string& identity)
{
    const auto at = std::find_if(Ports.begin(), Ports.end(), [number](const AssignedPort& port) {
        return port.Number > number;
    });
    Ports.insert(at, {number, identity});
    Modified = true;
}

bool AssignedPorts::Forget(int number)
{
    const auto at = std::find_if(Ports.begin(), Ports.end(), [number](const AssignedPort& port) {
        return port.Number == number;
    });
    if (at == Ports.end())
        return false;
    Ports.erase(at);
    Modified = true;
    return true;
}

std::string AssignedPortsFilePath()
{
    return ZendrakStateFolder() + "/assigned-ports";
}

std::string AssignedPortsLockPath()
{
    return AssignedPortsFilePath() + ".lock";
}

namespace {

std::string ErrorText(int error)
{
    const char* text = ::strerrordesc_np(error);  // the same words in every locale
    return text ? text : "error " + std::to_string(error);
}

// The exclusive lock on the lock file, held until the object goes. The lock file is never
// removed: a command that removed it could let a third one lock a new file beside a second one
// still holding the old.
class StateLock {
public:
    StateLock() = default;
    ~StateLock()
    {
        if (Fd >= 0)
            ::close(Fd);  // also lets go of the lock
    }
    StateLock(const StateLock&) = delete;
    StateLock& operator=(const StateLock&) = delete;

    // "" once held, or when the file system has no locks; otherwise why it is not held.
    std::string Take(const std::string& path)
    {
        Fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC,
                    0666);
        if (Fd < 0)
            return "cannot open the lock file " + path + ": " + ErrorText(errno);
        struct stat st {};
        if (::fstat(Fd, &st) != 0 || !S_ISREG(st.st_mode))
            return "the lock file " + path + " is not a regular file";
        const auto deadline = std::chrono::steady_clock::now() + AssignedPortsLockWait;
        while (::flock(Fd, LOCK_EX | LOCK_NB) != 0) {
            if (errno == EINTR)
                continue;
            if (errno == ENOLCK || errno == EOPNOTSUPP || errno == ENOSYS)
                return {};  // nothing to lock with: as one command alone
            if (errno != EWOULDBLOCK)
                return "cannot lock " + path + ": " + ErrorText(errno);
            if (std::chrono::steady_clock::now() >= deadline)
                return "another command holds the lock " + path;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return {};
    }

private:
    int Fd = -1;
};

struct StateFile {
    AssignedPortsRead Read;
    std::string KeepReason;  // why the file must not be rewritten, though it was read
};

StateFile ReadStateFile(const std::string& path)
{
    StateFile state;
    const SmallFileRead file = ReadSmallFile(path, AssignedPortsSizeLimit);
    switch (file.Status) {
    case SmallFileStatus::Ok: state.Read.Ports = AssignedPorts::Parse(file.Bytes); break;
    case SmallFileStatus::TooLarge:
        // Its later entries would be lost with a rewrite.
        state.Read.Ports = AssignedPorts::Parse(WholeLinesOf(file.Bytes));
        state.KeepReason = "is larger than " + std::to_string(AssignedPortsSizeLimit / 1024) +
                           " KiB, so only its beginning is read and it is not rewritten";
        break;
    case SmallFileStatus::Missing: break;
    case SmallFileStatus::NotRegular:
    case SmallFileStatus::Unreadable:
        state.Read.Error = "cannot read the remembered port numbers " + path + ": " + file.Reason;
        state.Read.Rewritable = false;
        return state;
    }
    // The user's link stays a link, and what it leads to is theirs.
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode))
        state.KeepReason = "is a symbolic link, so it is not rewritten";
    state.Read.Rewritable = state.KeepReason.empty();
    return state;
}

std::string SaveStateFile(const std::string& path, const AssignedPorts& ports)
{
    if (ReplaceFileAtomically(path, ports.Serialize()) != AtomicWriteResult::Ok)
        return "cannot write " + path + ": " + ErrorText(errno);
    return {};
}

}  // namespace

AssignedPortsRead LoadAssignedPorts()
{
    const std::string path = AssignedPortsFilePath();
    StateFile state = ReadStateFile(path);
    if (state.Read.Error.empty() && !state.KeepReason.empty())
        state.Read.Error = path + " " + state.KeepReason;
    return state.Read;
}

AssignedPortsRead UpdateAssignedPorts(const std::function<void(AssignedPorts&)>& change)
{
    const std::string path = AssignedPortsFilePath();
    std::error_code error;
    fs::create_directories(fs::path(path).parent_path(), error);
    StateLock lock;
    const std::string lockError = error
                                      ? "cannot make the folder of " + path + ": " + error.message()
                                      : lock.Take(AssignedPortsLockPath());
    StateFile state = ReadStateFile(path);
    AssignedPortsRead& read = state.Read;
    if (change)
        change(read.Ports);
    if (!read.Error.empty() || !read.Ports.Changed())
        return read;
    // Something is to be remembered: only a file read whole, under the lock, is replaced.
    if (!state.KeepReason.empty())
        read.Error = path + " " + state.KeepReason;
    else if (!lockError.empty())
        read.Error = lockError + "; the remembered port numbers are not changed";
    else
        read.Error = SaveStateFile(path, read.Ports);
    read.Rewritable = read.Error.empty();
    return read;
}

std::string StableIdentityOf(const std::string& device, const std::string& devRoot)
{
    std::error_code error;
    const fs::path target = fs::canonical(device, error);
    if (error)
        return device;
    for (const char* folder : {"/serial/by-id", "/serial/by-path"}) {
        std::vector<std::string> links;
        for (const auto& entry : fs::directory_iterator(devRoot + folder, error)) {
            std::error_code ignored;
            if (entry.is_symlink(ignored) && fs::canonical(entry.path(), ignored) == target &&
                !ignored)
                links.push_back(entry.path().string());
        }
        if (!links.empty())
            return *std::min_element(links.begin(), links.end());
    }
    return device;
}
