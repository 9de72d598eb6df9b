// SPDX-License-Identifier: MIT
#include "LineTexts.h"

#include "ProgressTexts.h"

#include <algorithm>
#include <array>

namespace {

std::string Earlier(const std::vector<RunCause>& causes)
{
    std::string text;
    for (RunCause cause : causes)
        text += (text.empty() ? "" : ", ") + std::string(CauseShortText(cause));
    return text.empty() ? text : " (earlier: " + text + ")";
}

std::string PauseText(std::chrono::milliseconds pause)
{
    const auto ms = pause.count();
    return ms % 1000 == 0 ? std::to_string(ms / 1000) + " s" : std::to_string(ms) + " ms";
}

template <size_t N>
std::string Table(const std::vector<std::array<std::string, N>>& rows)
{
    std::array<size_t, N> width{};
    for (const auto& row : rows)
        for (size_t c = 0; c < N; ++c)
            width[c] = std::max(width[c], row[c].size());
    std::string table;
    for (const auto& row : rows) {
        std::string line;
        for (size_t c = 0; c < N; ++c)
            line += c + 1 < N ? row[c] + std::string(width[c] - row[c].size() + 2, ' ') : row[c];
        table += line + "\n";
    }
    return table;
}

}  // namespace

std::string WaitingText(const LineCounts& counts)
{
    return "waiting for the next receiver (" + std::to_string(counts.Updated) + " updated, " +
           std::to_string(counts.Failed) + " failed)";
}

std::string RetryText(const RunIndex& next, std::chrono::milliseconds pause)
{
    return "attempt " + std::to_string(next.Attempt) + " of " + std::to_string(next.Attempts) +
           " in " + PauseText(pause) + Earlier(next.Earlier);
}

std::string AttemptText(const RunResult& result)
{
    if (result.Attempt <= 1)
        return {};
    return "attempt " + std::to_string(result.Attempt) + " of " + std::to_string(result.Attempts) +
           Earlier(result.Earlier);
}

std::string NextReceiverText(const RunIndex& index)
{
    return "receiver " + std::to_string(index.Run) + " (" + TriggerName(index.StartedBy) + ")";
}

std::string LineSummaryText(const std::vector<std::vector<RunResult>>& perPort, double seconds)
{
    LineCounts all;
    std::vector<std::array<std::string, 5>> ports = {
        {"Port", "Receivers", "Updated", "Failed", "Attempts"}};
    std::vector<std::array<std::string, 4>> notable;
    for (const std::vector<RunResult>& results : perPort) {
        if (results.empty())
            continue;
        const LineCounts counts = CountReceivers(results);
        all.Updated += counts.Updated;
        all.Failed += counts.Failed;
        ports.push_back({results.front().Port, std::to_string(counts.Updated + counts.Failed),
                         std::to_string(counts.Updated), std::to_string(counts.Failed),
                         std::to_string(results.size())});
        for (const RunResult& r : LastAttempts(results)) {
            if (r.Ok() && r.Attempt == 1)
                continue;
            const std::string attempt =
                "attempt " + std::to_string(r.Attempt) + " of " + std::to_string(r.Attempts);
            notable.push_back({r.Port + " receiver " + std::to_string(r.Run), OutcomeText(r.End),
                               r.Ok() ? "-" : CauseShortText(r.Cause),
                               attempt + Earlier(r.Earlier)});
        }
    }
    const int receivers = all.Updated + all.Failed;
    std::string text = "Production line: " + std::to_string(receivers) +
                       (receivers == 1 ? " receiver in " : " receivers in ") +
                       DurationText(seconds) + ", " + std::to_string(all.Updated) + " updated, " +
                       std::to_string(all.Failed) + " failed\n" + Table(ports);
    if (!notable.empty()) {
        notable.insert(notable.begin(), {"Receiver", "Outcome", "Cause", "Attempt"});
        text += Table(notable);
    }
    return text;
}
