// SPDX-License-Identifier: MIT
// Where --trace may write: a path the user names is checked before anything is opened for
// writing, and opened only after the folder lock and the port's claim. Never the port's
// device or any device, FIFO or socket, never one of the run's own files (the firmware files,
// "Zendrak.dat", the update logs), not through a link either; created or replaced only as a
// regular file, and truncated only once the opened file has passed the same checks. "-" is
// stderr.
#pragma once

#include <string>
#include <vector>

struct TraceTarget {
    std::string Path;  // absolute; "-" for stderr
    // The run's own files (absolute paths, present or not), each with the name messages give it.
    std::vector<std::pair<std::string, std::string>> Protected;

    bool Stderr() const { return Path == "-"; }
};

// `path` as given: relative paths are taken in `workFolder`.
TraceTarget TraceTargetOf(const std::string& path, const std::string& workFolder);

// Why the path cannot take the trace ("is a FIFO", "is the firmware file font.app", "no such
// folder", ...); empty when it can.
std::string TraceTargetProblem(const TraceTarget& target);

// Checks the path once more, opens it for writing without blocking (a new file only as a new
// file), checks the open file again and only then empties it. The descriptor, or -1 with
// `problem` set.
int OpenTraceTarget(const TraceTarget& target, std::string& problem);
