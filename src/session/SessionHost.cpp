// SPDX-License-Identifier: MIT
#include "SessionHost.h"

#include "SystemTexts.h"

void RunRecord::StatusText(const std::string& text)
{
    // A file is done when the receiver reports it stored, or answers "fin" for it.
    if (text == Texts::StatusSaved || text == Texts::StatusFin) {
        std::lock_guard lock(Lock);
        ++Stored;
    }
}

void RunRecord::LogEntry(const std::string& entry)
{
    std::lock_guard lock(Lock);
    Recorded.push_back(entry);
}

void RunRecord::PortError(const ECommError& error)
{
    std::lock_guard lock(Lock);
    if (!FirstError)
        FirstError = error;
}

void RunRecord::RunEnds(RunOutcome /*outcome*/, const std::string& logPath)
{
    std::lock_guard lock(Lock);
    LogPath = logPath;
}

std::vector<std::string> RunRecord::Entries() const
{
    std::lock_guard lock(Lock);
    return Recorded;
}

int RunRecord::FilesStored() const
{
    std::lock_guard lock(Lock);
    return Stored;
}

std::string RunRecord::WrittenLog() const
{
    std::lock_guard lock(Lock);
    return LogPath;
}

std::optional<ECommError> RunRecord::FirstPortError() const
{
    std::lock_guard lock(Lock);
    return FirstError;
}

SessionHost::SessionHost(std::shared_ptr<const FirmwareFiles> files, TCommPort& port,
                         RunObserver& observer, std::string logPath, RunDisplay* display)
    : Files(std::move(files)), Port(port), LogPath(std::move(logPath)), Display(display)
{
    Cursor.Folder = Files->Folder();
    Cursor.FirmFileNames = Files->Blocks().FirmFileNames;
    Cursor.FirmFileSizes = Files->Blocks().FirmFileSizes;
    if (Display)
        Cursor.ShowStatusText = [this](const std::string& path) { Display->ShowFileName(path); };
    Observers.Add(Record);
    Observers.Add(observer);
}

void SessionHost::SetProgressPosition(int position)
{
    if (Display)
        Display->SetProgressPosition(position);
}

void SessionHost::SetUpdateSucceeded(bool succeeded)
{
    Succeeded = succeeded;
    if (Display)
        Display->SetUpdateSucceeded(succeeded);
}

const uint8_t* SessionHost::GetFileBuffer(int32_t type)
{
    return Files->Blocks().GetFileBuffer(type);
}
