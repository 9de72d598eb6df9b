// SPDX-License-Identifier: MIT
#include "ProgressTexts.h"

#include <cmath>
#include <cstdio>

std::string DurationText(double seconds)
{
    if (!std::isfinite(seconds) || seconds < 0)
        return "-:--";
    const long long total = std::llround(seconds);
    char text[32];
    if (total >= 3600)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", total / 3600, total / 60 % 60,
                      total % 60);
    else
        std::snprintf(text, sizeof text, "%lld:%02lld", total / 60, total % 60);
    return text;
}

std::string RateText(double bytesPerSecond)
{
    char text[48];
    std::snprintf(text, sizeof text, "%.1f kB/s",
                  std::isfinite(bytesPerSecond) ? bytesPerSecond / 1000.0 : 0.0);
    return text;
}
