// SPDX-License-Identifier: MIT
// Cancelling a run: the request, the pauses it cuts short, and the end of a cancelled run. A run
// that is never asked to stop pauses, sends and logs exactly as before.
#include "FirmThread.h"

#include "SystemTexts.h"

void TFirmThread::RequestCancel()
{
    {
        std::lock_guard lock(CancelMutex);
        CancelRequested = true;
    }
    CancelWake.notify_all();
}

void TFirmThread::StopIfCancelled() const
{
    if (CancelRequested && !PastCancel)
        throw RunCancelled{};
}

void TFirmThread::SleepUnlessCancelled(unsigned milliseconds)
{
    std::unique_lock lock(CancelMutex);
    // On the steady clock, so the pause is as long as asked whatever the wall clock does. Past
    // the point of no return the pause lasts as asked: the receiver is starting its firmware.
    if (CancelWake.wait_for(lock, std::chrono::milliseconds(milliseconds),
                            [this] { return CancelRequested.load() && !PastCancel; }))
        throw RunCancelled{};
}

// Whatever the run had reached, it did not end as it should: no success, the cancel in the
// log, then the end every run has.
void TFirmThread::EndCancelledRun()
{
    CancelTaken = true;
    Succeeded = false;
    Synchronize([this] { Host.SetUpdateSucceeded(false); });
    StatusAndLog(Texts::LogUpdateCancelled);
    PassEnd();
}
