// SPDX-License-Identifier: MIT
// The firmware file set: up to three files found by fixed name in the current directory, read
// whole into memory before an update run and handed out one at a time to the worker.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class FirmFileSet {
public:
    // Called by GetFirmFileName with the text for the status line (may be empty).
    std::function<void(const std::string&)> ShowStatusText;

    void BuildFirmFileList();
    bool ReadFirmFiles();
    int32_t GetFirstFirmFileType();
    int32_t GetNextFirmFileType();
    int32_t GetFileSize(int32_t type) const;
    const uint8_t* GetFileBuffer(int32_t type) const;  // nullptr: no block
    std::string GetFirmFileName(int32_t type);
    // Frees every block and sets its size to 0; the names stay.
    void ReleaseFirmFiles();

    std::array<std::string, 3> FirmFileNames;
    std::array<std::unique_ptr<uint8_t[]>, 3> FirmFileBuffers;
    std::array<int32_t, 3> FirmFileSizes{};
    int32_t FirmFileIndex = 0;
    static constexpr std::array<int32_t, 4> FirmFileTypeOrder{1, 2, 3, 0};
};
