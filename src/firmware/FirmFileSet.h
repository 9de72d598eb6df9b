// SPDX-License-Identifier: MIT
// The firmware file set: up to three files found by fixed name in a folder, read
// whole into memory before an update run and handed out one at a time to the worker.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

// Why the files found cannot be used for a run: one file (Path) and the reason, or the whole set
// (Path empty) when it is too large. Reason is English, ASCII.
struct FirmFileProblem {
    std::string Path;
    std::string Reason;

    bool Empty() const { return Reason.empty(); }
};

class FirmFileSet {
public:
    // The most a run sends in all: at line rate, more would take over a day.
    static constexpr int64_t MaxTotalSize = int64_t(1) << 30;

    // Called by GetFirmFileName with the text for the status line (may be empty).
    std::function<void(const std::string&)> ShowStatusText;
    // The folder the files are looked for in (no "/" at the end); empty: the current directory,
    // asked for anew for each name.
    std::string Folder;

    void BuildFirmFileList();
    // True when at least one listed file could be opened. A listed regular file that cannot be
    // used, or a set over MaxTotalSize, gives false with Problem set and nothing loaded: the
    // run must not start.
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
    // Set by ReadFirmFiles; empty when the files read can be used.
    FirmFileProblem Problem;
    static constexpr std::array<int32_t, 4> FirmFileTypeOrder{1, 2, 3, 0};
};
