// SPDX-License-Identifier: MIT
// Where the running program's executable lies, as the help viewer looks for its help file
// and engine library beside it.
#pragma once

#include <string>

// The executable's full path (from /proc/self/exe), empty if the system does not say.
std::string ProgramFileName();
// The directory part of a path up to and including its last "/"; empty when it has none.
std::string DirectoryPart(const std::string& path);

// Makes ProgramFileName() report a given path while it lives (tests).
class ScopedProgramFileName {
public:
    explicit ScopedProgramFileName(std::string fileName);
    ~ScopedProgramFileName();
    ScopedProgramFileName(const ScopedProgramFileName&) = delete;
    ScopedProgramFileName& operator=(const ScopedProgramFileName&) = delete;

private:
    bool HadPrevious;
    std::string Previous;
};
