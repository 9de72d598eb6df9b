// SPDX-License-Identifier: MIT
#include "BenchSummary.h"

#include "LineTexts.h"

#include <algorithm>
#include <array>
#include <cstdio>

std::string BenchSummaryTable(const std::vector<RunResult>& results)
{
    using Row = std::array<std::string, 6>;
    std::vector<Row> rows = {{"Port", "Device", "Outcome", "Duration", "Files sent", "Cause"}};
    for (const RunResult& r : results) {
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%.1f s", r.Seconds);
        std::string cause = r.Ok() ? "" : CauseShortText(r.Cause);
        if (const std::string attempt = AttemptText(r); !attempt.empty())
            cause += (cause.empty() ? "" : ", ") + attempt;
        if (cause.empty())
            cause = "-";
        rows.push_back({r.Port, r.Device.empty() ? "-" : r.Device, OutcomeText(r.End), seconds,
                        std::to_string(r.FilesStored) + "/" + std::to_string(r.Files), cause});
    }
    std::array<size_t, 6> width{};
    for (const Row& row : rows)
        for (size_t c = 0; c < row.size(); ++c)
            width[c] = std::max(width[c], row[c].size());
    std::string table;
    for (const Row& row : rows) {
        std::string line;
        for (size_t c = 0; c < row.size(); ++c) {
            line += row[c];
            if (c + 1 < row.size())
                line += std::string(width[c] - row[c].size() + 2, ' ');
        }
        table += line + "\n";
    }
    return table;
}
