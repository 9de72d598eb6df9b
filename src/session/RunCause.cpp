// SPDX-License-Identifier: MIT
#include "RunCause.h"

#include "SystemTexts.h"

#include <algorithm>

namespace {

bool Contains(const std::vector<std::string>& entries, const char* entry)
{
    return std::find(entries.begin(), entries.end(), entry) != entries.end();
}

const char* const HelpOnTheLog = " See \"Reading logUpdate.txt\" in the help.";

}  // namespace

const char* CauseKey(RunCause cause)
{
    switch (cause) {
    case RunCause::None: return "";
    case RunCause::Refused: return "refused";
    case RunCause::NoConnection: return "no_connection";
    case RunCause::LineLost: return "line_lost";
    case RunCause::NotStored: return "not_stored";
    case RunCause::Cancelled: return "cancelled";
    case RunCause::NotOpened: return "not_opened";
    }
    return "";
}

const char* CauseShortText(RunCause cause)
{
    switch (cause) {
    case RunCause::None: return "";
    case RunCause::Refused: return "refused";
    case RunCause::NoConnection: return "no connection";
    case RunCause::LineLost: return "line lost";
    case RunCause::NotStored: return "not stored";
    case RunCause::Cancelled: return "cancelled";
    case RunCause::NotOpened: return "not opened";
    }
    return "";
}

std::string CauseAdvice(RunCause cause, bool overNetwork)
{
    switch (cause) {
    case RunCause::None: return {};
    case RunCause::NoConnection:
        return std::string(
                   "No connection: the receiver did not answer. Check the cable, the port and "
                   "that the receiver is switched on, then start again.") +
               HelpOnTheLog;
    case RunCause::Refused:
        return std::string(
                   "File refused: the receiver rejected a firmware file. Check that the files "
                   "are the right ones for this receiver.") +
               HelpOnTheLog;
    case RunCause::NotStored:
        return std::string(
                   "Nothing stored: the receiver did not confirm storing the file. Leave it "
                   "switched on and start the update again.") +
               HelpOnTheLog;
    case RunCause::LineLost:
        if (overNetwork)
            return std::string(
                       "Line lost: the receiver stopped answering, or the connection to its "
                       "server was lost, during the transfer. Check the network, the server and "
                       "the receiver's cable, then start again.") +
                   HelpOnTheLog;
        return std::string(
                   "Line lost: the receiver stopped answering during the transfer. Check the "
                   "cable and the adapter, then start again.") +
               HelpOnTheLog;
    case RunCause::Cancelled:
        return "Cancelled: the update was stopped before it ended. The receiver may not start "
               "until it has been updated again.";
    case RunCause::NotOpened: return "Not opened: the port could not be opened; nothing was sent.";
    }
    return {};
}

RunCause LikelyRunCause(const std::vector<std::string>& entries, bool endedEarly)
{
    if (endedEarly || entries.empty())
        return RunCause::LineLost;
    if (Contains(entries, Texts::LogUpdateCancelled))
        return RunCause::Cancelled;
    if (Contains(entries, Texts::StatusWrong))
        return RunCause::Refused;
    if (Contains(entries, Texts::StatusNoConnection) ||
        Contains(entries, Texts::LogConnectReadStuffLimit))
        return RunCause::NoConnection;
    // The receiver began to store a file and never said it had finished.
    const auto saving =
        std::find(entries.rbegin(), entries.rend(), std::string(Texts::StatusSaving));
    if (saving != entries.rend() &&
        std::find(entries.rbegin(), saving, std::string(Texts::StatusSaved)) == saving)
        return RunCause::NotStored;
    return RunCause::LineLost;
}
