// SPDX-License-Identifier: MIT
#include "UpdateErrorDetails.h"

#include "SystemTexts.h"

#include <algorithm>

namespace {

bool Contains(const std::vector<std::string>& entries, const char* entry)
{
    return std::find(entries.begin(), entries.end(), entry) != entries.end();
}

}  // namespace

void RunLogRecorder::Reset()
{
    const std::lock_guard<std::mutex> guard(Lock);
    Recorded.clear();
    LogPath.clear();
}

void RunLogRecorder::LogEntry(const std::string& entry)
{
    const std::lock_guard<std::mutex> guard(Lock);
    Recorded.push_back(entry);
}

void RunLogRecorder::RunEnds(RunOutcome /*outcome*/, const std::string& logPath)
{
    const std::lock_guard<std::mutex> guard(Lock);
    LogPath = logPath;
}

std::vector<std::string> RunLogRecorder::Entries() const
{
    const std::lock_guard<std::mutex> guard(Lock);
    return Recorded;
}

std::string RunLogRecorder::WrittenLog() const
{
    const std::lock_guard<std::mutex> guard(Lock);
    return LogPath;
}

RunFailure LikelyRunFailure(const std::vector<std::string>& entries, bool logWritten)
{
    // No log: a port error ended the run before it could write one.
    if (!logWritten || entries.empty())
        return RunFailure::LineLost;
    if (Contains(entries, Texts::StatusWrong))
        return RunFailure::FileRefused;
    if (Contains(entries, Texts::StatusNoConnection) ||
        Contains(entries, Texts::LogConnectReadStuffLimit))
        return RunFailure::NoConnection;
    // The receiver began to store a file and never said it had finished.
    const auto saving =
        std::find(entries.rbegin(), entries.rend(), std::string(Texts::StatusSaving));
    if (saving != entries.rend() &&
        std::find(entries.rbegin(), saving, std::string(Texts::StatusSaved)) == saving)
        return RunFailure::NothingStored;
    return RunFailure::LineLost;
}

std::string RunFailureAdvice(RunFailure failure)
{
    const char* help = " See \"Reading logUpdate.txt\" in the help.";
    switch (failure) {
    case RunFailure::NoConnection:
        return std::string(
                   "No connection: the receiver did not answer. Check the cable, the "
                   "port and that the receiver is switched on, then start again.") +
               help;
    case RunFailure::FileRefused:
        return std::string(
                   "File refused: the receiver rejected a firmware file. Check that the "
                   "files are the right ones for this receiver.") +
               help;
    case RunFailure::NothingStored:
        return std::string(
                   "Nothing stored: the receiver did not confirm storing the file. Leave "
                   "it switched on and start the update again.") +
               help;
    case RunFailure::LineLost: break;
    }
    return std::string(
               "Line lost: the receiver stopped answering during the transfer. Check the "
               "cable and the adapter, then start again.") +
           help;
}

std::string UpdateErrorDetails(const std::vector<std::string>& entries, const std::string& shownLog,
                               bool logWritten)
{
    std::string details = RunFailureAdvice(LikelyRunFailure(entries, logWritten)) + "\n\n";
    if (logWritten)
        details += shownLog + ":\n";
    else
        details += "This run wrote no log (" + shownLog +
                   " is unchanged): a port error ended it early, or the log could not be "
                   "written. Its entries so far:\n";
    for (const std::string& entry : entries)
        details += entry + "\n";
    return details;
}
