// SPDX-License-Identifier: MIT
// The record a production line keeps of each run in the working folder: the run's log kept
// under logs/ and its line appended to the record of updates, both on the disk before the run
// counts as ended.
#pragma once

#include "FirmwareFiles.h"
#include "RunResult.h"
#include "UtcStamp.h"

#include <string>

struct RecordedRun {
    std::string KeptLog;  // "logs/....txt"; empty when the run wrote no log
    std::string Warning;  // what could not be kept (UTF-8); empty when all was
};

// Before a run: empty when both the record and the kept logs can be written in `folder`; else
// why not, naming the file. Creates nothing.
std::string RecordRefusal(const std::string& folder);

// Keeps the run's log (when it wrote one) and appends its line. `portFolder` names the port in
// the kept log's name ("COM3"); `files` are those the run sent.
RecordedRun RecordRun(const std::string& folder, const std::string& portFolder,
                      const RunResult& result, WallClock::time_point start,
                      const FirmwareFiles& files);
