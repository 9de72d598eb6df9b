// SPDX-License-Identifier: MIT
// FolderLock: one update run per folder. A run holds an exclusive lock on its working folder
// (flock on the directory itself, so that nothing is left in the user's folder) from before it
// reads the firmware files until its log is written; a second run there, in this process or
// another, is refused.
//
// Locking a directory needs a descriptor that flock accepts, which on Linux means opening the
// directory for reading: an O_PATH descriptor carries no lock, and there is no search-only open.
// A folder this user may enter but not list therefore cannot be locked, and a run there is
// refused (Failed) rather than left unguarded; only a file system without locks is run unlocked.
#pragma once

#include <string>

class FolderLock {
public:
    enum class Result {
        Taken,     // this object holds the folder now
        Busy,      // another run holds it
        Unlocked,  // the folder's file system has no locks: go on without
        Failed,    // the folder cannot be opened or locked (Error() tells why): do not start
    };

    FolderLock() = default;
    ~FolderLock() { Release(); }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    // Never waits. Taking a folder releases whatever this object held before.
    Result Take(const std::string& folder);
    void Release();
    bool Holds() const { return Fd >= 0; }
    // errno of the last Take that ended Failed or Unlocked; 0 otherwise.
    int Error() const { return LastError; }

private:
    int Fd = -1;
    int LastError = 0;
};
