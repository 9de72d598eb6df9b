// SPDX-License-Identifier: MIT
// zendrak-cli --json: the run as a stream of JSON objects, one per line on stdout, each with
// "event" and "t" (seconds since the start). An observer of the run for status, log, file and
// progress events; the command adds start or check, message, warning and end, and with several
// ports a summary. On a production line (--loop, --retries) every event also carries the run's
// number and attempt, each attempt has its own end, the waits for the next receiver and the
// retries are events of their own, and a summary of every port's receivers ends the stream.
// Schema version 1.
#pragma once

#include "Messages.h"
#include "RunEstimate.h"
#include "RunObserver.h"
#include "RunPlan.h"
#include "RunResult.h"
#include "SessionObserver.h"
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
    // Every event from now on carries "run" and "attempt" (a production line).
    void CountRuns() { Counting = true; }
    // The run the next events belong to.
    void SetRun(const RunIndex& index);

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
    // The end of one run of a production line (the stream goes on).
    void RunEnd(const RunResult& result);
    // The port waits for the next receiver: "waiting" with the receivers so far.
    void Waiting(const LineCounts& counts);
    // A failed run is tried again: "retry" with the attempt to come and why the last failed.
    void Retry(const RunResult& failed, const RunIndex& next, double pauseSeconds);

    void StatusText(const std::string& text) override;
    void LogEntry(const std::string& entry) override;
    void FileBegins(const RunFile& file) override;
    void FileProgress(const RunFile& file, int64_t written, int64_t queued) override;
    void FileEnds(const RunFile& file, int64_t written, bool complete) override;

private:
    void Emit(const char* event, QJsonObject fields, bool frame = false);
    void EmitEnd(int exitCode, const RunResult* result);
    QJsonObject Progress(const RunFile& file, int64_t bytes) const;

    TextSink& Out;
    Clock SinceStart;
    std::mutex Lock;
    SendRate Rate;
    double LastProgress = -1;
    bool Ended = false;
    std::string Port;
    bool Counting = false;
    RunIndex Index;
};

// The one end event of a command line that could not be used (exit 2).
std::string UsageErrorEvent();
// The start event's fields (also the check event's).
QJsonObject PlanFields(const RunPlan& plan);
// The last event of a command with several ports: each port's result, and the exit status.
std::string SummaryEvent(const std::vector<RunResult>& results, int exitCode, double seconds);
// The last event of a production line: per port its receivers updated and failed, its
// attempts, and each receiver's last attempt; the exit status and the session's duration.
std::string LineSummaryEvent(const std::vector<std::vector<RunResult>>& perPort, int exitCode,
                             double seconds);
