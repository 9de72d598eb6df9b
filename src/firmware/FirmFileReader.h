// SPDX-License-Identifier: MIT
// Reading one firmware file whole: the platform part of the file set (existence test, the
// exclusive read-only open, size by seeking, one whole read).
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
    bool Opened = false;                   // the open succeeded (counts even without data)
    std::unique_ptr<uint8_t[]> Block;      // null when the file yields no data
    int32_t Size = 0;                      // bytes read; 0 exactly when Block is null
};

// Opens the file read-only and exclusively (see the .cpp for what that means here), learns its
// size by seeking, reads it whole and closes it.
FirmFileContents ReadFirmFile(const std::string& path);
