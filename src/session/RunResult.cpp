// SPDX-License-Identifier: MIT
#include "RunResult.h"
#include "ExitStatus.h"
#include "SystemTexts.h"

const char* OutcomeText(RunResult::Outcome outcome)
{
    switch (outcome) {
    case RunResult::Outcome::Ok: return Texts::UpdateOk;
    case RunResult::Outcome::NotOpened: return "not opened";
    case RunResult::Outcome::Error:
    case RunResult::Outcome::Cancelled: break;
    }
    return Texts::UpdateError;
}

const char* OutcomeKey(RunResult::Outcome outcome)
{
    switch (outcome) {
    case RunResult::Outcome::Ok: return "ok";
    case RunResult::Outcome::Error: return "error";
    case RunResult::Outcome::NotOpened: return "not_opened";
    case RunResult::Outcome::Cancelled: return "cancelled";
    }
    return "error";
}

int ExitStatusOf(const std::vector<RunResult>& results, int cancelSignal)
{
    if (results.empty())
        return ExitStatus::Usage;
    bool cancelled = false, notOpened = false, failed = false;
    for (const RunResult& result : results) {
        cancelled = cancelled || result.End == RunResult::Outcome::Cancelled;
        notOpened = notOpened || result.End == RunResult::Outcome::NotOpened;
        failed = failed || result.End == RunResult::Outcome::Error;
    }
    if (cancelled && cancelSignal != 0)
        return ExitStatus::SignalBase + cancelSignal;
    if (notOpened)
        return ExitStatus::Usage;
    if (failed || cancelled)
        return ExitStatus::UpdateError;
    return ExitStatus::Ok;
}
