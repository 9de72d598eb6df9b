// SPDX-License-Identifier: MIT
#include "JsonOutput.h"

#include "ExitStatus.h"
#include "SentLength.h"
#include "SystemTexts.h"
#include "Win1252.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <cmath>

namespace {

// At most ten progress events a second per file.
constexpr double ProgressInterval = 0.1;

// Rounded to `decimals` places: the nearest double, which prints short.
double Rounded(double value, int decimals)
{
    const double scale = std::pow(10.0, decimals);
    return std::round(value * scale) / scale;
}

QJsonValue PathOrNull(const std::string& path)
{
    return path.empty() ? QJsonValue(QJsonValue::Null) : QJsonValue(FromLocalPath(path));
}

QJsonValue TextOrNull(const std::string& text)
{
    return text.empty() ? QJsonValue(QJsonValue::Null) : QJsonValue(QString::fromStdString(text));
}

// A file with the bytes that go out: fewer than its size when its tail holds a 0x02.
QJsonObject FileFields(const RunFile& file)
{
    QJsonObject fields{{"name", FromLocalPath(file.Path)},
                       {"size", static_cast<qint64>(file.Size)},
                       {"sha256", QString::fromStdString(file.Sha256)},
                       {"bytes_to_send", static_cast<qint64>(file.BytesToSend())}};
    if (file.BytesToSend() != file.Size)
        fields.insert("short_send", QString::fromLatin1(ShortSendReason));
    return fields;
}

QJsonValue Utf8OrNull(const std::string& text)
{
    return text.empty() ? QJsonValue(QJsonValue::Null)
                        : QJsonValue(QString::fromUtf8(text.c_str()));
}

// The cause of an end that was not "Update OK": its key and its sentence; null after OK.
QJsonValue CauseFields(const RunResult& result)
{
    if (result.Ok())
        return QJsonValue(QJsonValue::Null);
    return QJsonObject{{"key", QString::fromLatin1(CauseKey(result.Cause))},
                       {"text", QString::fromUtf8(result.CauseText.c_str())}};
}

// A log entry is the system's text, but the path after "Loading file: " or "Next file: " is
// the system's bytes for a file name: each part in its own encoding.
QString LogEntryText(const std::string& entry)
{
    for (const char* prefix : {Texts::LogLoadingFile, Texts::LogNextFile}) {
        const std::string lead = prefix;
        if (entry.rfind(lead, 0) == 0)
            return FromSystemText(lead) + FromLocalPath(entry.substr(lead.size()));
    }
    return FromSystemText(entry);
}

QJsonArray CauseKeys(const std::vector<RunCause>& causes)
{
    QJsonArray keys;
    for (RunCause cause : causes)
        keys.append(QString::fromLatin1(CauseKey(cause)));
    return keys;
}

QJsonArray Paths(const std::vector<std::string>& paths)
{
    QJsonArray list;
    for (const auto& path : paths)
        list.append(FromLocalPath(path));
    return list;
}

}  // namespace

QJsonObject PlanFields(const RunPlan& plan)
{
    QJsonArray files;
    for (const RunFile& file : plan.Files)
        files.append(FileFields(file));
    return {{"schema", JsonOutput::SchemaVersion},
            {"port", QString::fromStdString(plan.Port)},
            {"device", PathOrNull(plan.Device)},
            {"description", TextOrNull(plan.Description)},
            {"files", files},
            {"missing", Paths(plan.Missing)},
            {"empty", Paths(plan.Empty)},
            {"estimate_s", Rounded(plan.EstimateSeconds, 1)}};
}

JsonOutput::JsonOutput(TextSink& out, Clock sinceStart)
    : Out(out), SinceStart(std::move(sinceStart))
{
}

void JsonOutput::Emit(const char* event, QJsonObject fields, bool frame)
{
    fields.insert("event", QString::fromLatin1(event));
    fields.insert("t", Rounded(SinceStart(), 3));
    if (!Port.empty())
        fields.insert("port", QString::fromLocal8Bit(Port.c_str()));
    if (Counting) {
        fields.insert("run", Index.Run);
        fields.insert("attempt", Index.Attempt);
    }
    std::string line = QJsonDocument(fields).toJson(QJsonDocument::Compact).toStdString() + "\n";
    if (frame)
        Out.Frame(std::move(line));
    else
        Out.Text(std::move(line));
}

