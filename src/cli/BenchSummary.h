// SPDX-License-Identifier: MIT
// The end of a command that updated several receivers: one table row per port.
#pragma once

#include "RunResult.h"

#include <string>
#include <vector>

// A table with a header line: port, device, outcome, duration, files sent ("2/3"), cause (and
// the attempt, after a retry).
std::string BenchSummaryTable(const std::vector<RunResult>& results);
