// SPDX-License-Identifier: MIT
// Why an update did not end "Update OK", in the words both front ends use: a stable key for
// scripts, a short phrase for tables, and one sentence of advice for people (the window's
// details, the command line's last lines, the JSON "cause").
#pragma once

#include <string>
#include <vector>

enum class RunCause {
    None,          // the update ended "Update OK"
    Refused,       // the receiver rejected a file
    NoConnection,  // the receiver did not answer (or not as a receiver answers)
    LineLost,      // the receiver stopped answering during the transfer, or the line went
    NotStored,     // the receiver began to store a file and never said it had finished
    Cancelled,     // the user stopped the update
    NotOpened,     // the port could not be opened (nothing was sent)
};

// "refused", "no_connection", "line_lost", "not_stored", "cancelled", "not_opened"; "" for None.
const char* CauseKey(RunCause cause);
// "refused", "no connection", "line lost", "not stored", "cancelled", "not opened".
const char* CauseShortText(RunCause cause);
// One sentence for the user, naming the help page on the log where it helps (ASCII).
// `overNetwork`: the port is on another machine, so a lost line may be the connection.
std::string CauseAdvice(RunCause cause, bool overNetwork = false);

// The most likely cause of a failed run, from its log entries (Windows-1252). `endedEarly`:
// a port error ended the run before it wrote its log.
RunCause LikelyRunCause(const std::vector<std::string>& entries, bool endedEarly);
