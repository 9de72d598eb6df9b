// SPDX-License-Identifier: MIT
// What zendrak-cli shows on stdout during a run: status texts, the file being sent and its
// progress, as one redrawn line on a terminal or as plain lines otherwise; nothing when quiet.
// Used on the main thread only.
#pragma once

#include <cstdio>
#include <string>

class ProgressView {
public:
    ProgressView(std::FILE* out, bool terminal, bool quiet);

    // A status text of the run (Windows-1252); a repeat of the last one is not shown again.
    void ShowStatus(const std::string& statusText);
    // The path of the file being sent (local encoding).
    void ShowFileName(const std::string& path);
    void ShowProgress(int percent);
    // The outcome, always shown: the last line on stdout.
    void ShowOutcome(const std::string& text);

private:
    void EndProgressLine();
    void Line(const std::string& text);

    std::FILE* Out;
    bool Terminal;
    bool Quiet;
    std::string LastStatus;
    std::string FileName;
    int LastPercent = 0;
    bool ProgressLineOpen = false;
};
