// SPDX-License-Identifier: MIT
// One update as a line of the record of updates: CSV (RFC 4180) in UTF-8, one physical line per
// update. Text that is not valid UTF-8, control characters (a newline in a path) and the
// backslash are written as escapes ("\xFF", "\x0A", "\\"), so every value can be read back
// exactly and no value can break a line; commas and quotes are quoted as RFC 4180 says.
#pragma once

#include "RunObserver.h"
#include "UtcStamp.h"

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

struct HistoryRecord {
    WallClock::time_point Start;
    std::string Port;     // as the user named it: "COM3", "/dev/ttyUSB0", a network address
    std::string Device;   // the device it stood for (empty: none was found)
    std::string Adapter;  // the adapter's stable identity (a /dev/serial/by-id link; empty: none)
    std::string Folder;   // where the firmware files were read
    std::vector<RunFile> Files;  // the files of the run, with size and SHA-256
    std::string Outcome;         // "ok", "error", "not_opened", "cancelled"
    std::string Cause;           // the cause's stable key; empty after "ok"
    int Attempt = 1;             // 1 for the first, 2 for the first retry, ...
    std::chrono::milliseconds Duration{0};
    std::string KeptLog;  // the kept copy of the run's log, "logs/....txt"; empty: none
};

// The header line and a record's line, each ending in CR LF.
std::string HistoryHeaderLine();
std::string HistoryLine(const HistoryRecord& record);
// How many fields a line holds.
inline constexpr size_t HistoryFieldCount = 16;

// One value as a CSV field: escaped as above, quoted when it holds a comma or a quote.
std::string CsvField(std::string_view raw);
