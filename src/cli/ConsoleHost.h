// SPDX-License-Identifier: MIT
// The command line's side of an update run: what the worker reaches of its front end (the
// port, the progress, the success flag, the file set), shown as lines on a console.
#pragma once

#include "FirmFileSet.h"
#include "FirmHost.h"
#include "ProgressView.h"

#include <atomic>

class ConsoleHost : public TFirmHost {
public:
    ConsoleHost(TCommPort& port, FirmFileSet& files, ProgressView& view);

    TCommPort& CommPort() override { return Port; }
    void SetProgressPosition(int position) override;
    void SetUpdateSucceeded(bool succeeded) override { UpdateSucceeded = succeeded; }
    int32_t GetFirstFirmFileType() override { return Files.GetFirstFirmFileType(); }
    int32_t GetNextFirmFileType() override { return Files.GetNextFirmFileType(); }
    int32_t GetFileSize(int32_t type) override { return Files.GetFileSize(type); }
    const uint8_t* GetFileBuffer(int32_t type) override { return Files.GetFileBuffer(type); }
    std::string GetFirmFileName(int32_t type) override { return Files.GetFirmFileName(type); }
    void ShowStatusText(const std::string& statusText) override;

    std::atomic<bool> UpdateSucceeded{false};

private:
    TCommPort& Port;
    FirmFileSet& Files;
    ProgressView& View;
};
