// SPDX-License-Identifier: MIT
// zendrak-cli --json: the run as a stream of JSON objects, one per line on stdout, each with
// "event" and "t" (seconds since the start). An observer of the run for status, log, file and
// progress events; the command adds start or check, message, warning and end, and with several
// ports a summary. Schema version 1.
#pragma once

#include "Messages.h"
#include "RunEstimate.h"
#include "RunObserver.h"
#include "RunPlan.h"
#include "RunResult.h"
#include "TextSink.h"

#include <QJsonObject>

#include <functional>
#include <mutex>
#include <string>
#include <vector>

class JsonOutput : public RunObserver {
public:
    static constexpr int SchemaVersion = 1;
    using Clock = std::function<double()>;  // seconds since the start

    JsonOutput(TextSink& out, Clock sinceStart);
    // Every event names this port ("port"), for a command that updates several at once.
    void NamePort(std::string port) { Port = std::move(port); }

    void Start(const RunPlan& plan);
    // `lineChecked`: the port took the update's line settings (false for a raw network port,
    // whose server keeps its own).
    void Check(const RunPlan& plan, bool portOk, bool lineChecked);
    void Message(const MessageBoxRequest& box);
    // Something said beside the outcome (UTF-8), such as a trace that could not be written.
    void Warning(const std::string& text);
    // The last event: the outcome, cause and warning of `result`; without one (a check, an end
    // before any run) the outcome follows the exit status.
    void End(int exitCode, const RunResult* result = nullptr);

    void StatusText(const std::string& text) override;
    void LogEntry(const std::string& entry) override;
    void FileBegins(const RunFile& file) override;
    void FileProgress(const RunFile& file, int64_t written, int64_t queued) override;
    void FileEnds(const RunFile& file, int64_t written, bool complete) override;

private:
    void Emit(const char* event, QJsonObject fields, bool frame = false);
    QJsonObject Progress(const RunFile& file, int64_t bytes) const;

    TextSink& Out;
    Clock SinceStart;
    std::mutex Lock;
    SendRate Rate;
    double LastProgress = -1;
    bool Ended = false;
    std::string Port;
};

// The one end event of a command line that could not be used (exit 2).
std::string UsageErrorEvent();
// The start event's fields (also the check event's).
QJsonObject PlanFields(const RunPlan& plan);
// The last event of a command with several ports: each port's result, and the exit status.
std::string SummaryEvent(const std::vector<RunResult>& results, int exitCode, double seconds);
