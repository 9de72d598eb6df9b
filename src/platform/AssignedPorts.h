// SPDX-License-Identifier: MIT
// AssignedPorts: the COM numbers given to detected devices, remembered by their stable identity
// so that an adapter keeps its number wherever and whenever it is plugged in.
//
// The file is $XDG_STATE_HOME/zendrak/assigned-ports (default ~/.local/state/zendrak/...), in
// the port map's line format ("COM<n>=<identity>"), replaced atomically when an assignment is
// added or dropped, under a lock on assigned-ports.lock beside it. A file that cannot be read,
// is a symbolic link or is larger than the bound is never replaced. A device's identity is its
// /dev/serial/by-id link, else its /dev/serial/by-path link, else its device path.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

struct AssignedPort {
    int Number = 0;
    std::string Identity;
};

class AssignedPorts {
public:
    // The remembered assignments of a file's content; lines that are not "COM<n>=<identity>"
    // and repeats of a number or an identity are left out.
    static AssignedPorts Parse(std::string_view content);
    // The file's content: a comment line, then one line per assignment in ascending number.
    std::string Serialize() const;

    // The number remembered for an identity, 0 when none is.
    int NumberOf(const std::string& identity) const;
    // Whether some identity has this number.
    bool IsAssigned(int number) const;
    // Remembers the number for the identity (neither may be remembered yet).
    void Assign(int number, const std::string& identity);
    // Drops the assignment of a number; false when it had none.
    bool Forget(int number);

    const std::vector<AssignedPort>& Entries() const { return Ports; }
    // Whether Assign or Forget changed anything since the file was read.
    bool Changed() const { return Modified; }

private:
    std::vector<AssignedPort> Ports;  // ascending number
    bool Modified = false;
};

// The file's path from the environment, and the lock file beside it.
std::string AssignedPortsFilePath();
std::string AssignedPortsLockPath();
inline constexpr size_t AssignedPortsSizeLimit = 64 * 1024;
// How long a command waits for another one to let go of the lock.
inline constexpr std::chrono::milliseconds AssignedPortsLockWait{3000};

struct AssignedPortsRead {
    AssignedPorts Ports;  // what could be read
    // Not empty: the file cannot be read (Ports is empty), or it must not be rewritten because
    // it is a symbolic link or larger than the bound (Ports holds what was read).
    std::string Error;
    bool Rewritable = true;
};
// Reads the file without the lock (it is only ever replaced whole); a missing file remembers
// nothing. Only a regular file is read, and no more than its whole lines within the bound.
AssignedPortsRead LoadAssignedPorts();

// Reads the file, lets `change` alter the assignments and writes them back when they changed,
// all under an exclusive lock on the lock file, so that commands running side by side lose
// nothing. When the lock cannot be had or the file must not be rewritten, `change` still runs
// on what could be read, nothing is written and Error says why. A file system without locks is
// used unlocked.
AssignedPortsRead UpdateAssignedPorts(const std::function<void(AssignedPorts&)>& change);

// The stable identity of a device below `devRoot` (normally "/dev"): the link in
// devRoot/serial/by-id that leads to it, else the one in devRoot/serial/by-path, else the
// device path itself. With several links in a folder the first by name is taken.
std::string StableIdentityOf(const std::string& device, const std::string& devRoot = "/dev");
