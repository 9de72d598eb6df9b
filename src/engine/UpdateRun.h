// SPDX-License-Identifier: MIT
// UpdateRun: one update run as an object. It owns the run's folder (where the firmware files are
// read and "logUpdate.txt" is written), its file set, its port and its observers, and is the
// worker's host for front ends that follow the run through observers (the command line, a
// bench). Nothing of it is process-wide: several runs can live side by side.
#pragma once

#include "FirmFileSet.h"
#include "FirmHost.h"
#include "RunObserver.h"
#include "comm_port.h"

#include <atomic>
#include <memory>
#include <string>
#include <vector>

class UpdateRun : public TFirmHost {
public:
    // `folder` names the working folder (empty: the current directory); it is made absolute now.
    explicit UpdateRun(const std::string& folder);

    const std::string& Folder() const { return RunFolder; }
    // Finds and reads the firmware files of the folder; false when none could be opened.
    bool ReadFiles();
    // The files that will be sent, in their order, with size and SHA-256.
    std::vector<RunFile> FilesToSend() const;

    FirmFileSet Files;

private:
    // Held by pointer: its destructor may raise, a host's may not.
    std::unique_ptr<TCommPort> PortObject = std::make_unique<TCommPort>();

public:
    TCommPort& Port = *PortObject;
    RunObservers Observers;
    // Set by the worker when every file was done.
    std::atomic<bool> Succeeded{false};

    TCommPort& CommPort() override { return Port; }
    void SetProgressPosition(int /*position*/) override {}  // shown through the observers
    void SetUpdateSucceeded(bool succeeded) override { Succeeded = succeeded; }
    int32_t GetFirstFirmFileType() override { return Files.GetFirstFirmFileType(); }
    int32_t GetNextFirmFileType() override { return Files.GetNextFirmFileType(); }
    int32_t GetFileSize(int32_t type) override { return Files.GetFileSize(type); }
    const uint8_t* GetFileBuffer(int32_t type) override { return Files.GetFileBuffer(type); }
    std::string GetFirmFileName(int32_t type) override { return Files.GetFirmFileName(type); }
    RunObserver& Observer() override { return Observers; }
    std::string UpdateLogPath() const override;

private:
    std::string RunFolder;
};
