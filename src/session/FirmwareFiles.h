// SPDX-License-Identifier: MIT
// FirmwareFiles: the firmware files of a working folder (font.app, decoder.app, out.app), read
// whole once. The runs of a group share one set read-only; a production line reads a new one
// for each run. Each run walks the set with a cursor of its own (see SessionHost).
#pragma once

#include "FirmFileSet.h"
#include "RunObserver.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class FirmwareFiles {
public:
    // Looks the files up in `folder` (absolute, no "/" at the end) and reads them.
    static std::shared_ptr<const FirmwareFiles> Read(const std::string& folder);
    // The same for a folder whose files may be replaced at any time (between the receivers of
    // a production line): they are read twice, and a file that changed meanwhile (its size,
    // times, identity or contents, or whether it is there) is a Problem, so that no run sends
    // half an old and half a new file. `betweenReads` (tests change files there) is called
    // after the first read.
    static std::shared_ptr<const FirmwareFiles> ReadUnchanged(
        const std::string& folder, const std::function<void()>& betweenReads = {});

    const std::string& Folder() const { return Set.Folder; }
    // At least one file could be read.
    bool Any() const { return AnyRead; }
    // A listed file that cannot be used (locked, unreadable, too large): no run may start.
    const FirmFileProblem& Problem() const { return Set.Problem; }
    // The files to send in their order, with size, SHA-256 and the bytes that will go out.
    const std::vector<RunFile>& ToSend() const { return Files; }
    // The firmware names not there (paths), and those there but empty (not sent).
    const std::vector<std::string>& Missing() const { return MissingPaths; }
    const std::vector<std::string>& Empty() const { return EmptyPaths; }

    // The set itself: names and sizes to copy for a cursor, buffers to read.
    const FirmFileSet& Blocks() const { return Set; }

private:
    static std::shared_ptr<FirmwareFiles> ReadSet(const std::string& folder);

    FirmFileSet Set;
    bool AnyRead = false;
    std::vector<RunFile> Files;
    std::vector<std::string> MissingPaths;
    std::vector<std::string> EmptyPaths;
};
