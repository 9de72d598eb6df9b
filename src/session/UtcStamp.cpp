// SPDX-License-Identifier: MIT
#include "UtcStamp.h"

#include <cstdio>
#include <ctime>

namespace {

std::string Format(WallClock::time_point when, char timeSeparator)
{
    const std::time_t seconds =
        std::chrono::system_clock::to_time_t(std::chrono::floor<std::chrono::seconds>(when));
    std::tm utc{};
    ::gmtime_r(&seconds, &utc);
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d%c%02d%c%02dZ", utc.tm_year + 1900,
                  utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, timeSeparator, utc.tm_min,
                  timeSeparator, utc.tm_sec);
    return text;
}

}  // namespace

std::string IsoUtc(WallClock::time_point when)
{
    return Format(when, ':');
}

std::string FileNameUtc(WallClock::time_point when)
{
    return Format(when, '-');
}
