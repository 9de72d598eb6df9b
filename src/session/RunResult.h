// SPDX-License-Identifier: MIT
// RunResult: how one update run of a session ended, everything a front end shows of it. Every
// channel (the last stdout line, the exit status, the JSON end and summary, the trace's END,
// the window's status) is derived from it, so they always agree.
#pragma once

#include "PortProblem.h"
#include "RunCause.h"

#include <optional>
#include <string>
#include <vector>

struct RunResult {
    enum class Outcome {
        Ok,         // every file stored: "Update OK" (also when only the log is missing)
        Error,      // "Update Error"
        NotOpened,  // the run could not begin: the port (or its log folder); nothing was sent
        Cancelled,  // stopped by the user; "Update Error" for the receiver
    };

    Outcome End = Outcome::Error;
    RunCause Cause = RunCause::None;
    std::string CauseText;  // one sentence for users (UTF-8); empty after "Update OK"
    std::string Port;       // as messages name it
    std::string Device;     // what the port led to, "" when not known
    std::string Adapter;    // the device's stable identity (a /dev/serial/by-id link) when a
                            // record is kept; "" when not known
    int FilesStored = 0;    // files the receiver took and stored
    int Files = 0;          // files to send
    std::string LogPath;    // the update log written; "" when none was
    double Seconds = 0;     // from the run's start (after any wait for the device) to its end
    // Said with the outcome, which it does not change: the log could not be written, or a
    // cancel came after the receiver had been told to start.
    std::string Warning;
    std::optional<PortProblem> Problem;  // the port problem that ended or prevented the run
    bool EndedByError = false;           // an error ended the run before it could write its log

    // Of its session: the run's number (from 1) and its attempt (from 1; more after retries),
    // of how many at most, and why each earlier attempt of the run failed.
    int Run = 1;
    int Attempt = 1;
    int Attempts = 1;
    std::vector<RunCause> Earlier;
    // The run's log kept under logs/ ("logs/....txt", relative to the working folder); empty
    // when no record is kept or no log was written.
    std::string KeptLog;

    bool Ok() const { return End == Outcome::Ok; }
};

// "Update OK" or "Update Error" (Windows-1252, the system's texts); "not opened" for a run that
// could not begin.
const char* OutcomeText(RunResult::Outcome outcome);
// "ok", "error", "not_opened", "cancelled".
const char* OutcomeKey(RunResult::Outcome outcome);
