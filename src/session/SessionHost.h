// SPDX-License-Identifier: MIT
// SessionHost: what the engine's worker reaches during one run of a session: the session's port,
// the firmware files (shared read-only, walked with a cursor of this run's own), its observer
// and the place of its update log. It also keeps what the session needs to know of the run
// afterwards (RunRecord): the log entries, the files stored, the first port error, the log.
// A window that shows a run as its own worker's host always has gives a RunDisplay.
#pragma once

#include "FirmHost.h"
#include "FirmwareFiles.h"
#include "PortProblem.h"
#include "RunObserver.h"
#include "comm_port.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class RunRecord : public RunObserver {
public:
    void StatusText(const std::string& text) override;
    void LogEntry(const std::string& entry) override;
    void PortError(const ECommError& error) override;
    void RunEnds(RunOutcome outcome, const std::string& logPath) override;

    std::vector<std::string> Entries() const;
    int FilesStored() const;
    // The log the run wrote; empty when it wrote none.
    std::string WrittenLog() const;
    // The first port error the run met (code, errno, the processes holding the port).
    std::optional<ECommError> FirstPortError() const;

private:
    mutable std::mutex Lock;
    std::vector<std::string> Recorded;
    int Stored = 0;
    std::string LogPath;
    std::optional<ECommError> FirstError;
};

// What a window shows of a run the way its worker's host always has: the progress bar's position
// and the success flag as the engine hands them over (on the user-interface thread, or from the
// run's thread at its end, carried out there while the run waits), and the path of each file as
// the run takes it up, as the status text (also carried out while the run waits).
class RunDisplay {
public:
    virtual ~RunDisplay() = default;
    virtual void SetProgressPosition(int position) = 0;
    virtual void SetUpdateSucceeded(bool succeeded) = 0;
    virtual void ShowFileName(const std::string& path) = 0;
};

class SessionHost : public TFirmHost {
public:
    // `display` may be null: the run is shown through the observer alone.
    SessionHost(std::shared_ptr<const FirmwareFiles> files, TCommPort& port, RunObserver& observer,
                std::string logPath, RunDisplay* display = nullptr);

    TCommPort& CommPort() override { return Port; }
    void SetProgressPosition(int position) override;
    void SetUpdateSucceeded(bool succeeded) override;
    int32_t GetFirstFirmFileType() override { return Cursor.GetFirstFirmFileType(); }
    int32_t GetNextFirmFileType() override { return Cursor.GetNextFirmFileType(); }
    int32_t GetFileSize(int32_t type) override { return Cursor.GetFileSize(type); }
    const uint8_t* GetFileBuffer(int32_t type) override;
    std::string GetFirmFileName(int32_t type) override { return Cursor.GetFirmFileName(type); }
    RunObserver& Observer() override { return Observers; }
    std::string UpdateLogPath() const override { return LogPath; }

    std::atomic<bool> Succeeded{false};
    RunRecord Record;

private:
    std::shared_ptr<const FirmwareFiles> Files;
    // Names and sizes of the shared set, no buffers: this run's own place in the files.
    FirmFileSet Cursor;
    TCommPort& Port;
    RunObservers Observers;
    std::string LogPath;
    RunDisplay* Display;
};
