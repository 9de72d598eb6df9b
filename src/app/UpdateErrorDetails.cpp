// SPDX-License-Identifier: MIT
#include "UpdateErrorDetails.h"

#include "SystemTexts.h"

#include <algorithm>
#include <fstream>
#include <sys/stat.h>

namespace {

// A log bigger than this is not one of ours; only its start is shown.
constexpr std::streamsize MaxLogBytes = 1 << 20;

bool Contains(const std::vector<std::string>& entries, const char* entry)
{
    return std::find(entries.begin(), entries.end(), entry) != entries.end();
}

}  // namespace

FileStamp FileStamp::Of(const std::string& path)
{
    FileStamp stamp;
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return stamp;
    stamp.Exists = true;
    stamp.Device = info.st_dev;
    stamp.Inode = info.st_ino;
    stamp.Size = info.st_size;
    stamp.ModifiedNs =
        static_cast<long long>(info.st_mtim.tv_sec) * 1000000000LL + info.st_mtim.tv_nsec;
    return stamp;
}

RunFailure LikelyRunFailure(const std::vector<std::string>& entries)
{
    // No log: a port error ended the run before it could write one.
    if (entries.empty())
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
        return std::string("No connection: the receiver did not answer. Check the cable, the "
                           "port and that the receiver is switched on, then start again.") +
               help;
    case RunFailure::FileRefused:
        return std::string("File refused: the receiver rejected a firmware file. Check that the "
                           "files are the right ones for this receiver.") +
               help;
    case RunFailure::NothingStored:
        return std::string("Nothing stored: the receiver did not confirm storing the file. Leave "
                           "it switched on and start the update again.") +
               help;
    case RunFailure::LineLost:
        break;
    }
    return std::string("Line lost: the receiver stopped answering during the transfer. Check the "
                       "cable and the adapter, then start again.") +
           help;
}

std::vector<std::string> ReadLogEntries(const std::string& path)
{
    std::vector<std::string> entries;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return entries;
    std::string content(static_cast<size_t>(MaxLogBytes), '\0');
    in.read(content.data(), MaxLogBytes);
    content.resize(static_cast<size_t>(in.gcount()));
    size_t start = 0;
    while (start < content.size()) {
        size_t end = content.find('\n', start);
        if (end == std::string::npos)
            end = content.size();
        std::string line = content.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        entries.push_back(line);
        start = end + 1;
    }
    return entries;
}

std::string UpdateErrorDetails(const std::string& logPath, const std::string& shownPath,
                               bool written)
{
    const std::vector<std::string> entries =
        written ? ReadLogEntries(logPath) : std::vector<std::string>{};
    std::string details = RunFailureAdvice(LikelyRunFailure(entries)) + "\n\n";
    if (!written) {
        details += "This run wrote no log (" + shownPath +
                   "): a port error ended it early, or the log could not be written.";
        return details;
    }
    details += shownPath + ":\n";
    for (const std::string& entry : entries)
        details += entry + "\n";
    return details;
}
