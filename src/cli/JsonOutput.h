// SPDX-License-Identifier: MIT
// zendrak-cli --json: the run as a stream of JSON objects, one per line on stdout, each with
// "event" and "t" (seconds since the start). An observer of the run for status, log, file and
// progress events; the command adds start or check, message and end. Schema version 1.
#pragma once

#include "Messages.h"
#include "RunEstimate.h"
#include "RunObserver.h"
#include "TextSink.h"

#include <QJsonObject>

#include <functional>
#include <mutex>
#include <string>
#include <vector>

// What the start and check events say of the run before it begins.
struct RunPlan {
    std::string Port;         // the COM text or the device path asked for
    std::string Device;       // empty: unknown
    std::string Description;  // empty: unknown
    std::vector<RunFile> Files;
    std::vector<std::string> Missing;  // firmware names not present (paths)
    std::vector<std::string> Empty;    // present but empty
    double EstimateSeconds = 0;
};

class JsonOutput : public RunObserver {
public:
    static constexpr int SchemaVersion = 1;
    using Clock = std::function<double()>;  // seconds since the start

    JsonOutput(TextSink& out, Clock sinceStart);
    // Every event names this port ("port"), for a command that updates several at once.
    void NamePort(std::string port) { Port = std::move(port); }

    void Start(const RunPlan& plan);
    void Check(const RunPlan& plan, bool portOk);
    void Message(const MessageBoxRequest& box);
    // The last event; the outcome is the run's when it ended, "error" otherwise.
    void End(int exitCode);

    void StatusText(const std::string& text) override;
    void LogEntry(const std::string& entry) override;
    void FileBegins(const RunFile& file) override;
    void FileProgress(const RunFile& file, int64_t written, int64_t queued) override;
    void FileEnds(const RunFile& file, int64_t written, bool complete) override;
    void RunEnds(RunOutcome outcome, const std::string& logPath) override;

private:
    void Emit(const char* event, QJsonObject fields, bool frame = false);
    QJsonObject Progress(const RunFile& file, int64_t bytes) const;

    TextSink& Out;
    Clock SinceStart;
    std::mutex Lock;
    SendRate Rate;
    double LastProgress = -1;
    bool Ended = false;
    bool RunOver = false;
    RunOutcome Outcome = RunOutcome::Error;
    std::string LogPath;
    std::string Port;
};

// The one end event of a command line that could not be used (exit 2).
std::string UsageErrorEvent();
// The start event's fields (also the check event's).
QJsonObject PlanFields(const RunPlan& plan);
