// SPDX-License-Identifier: MIT
// Reading a small settings file that may not be what it seems. Only a regular file is read: a
// directory, FIFO, socket or device is refused before it is opened, and the open itself never
// blocks (a FIFO put in place meanwhile cannot stall the program). At most `limit` bytes are
// taken, so a huge file or a link to /dev/zero cannot eat memory.
#pragma once

#include <sys/types.h>
#include <cstddef>
#include <string>
#include <string_view>

enum class SmallFileStatus {
    Ok,          // Bytes holds the whole file
    Missing,     // there is no file of that name (ENOENT)
    TooLarge,    // the file is longer than the limit; Bytes holds its first `limit` bytes
    NotRegular,  // a directory, FIFO, socket or device
    Unreadable,  // the system refused the open or the read (Error tells why)
};

struct SmallFileRead {
    SmallFileStatus Status = SmallFileStatus::Missing;
    std::string Bytes;
    int Error = 0;       // errno for Missing and Unreadable
    std::string Reason;  // for every status but Ok: what is wrong, in words ("it is a directory")
};

SmallFileRead ReadSmallFile(const std::string& path, size_t limit);

// Why a file of this mode is not a regular file, in words ("it is a directory").
const char* NotRegularFileReason(mode_t mode);

// The bytes up to and including the last newline: the whole lines of a read the limit cut.
std::string_view WholeLinesOf(std::string_view bytes);
