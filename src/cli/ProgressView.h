// SPDX-License-Identifier: MIT
// zendrak-cli's plain output of a run: status texts, the file being sent and its progress (one
// redrawn line with rate and time left on a terminal, a line at each 10 % otherwise), a line
// after each file with its size, time and rate, and the outcome; only the outcome when quiet.
// An observer of the run: it formats and hands the text on, it never writes itself.
#pragma once

#include "ProgressTexts.h"
#include "RunEstimate.h"
#include "RunObserver.h"
#include "TextSink.h"

#include <functional>
#include <mutex>
#include <string>
#include <vector>

class ProgressView : public RunObserver {
public:
    // Seconds on a steady clock (tests pass their own).
    using Clock = std::function<double()>;

    // `files` are the run's files in their order (for the time left of the whole run).
    ProgressView(TextSink& out, bool terminal, bool quiet, std::vector<RunFile> files = {},
                 Clock now = {});

    void StatusText(const std::string& text) override;
    void FileBegins(const RunFile& file) override;
    void FileProgress(const RunFile& file, int64_t written, int64_t queued) override;
    void FileEnds(const RunFile& file, int64_t written, bool complete) override;
    // The outcome, always shown: the last line on stdout.
    void ShowOutcome(const std::string& text);
    // A further run begins (a production line) with these files.
    void BeginRun(std::vector<RunFile> files);
    // A line about the production line (a wait, a retry), shown even when quiet (UTF-8).
    void Say(const std::string& text);

private:
    void Line(const std::string& text);
    void EndProgressLine();
    void Show(int64_t onLine, bool last);
    std::string ProgressLine(int64_t onLine, int percent) const;

    TextSink& Out;
    const bool Terminal;
    const bool Quiet;
    std::vector<RunFile> Files;  // under Lock
    const Clock Now;

    std::mutex Lock;
    std::string LastStatus;
    RunFile Current;
    size_t LaterFiles = 0;
    int64_t LaterBytes = 0;
    SendRate Rate;
    double Began = 0;
    double LastFrame = -1;
    int LastPercent = 0;
    bool ProgressLineOpen = false;
};

// The parts of the progress texts, shared with other front ends' output.
// The last part of a path.
std::string BaseName(const std::string& path);
// "font.app: 4096 bytes in 0.36 s, 11.4 kB/s" (or the bytes sent of a send that stopped short).
std::string FileSummary(const RunFile& file, int64_t written, bool complete, double seconds);
