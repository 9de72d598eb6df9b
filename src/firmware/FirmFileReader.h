// SPDX-License-Identifier: MIT
// Reading one firmware file whole: the platform part of the file set (existence test, the
// exclusive read-only open, size, one whole read).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

// True when something other than a directory exists under the path.
bool FirmFileExists(const std::string& path);

// The process's current directory, of any length; empty when the platform cannot report it
// (for example when the directory has been removed).
std::string CurrentDirectory();

struct FirmFileContents {
    std::unique_ptr<uint8_t[]> Block;  // null when the file yields no data
    int32_t Size = 0;                  // bytes read; 0 exactly when Block is null
};

// One firmware file, opened read-only and exclusively (see the .cpp for what that means here),
// with its size; closed, and so unlocked, when the object goes.
//
// A regular file that is there but cannot be used for an update has a Problem: it cannot be
// opened for reading, another program has it locked, it is 2 GiB or more, or reading it fails
// (memory for it included). A run must not start without it. Anything else (gone since it was
// listed, a FIFO, a device) has none and just yields no data, as it always has.
class FirmFile {
public:
    // The largest file a slot can hold: sizes are signed 32-bit counts.
    static constexpr int64_t MaxSize = INT32_MAX;

    explicit FirmFile(const std::string& path);
    ~FirmFile();
    FirmFile(const FirmFile&) = delete;
    FirmFile& operator=(const FirmFile&) = delete;

    // The open succeeded (counts even when the file then yields no data).
    bool Opened() const { return Fd >= 0; }
    // The bytes a read will ask for: the size of a usable regular file, else 0.
    int64_t Size() const { return Length; }
    // Why the file cannot be used (English, ASCII); empty when it can.
    const std::string& Problem() const { return Reason; }
    // Reads the whole file with the size learnt at open. A read that fails, or memory that
    // cannot be had, sets Problem for a regular file.
    FirmFileContents Read();

private:
    int Fd = -1;
    bool Regular = false;
    int64_t Length = 0;
    std::string Reason;
};
