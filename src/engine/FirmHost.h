// SPDX-License-Identifier: MIT
// What the worker reaches of its window: the port, the progress bar, the success flag and the
// file set. The window implements it in the GUI, a console host in the CLI, fakes in tests.
#pragma once

#include "RunObserver.h"

#include <cstdint>
#include <string>

class TCommPort;

class TFirmHost {
public:
    virtual ~TFirmHost() = default;

    virtual TCommPort& CommPort() = 0;
    // The progress bar's position (0..100). Called on the user-interface thread by the
    // synchronised progress update, and from the worker at the end of a run: the host carries
    // that change out on the user-interface thread and returns when it is done.
    virtual void SetProgressPosition(int position) = 0;
    // The window's success flag; called on the user-interface thread.
    virtual void SetUpdateSucceeded(bool succeeded) = 0;

    // The file set, called directly from the worker. GetFirmFileName also shows the name as the
    // status text, carried out on the user-interface thread while the worker waits.
    virtual int32_t GetFirstFirmFileType() = 0;
    virtual int32_t GetNextFirmFileType() = 0;
    virtual int32_t GetFileSize(int32_t type) = 0;
    virtual const uint8_t* GetFileBuffer(int32_t type) = 0;
    virtual std::string GetFirmFileName(int32_t type) = 0;

    // Optional, for front ends that show the run's status texts (the window shows none).
    virtual void ShowStatusText(const std::string& /*statusText*/) {}

    // Who follows the run (called on the worker; see RunObserver). By default nobody.
    virtual RunObserver& Observer();
    // Where the run writes its update log. By default "logUpdate.txt" in the current directory.
    virtual std::string UpdateLogPath() const;
};