void JsonOutput::SetRun(const RunIndex& index)
{
    std::lock_guard lock(Lock);
    Index = index;
}

void JsonOutput::Start(const RunPlan& plan)
{
    std::lock_guard lock(Lock);
    QJsonObject fields = PlanFields(plan);
    if (Counting) {
        fields.insert("attempts", Index.Attempts);
        fields.insert("earlier", CauseKeys(Index.Earlier));
        if (Index.StartedBy != NextReceiverWatch::Trigger::None)
            fields.insert("started_by", QString::fromLatin1(TriggerName(Index.StartedBy)));
    }
    Emit("start", fields);
}

void JsonOutput::Check(const RunPlan& plan, bool portOk, bool lineChecked)
{
    std::lock_guard lock(Lock);
    QJsonObject fields = PlanFields(plan);
    fields.insert("port_ok", portOk);
    fields.insert("line_checked", lineChecked);
    Emit("check", fields);
}

void JsonOutput::Message(const MessageBoxRequest& box)
{
    std::lock_guard lock(Lock);
    Emit("message", {{"caption", FromSystemText(box.Caption)}, {"text", FromSystemText(box.Text)}});
}

void JsonOutput::Warning(const std::string& text)
{
    std::lock_guard lock(Lock);
    Emit("warning", {{"text", QString::fromUtf8(text.c_str())}});
}

void JsonOutput::End(int exitCode, const RunResult* result)
{
    std::lock_guard lock(Lock);
    if (Ended)
        return;
    Ended = true;
    EmitEnd(exitCode, result);
}

void JsonOutput::RunEnd(const RunResult& result)
{
    std::lock_guard lock(Lock);
    Index.Run = result.Run;  // also for a run that ended before it began
    Index.Attempt = result.Attempt;
    EmitEnd(ExitStatusOf({result}), &result);
}

void JsonOutput::Waiting(const LineCounts& counts)
{
    std::lock_guard lock(Lock);
    Emit("waiting", {{"updated", counts.Updated}, {"failed", counts.Failed}});
}

void JsonOutput::Retry(const RunResult& failed, const RunIndex& next, double pauseSeconds)
{
    std::lock_guard lock(Lock);
    Emit("retry", {{"next_attempt", next.Attempt},
                   {"attempts", next.Attempts},
                   {"pause_s", Rounded(pauseSeconds, 3)},
                   {"cause", CauseFields(failed)}});
}

void JsonOutput::EmitEnd(int exitCode, const RunResult* result)
{
    // A run says its own outcome; without one (a check, an end before any run) the exit does.
    const bool ok = result ? result->Ok() : exitCode == ExitStatus::Ok;
    QJsonObject fields{{"outcome", ok ? "ok" : "error"},
                       {"exit", exitCode},
                       {"duration_s", Rounded(SinceStart(), 3)},
                       {"log", PathOrNull(result ? result->LogPath : std::string())}};
    if (result) {
        fields.insert("cause", CauseFields(*result));
        fields.insert("warning", Utf8OrNull(result->Warning));
        if (Counting) {
            fields.insert("attempts", result->Attempts);
            fields.insert("earlier", CauseKeys(result->Earlier));
            fields.insert("duration_s", Rounded(result->Seconds, 3));
        }
        if (!result->KeptLog.empty())
            fields.insert("kept_log", FromLocalPath(result->KeptLog));
    }
    Emit("end", fields);
}

void JsonOutput::StatusText(const std::string& text)
{
    std::lock_guard lock(Lock);
    Emit("status", {{"text", FromSystemText(text)}});
}

void JsonOutput::LogEntry(const std::string& entry)
{
    std::lock_guard lock(Lock);
    Emit("log", {{"entry", LogEntryText(entry)}});
}

void JsonOutput::FileBegins(const RunFile& file)
{
    std::lock_guard lock(Lock);
    Rate.Begin(SinceStart());
    LastProgress = -1;
    Emit("file", FileFields(file));
}

