// SPDX-License-Identifier: MIT
#include "BenchRow.h"

#include "SystemTexts.h"
#include "Win1252.h"

#include <QFileInfo>

BenchRow::BenchRow(BenchPort port, bool included) : Included(included), PortInfo(std::move(port)) {}

void BenchRow::PortChanged(const BenchPort& port)
{
    PortInfo = port;
}

void BenchRow::RunBegins(const std::vector<RunFile>& files, int attempt, int attempts)
{
    // A later attempt remembers why the one before it failed.
    Earlier = attempt > 1 ? End : std::nullopt;
    End.reset();
    Now = State::Running;
    Attempt = attempt;
    Attempts = attempts;
    Progress.Begin(files);
    Status.clear();
    Entries.clear();
}

void BenchRow::StatusText(const std::string& text)
{
    if (Now == State::Running)
        Status = text;
}

void BenchRow::LogEntry(const std::string& entry)
{
    if (Now == State::Running)
        Entries.push_back(entry);
}

void BenchRow::FileBegins(const RunFile& file, double now)
{
    if (Now == State::Running)
        Progress.FileBegins(file, now);
}

void BenchRow::FileProgress(int64_t onLine, double now)
{
    if (Now == State::Running)
        Progress.FileProgress(onLine, now);
}

void BenchRow::FileEnds(int64_t written, bool complete, double now)
{
    if (Now == State::Running)
        Progress.FileEnds(written, complete, now);
}

void BenchRow::RunEnds(const BenchRunEnd& end)
{
    End = end;
    Now = end.RetryFollows ? State::BetweenAttempts : State::Done;
}

void BenchRow::WaitingForNextReceiver(const LineCounts& counts)
{
    // A retry stopped during its pause has ended its receiver.
    if (End)
        End->RetryFollows = false;
    Counts = counts;
    Now = State::Waiting;
}

void BenchRow::SessionEnds(const LineCounts& counts)
{
    if (End)
        End->RetryFollows = false;
    Counts = counts;
    if (Now != State::Idle)
        Now = State::Done;
}

bool BenchRow::Active() const
{
    return Now == State::Running || Now == State::BetweenAttempts || Now == State::Waiting;
}

QString BenchRow::PresenceText() const
{
    return PortInfo.Present ? QStringLiteral("present") : QStringLiteral("absent");
}

QString BenchRow::FileText() const
{
    if (Progress.FileNumber() == 0)
        return {};
    return QStringLiteral("%1 of %2: %3")
        .arg(Progress.FileNumber())
        .arg(Progress.FileCount())
        .arg(QFileInfo(FromLocalPath(Progress.File().Path)).fileName());
}

int BenchRow::Percent() const
{
    return Progress.Percent();
}

QString BenchRow::PercentText() const
{
    const int percent = Percent();
    return percent < 0 ? QString() : QStringLiteral("%1%").arg(percent);
}

QString BenchRow::FiguresText() const
{
    return Now == State::Running ? SendFiguresText(Progress) : QString();
}

QString BenchRow::StatusCellText() const
{
    if (Now == State::Waiting)
        return QStringLiteral("waiting for the next receiver (%1 updated, %2 failed)")
            .arg(Counts.Updated)
            .arg(Counts.Failed);
    return FromSystemText(Status);
}

namespace {

QString EndText(const BenchRunEnd& end)
{
    const QString name = BenchOutcomeName(end.Outcome);
    return end.Cause.empty() ? name : name + QStringLiteral(": ") + FromSystemText(end.Cause);
}

}  // namespace

QString BenchRow::OutcomeText() const
{
    switch (Now) {
    case State::Idle: return {};
    case State::Running:
        if (Attempt > 1 && Earlier)
            return QStringLiteral("attempt %1 of %2 (earlier: %3)")
                .arg(Attempt)
                .arg(Attempts)
                .arg(EndText(*Earlier));
        return {};
    case State::BetweenAttempts:
        return QStringLiteral("%1 (attempt %2 of %3)")
            .arg(EndText(*End))
            .arg(Attempt)
            .arg(Attempts);
    case State::Waiting:
    case State::Done: break;
    }
    if (!End)
        return {};
    // A receiver that took more than one attempt says so.
    return Attempt > 1 ? QStringLiteral("%1 (attempt %2 of %3)")
                             .arg(EndText(*End))
                             .arg(Attempt)
                             .arg(Attempts)
                       : EndText(*End);
}

bool BenchRow::HasDetails() const
{
    return End.has_value() || !Entries.empty();
}

std::string BenchRow::DetailsText() const
{
    std::string text = PortInfo.Port + ": ";
    if (End)
        text += ToSystemText(EndText(*End));
    else
        text += "the run is under way";
    text += "\n";
    if (End && !End->Remark.empty())
        text += End->Remark + "\n";
    if (Attempts > 1)
        text += "Attempt " + std::to_string(Attempt) + " of " + std::to_string(Attempts) + "\n";
    if (End && !End->LogPath.empty())
        text += "Log: " + ToSystemText(FromLocalPath(End->LogPath)) + "\n";
    else if (End)
        text += "This run wrote no log.\n";
    text += "\n";
    for (const std::string& entry : Entries)
        text += entry + "\n";
    return text;
}

QString BenchOutcomeName(BenchOutcome outcome)
{
    switch (outcome) {
    case BenchOutcome::Ok: return FromSystemText(Texts::UpdateOk);
    case BenchOutcome::Error: return FromSystemText(Texts::UpdateError);
    case BenchOutcome::NotOpened: return QStringLiteral("not opened");
    case BenchOutcome::Cancelled: break;
    }
    return QStringLiteral("cancelled");
}
