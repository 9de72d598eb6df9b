// SPDX-License-Identifier: MIT
// What the record of updates and the kept logs share about the files they write: a descriptor
// closed with its scope, the system's words for an error, why a place is refused, and whether
// a folder takes a new entry.
#pragma once

#include <sys/types.h>
#include <string>

struct ScopedFd {
    int Value = -1;
    ScopedFd() = default;
    explicit ScopedFd(int fd) : Value(fd) {}
    ~ScopedFd();
    ScopedFd(const ScopedFd&) = delete;
    ScopedFd& operator=(const ScopedFd&) = delete;
};

// The system's own wording for an errno, the same in every locale.
std::string SystemErrorText(int error);
// Why something of this mode is not written into: a symbolic link (it could lead the record
// anywhere), a directory, a FIFO, ...
std::string RefusedKind(mode_t mode);
// Empty when `folder` lets this user create an entry; else why not, naming the folder.
std::string CannotCreateIn(const std::string& folder);