QJsonObject JsonOutput::Progress(const RunFile& file, int64_t bytes) const
{
    const int64_t toSend = file.BytesToSend();
    const double eta = Rate.FileSecondsLeft(toSend);
    const int percent =
        toSend > 0 ? static_cast<int>(std::min<int64_t>(bytes * 100 / toSend, 100)) : 100;
    return {{"name", FromLocalPath(file.Path)},
            {"percent", percent},
            {"bytes", static_cast<qint64>(bytes)},
            {"size", static_cast<qint64>(file.Size)},
            {"rate_Bps", Rounded(Rate.BytesPerSecond(), 1)},
            {"eta_s", std::isfinite(eta) ? QJsonValue(Rounded(eta, 2)) : QJsonValue()}};
}

void JsonOutput::FileProgress(const RunFile& file, int64_t written, int64_t queued)
{
    std::lock_guard lock(Lock);
    const double now = SinceStart();
    Rate.SampleWritten(now, written, queued);
    if (LastProgress >= 0 && now - LastProgress < ProgressInterval)
        return;
    LastProgress = now;
    // A progress event still waiting behind a slow reader is replaced by the next one.
    Emit("progress", Progress(file, Rate.OnLine()), true);
}

void JsonOutput::FileEnds(const RunFile& file, int64_t written, bool complete)
{
    std::lock_guard lock(Lock);
    Rate.SampleWritten(SinceStart(), written);
    if (complete)
        Emit("progress", Progress(file, written));
}

std::string UsageErrorEvent()
{
    struct Collect : TextSink {
        void Text(std::string text) override { All += text; }
        void Frame(std::string text) override { All += text; }
        std::string All;
    } collect;
    JsonOutput(collect, [] { return 0.0; }).End(ExitStatus::Usage);
    return collect.All;
}

std::string SummaryEvent(const std::vector<RunResult>& results, int exitCode, double seconds)
{
    QJsonArray ports;
    for (const RunResult& r : results)
        ports.append(QJsonObject{{"port", QString::fromLocal8Bit(r.Port.c_str())},
                                 {"device", PathOrNull(r.Device)},
                                 {"outcome", r.Ok()                                   ? "ok"
                                             : r.End == RunResult::Outcome::NotOpened ? "not_opened"
                                                                                      : "error"},
                                 {"cause", CauseFields(r)},
                                 {"warning", Utf8OrNull(r.Warning)},
                                 {"log", PathOrNull(r.LogPath)},
                                 {"duration_s", Rounded(r.Seconds, 3)},
                                 {"files_sent", r.FilesStored},
                                 {"files", r.Files}});
    const QJsonObject summary{
        {"event", "summary"}, {"t", Rounded(seconds, 3)}, {"exit", exitCode}, {"ports", ports}};
    return QJsonDocument(summary).toJson(QJsonDocument::Compact).toStdString() + "\n";
}

std::string LineSummaryEvent(const std::vector<std::vector<RunResult>>& perPort, int exitCode,
                             double seconds)
{
    QJsonArray ports;
    for (const std::vector<RunResult>& results : perPort) {
        if (results.empty())
            continue;
        QJsonArray receivers;
        for (const RunResult& r : LastAttempts(results))
            receivers.append(QJsonObject{{"run", r.Run},
                                         {"outcome", QString::fromLatin1(OutcomeKey(r.End))},
                                         {"cause", CauseFields(r)},
                                         {"attempt", r.Attempt},
                                         {"earlier", CauseKeys(r.Earlier)},
                                         {"device", PathOrNull(r.Device)},
                                         {"log", PathOrNull(r.LogPath)},
                                         {"kept_log", PathOrNull(r.KeptLog)},
                                         {"duration_s", Rounded(r.Seconds, 3)}});
        const LineCounts counts = CountReceivers(results);
        ports.append(QJsonObject{{"port", QString::fromLocal8Bit(results.front().Port.c_str())},
                                 {"updated", counts.Updated},
                                 {"failed", counts.Failed},
                                 {"attempts", static_cast<int>(results.size())},
                                 {"receivers", receivers}});
    }
    const QJsonObject summary{
        {"event", "summary"}, {"t", Rounded(seconds, 3)}, {"exit", exitCode}, {"ports", ports}};
    return QJsonDocument(summary).toJson(QJsonDocument::Compact).toStdString() + "\n";
}
