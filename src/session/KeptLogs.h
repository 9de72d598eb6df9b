// SPDX-License-Identifier: MIT
// KeptLogs: every run's update log also kept under a name that says when and where, in the
// folder "logs" of the working folder: "logs/2026-12-08T14-03-21Z-COM3.txt" (the run's start in
// UTC and the port's log-folder name). A name already taken gets a suffix ("-2", "-3", ...), so
// no kept log is ever replaced. "logs" is used only as a real folder, never through a link.
#pragma once

#include "UtcStamp.h"

#include <string>
#include <string_view>

inline constexpr const char* KeptLogsFolderName = "logs";

struct KeptLog {
    std::string Name;   // relative to the working folder, "logs/....txt"; empty on failure
    std::string Error;  // empty: the copy is on the disk
    bool Ok() const { return Error.empty(); }
};

class KeptLogs {
public:
    // `folder`: the working folder that holds (or will hold) "logs".
    explicit KeptLogs(std::string folder);

    // Before an update begins: empty when logs can be kept, else why not. Creates nothing.
    std::string Check() const;

    // Keeps `bytes` (the run's "logUpdate.txt" as written) under a new name, on the disk
    // (fsync) when this returns. `portFolder` is the port's log-folder name ("COM3").
    KeptLog Keep(WallClock::time_point start, const std::string& portFolder,
                 std::string_view bytes) const;
    // The same for the log file a run wrote (read whole; only a regular file).
    KeptLog KeepFile(WallClock::time_point start, const std::string& portFolder,
                     const std::string& logPath) const;

private:
    std::string Folder;
};
