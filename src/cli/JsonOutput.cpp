// SPDX-License-Identifier: MIT
#include "JsonOutput.h"

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

QJsonObject FileFields(const RunFile& file)
{
    return {{"name", FromLocalPath(file.Path)},
            {"size", static_cast<qint64>(file.Size)},
            {"sha256", QString::fromStdString(file.Sha256)}};
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
    std::string line = QJsonDocument(fields).toJson(QJsonDocument::Compact).toStdString() + "\n";
    if (frame)
        Out.Frame(std::move(line));
    else
        Out.Text(std::move(line));
}

void JsonOutput::Start(const RunPlan& plan)
{
    std::lock_guard lock(Lock);
    Emit("start", PlanFields(plan));
}

void JsonOutput::Check(const RunPlan& plan, bool portOk)
{
    std::lock_guard lock(Lock);
    QJsonObject fields = PlanFields(plan);
    fields.insert("port_ok", portOk);
    Emit("check", fields);
}

void JsonOutput::Message(const MessageBoxRequest& box)
{
    std::lock_guard lock(Lock);
    Emit("message", {{"caption", FromSystemText(box.Caption)}, {"text", FromSystemText(box.Text)}});
}

void JsonOutput::End(int exitCode)
{
    std::lock_guard lock(Lock);
    if (Ended)
        return;
    Ended = true;
    // A run says its own outcome; without one (a check, an error before the run) the exit does.
    const bool ok = exitCode == 0 && (!RunOver || Outcome == RunOutcome::Ok);
    Emit("end", {{"outcome", ok ? "ok" : "error"},
                 {"exit", exitCode},
                 {"duration_s", Rounded(SinceStart(), 3)},
                 {"log", PathOrNull(LogPath)}});
}

void JsonOutput::StatusText(const std::string& text)
{
    std::lock_guard lock(Lock);
    Emit("status", {{"text", FromSystemText(text)}});
}

void JsonOutput::LogEntry(const std::string& entry)
{
    std::lock_guard lock(Lock);
    Emit("log", {{"entry", FromSystemText(entry)}});
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
    const double eta = Rate.FileSecondsLeft(file.Size);
    const int percent = file.Size > 0 ? static_cast<int>(bytes * 100 / file.Size) : 100;
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
    const int64_t onLine = std::max<int64_t>(written - queued, 0);
    Rate.Sample(now, onLine);
    if (LastProgress >= 0 && now - LastProgress < ProgressInterval)
        return;
    LastProgress = now;
    // A progress event still waiting behind a slow reader is replaced by the next one.
    Emit("progress", Progress(file, onLine), true);
}

void JsonOutput::FileEnds(const RunFile& file, int64_t written, bool complete)
{
    std::lock_guard lock(Lock);
    Rate.Sample(SinceStart(), written);
    if (complete)
        Emit("progress", Progress(file, written));
}

void JsonOutput::RunEnds(RunOutcome outcome, const std::string& logPath)
{
    std::lock_guard lock(Lock);
    RunOver = true;
    Outcome = outcome;
    LogPath = logPath;
}

std::string UsageErrorEvent()
{
    struct Collect : TextSink {
        void Text(std::string text) override { All += text; }
        void Frame(std::string text) override { All += text; }
        std::string All;
    } collect;
    JsonOutput(collect, [] { return 0.0; }).End(2);
    return collect.All;
}
