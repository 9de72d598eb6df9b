// SPDX-License-Identifier: MIT
// How the figures of a run's progress are written for people, the same in every front end:
// durations ("0:21", "1:02:03") and rates ("11.5 kB/s").
#pragma once

#include <string>

// "m:ss" or "h:mm:ss"; "-:--" when not finite.
std::string DurationText(double seconds);
// Bytes per second as "11.5 kB/s" (1 kB = 1000 bytes).
std::string RateText(double bytesPerSecond);
