// SPDX-License-Identifier: MIT
#include "BenchSummary.h"

#include "SystemTexts.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace {

std::string OutcomeText(BenchResult::Outcome outcome)
{
    switch (outcome) {
    case BenchResult::Outcome::Ok: return Texts::UpdateOk;
    case BenchResult::Outcome::Error: return Texts::UpdateError;
    case BenchResult::Outcome::NotOpened: return "not opened";
    }
    return {};
}

}  // namespace

std::string BenchSummaryTable(const std::vector<BenchResult>& results)
{
    using Row = std::array<std::string, 5>;
    std::vector<Row> rows = {{"Port", "Device", "Outcome", "Duration", "Files sent"}};
    for (const BenchResult& r : results) {
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%.1f s", r.Seconds);
        rows.push_back({r.Port, r.Device.empty() ? "-" : r.Device, OutcomeText(r.End), seconds,
                        std::to_string(r.FilesSent) + "/" + std::to_string(r.Files)});
    }
    std::array<size_t, 5> width{};
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

int BenchExitCode(const std::vector<BenchResult>& results)
{
    int code = 0;
    for (const BenchResult& r : results) {
        if (r.End == BenchResult::Outcome::NotOpened)
            return 2;
        if (r.End == BenchResult::Outcome::Error)
            code = 1;
    }
    return code;
}
