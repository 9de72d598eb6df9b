// SPDX-License-Identifier: MIT
// FolderLock: one update run per folder. A run holds an exclusive lock on its working folder
// (flock on the directory itself, so that nothing is left in the user's folder) from before it
// reads the firmware files until its log is written; a second run there, in this process or
// another, is refused.
#pragma once

#include <string>

class FolderLock {
public:
    enum class Result {
        Taken,     // this object holds the folder now
        Busy,      // another run holds it
        Unlocked,  // the folder cannot be opened or its file system cannot lock: go on without
    };

    FolderLock() = default;
    ~FolderLock() { Release(); }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    // Never waits. Taking a folder releases whatever this object held before.
    Result Take(const std::string& folder);
    void Release();
    bool Holds() const { return Fd >= 0; }

private:
    int Fd = -1;
};
