// SPDX-License-Identifier: MIT
// The moment a run started, written in UTC: as ISO 8601 for the record of updates, and in a
// form that is also a file name (no colons) for the kept logs.
#pragma once

#include <chrono>
#include <string>

using WallClock = std::chrono::system_clock;

// "2026-12-08T14:03:21Z" (whole seconds).
std::string IsoUtc(WallClock::time_point when);
// "2026-12-08T14-03-21Z".
std::string FileNameUtc(WallClock::time_point when);
