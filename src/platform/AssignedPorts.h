// SPDX-License-Identifier: MIT
// AssignedPorts: the COM numbers given to detected devices, remembered by their stable identity
// so that an adapter keeps its number wherever and whenever it is plugged in.
//
// The file is $XDG_STATE_HOME/zendrak/assigned-ports (default ~/.local/state/zendrak/...), in
// the port map's line format ("COM<n>=<identity>"), replaced atomically when an assignment is
// added or dropped; a file that cannot be read is never replaced. A device's identity is its
// /dev/serial/by-id link, else its /dev/serial/by-path link, else its device path.
#pragma once

#include <cstddef>
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

// The file's path from the environment.
std::string AssignedPortsFilePath();
inline constexpr size_t AssignedPortsSizeLimit = 64 * 1024;

struct AssignedPortsRead {
    AssignedPorts Ports;
    std::string Error;  // not empty: the file is there but not a regular file or unreadable
};
// Reads the file; a missing file remembers nothing. Only a regular file is read, and no more
// than its whole lines within AssignedPortsSizeLimit.
AssignedPortsRead LoadAssignedPorts();
// Writes the file (making its folder) when it changed. Returns "" or what went wrong.
std::string SaveAssignedPorts(const AssignedPorts& ports);

// The stable identity of a device below `devRoot` (normally "/dev"): the link in
// devRoot/serial/by-id that leads to it, else the one in devRoot/serial/by-path, else the
// device path itself. With several links in a folder the first by name is taken.
std::string StableIdentityOf(const std::string& device, const std::string& devRoot = "/dev");
