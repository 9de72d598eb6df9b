// SPDX-License-Identifier: MIT
#include "ProductionLine.h"

bool WorthRetrying(const RunResult& result, bool waitsForDevice)
{
    switch (result.End) {
    case RunResult::Outcome::Ok:
    case RunResult::Outcome::Cancelled: return false;
    case RunResult::Outcome::NotOpened:
        // Only the port itself: a run refused for its files, its log folder or its record
        // would be refused again.
        return waitsForDevice && result.Problem.has_value() && result.Problem->WhileOpening;
    case RunResult::Outcome::Error: break;
    }
    switch (result.Cause) {
    case RunCause::Refused:
    case RunCause::NoConnection:
    case RunCause::LineLost:
    case RunCause::NotStored: return true;
    case RunCause::None:
    case RunCause::Cancelled:
    case RunCause::NotOpened: break;
    }
    return false;
}

std::vector<RunResult> LastAttempts(const std::vector<RunResult>& results)
{
    std::vector<RunResult> last;
    for (const RunResult& result : results) {
        if (!last.empty() && last.back().Run == result.Run)
            last.back() = result;
        else
            last.push_back(result);
    }
    return last;
}

LineCounts CountReceivers(const std::vector<RunResult>& results)
{
    LineCounts counts;
    for (const RunResult& result : LastAttempts(results))
        ++(result.Ok() ? counts.Updated : counts.Failed);
    return counts;
}
