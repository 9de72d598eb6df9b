// SPDX-License-Identifier: MIT
// PortOpeners: which other processes have a serial device open, as /proc shows them. A program
// that opened the device without a lock (a `cat` left running) would otherwise take the
// receiver's answers unseen. /proc shows the descriptors of every process to root and only the
// user's own to anyone else.
#pragma once

#include <sys/types.h>
#include <string>
#include <vector>

// A process found with the device open: its id and its program name (/proc/PID/comm).
struct PortHolder {
    pid_t Pid = 0;
    std::string Program;

    bool operator==(const PortHolder&) const = default;
};

// True for the device number of either end of a pseudo-terminal: there the other end is the
// peer by design, so nobody is looked for.
bool IsPseudoTerminal(dev_t device);

// Every process but `self` with a descriptor on the character device `device`, found under
// `procRoot` ("/proc", or a directory laid out like it), by ascending process id. Processes
// whose descriptors cannot be read are passed over.
std::vector<PortHolder> FindPortOpeners(const std::string& procRoot, dev_t device, pid_t self);
