// SPDX-License-Identifier: MIT
// BenchRow: one port's row of the bench as plain data: whether it is included, its port, the
// state of its run, and the texts of its cells (the file "2 of 3: decoder.app", the percent,
// rate and time left, the status text, the outcome with its cause) and of its details.
#pragma once

#include "BenchRowEvents.h"
#include "RunProgress.h"

#include <QString>
#include <optional>

class BenchRow {
public:
    enum class State {
        Idle,             // no run yet
        Running,          // a run is under way
        BetweenAttempts,  // a run failed; the next attempt starts after a pause
        Waiting,          // waiting for the next receiver
        Done,             // the last run has ended
    };

    BenchRow(BenchPort port, bool included);

    // The events, with the time each came (seconds on a steady clock).
    void PortChanged(const BenchPort& port);
    void RunBegins(const std::vector<RunFile>& files, int attempt, int attempts);
    void StatusText(const std::string& text);
    void LogEntry(const std::string& entry);
    void FileBegins(const RunFile& file, double now);
    void FileProgress(int64_t onLine, double now);
    void FileEnds(int64_t written, bool complete, double now);
    void RunEnds(const BenchRunEnd& end);
    void WaitingForNextReceiver(const LineCounts& counts);
    void SessionEnds(const LineCounts& counts);

    bool Included = false;
    const BenchPort& Port() const { return PortInfo; }
    State CurrentState() const { return Now; }
    // A run under way, between attempts or waiting for the next receiver.
    bool Active() const;
    // The end of the last run, if one has ended.
    const std::optional<BenchRunEnd>& LastEnd() const { return End; }
    // The receivers of the row's last session, each by its last attempt, as its session counts
    // them (told while it waits and at its end).
    const LineCounts& Receivers() const { return Counts; }

    // The cells' texts.
    QString PresenceText() const;
    QString FileText() const;  // "2 of 3: decoder.app"
    int Percent() const;       // of the file; -1: no bar
    QString PercentText() const;
    QString FiguresText() const;  // "11.5 kB/s · 0:21 left" while a file is sent
    QString StatusCellText() const;
    QString OutcomeText() const;
    // "Details": there is a run to tell of; its outcome, cause, log and entries (Windows-1252).
    bool HasDetails() const;
    std::string DetailsText() const;

private:
    BenchPort PortInfo;
    State Now = State::Idle;
    RunProgress Progress;
    std::string Status;
    std::vector<std::string> Entries;
    std::optional<BenchRunEnd> End;
    // The failure that the attempt under way follows.
    std::optional<BenchRunEnd> Earlier;
    int Attempt = 0;
    int Attempts = 0;
    LineCounts Counts;
};

// "Update OK", "Update Error", "not opened", "cancelled".
QString BenchOutcomeName(BenchOutcome outcome);
