// SPDX-License-Identifier: MIT
// NextReceiverWait: a port's wait between two receivers of a production line, on the session's
// thread. It reads the port and looks at its device, never writes, and hands what it finds to a
// NextReceiverWatch until the next receiver is there, a start is asked for, or the wait is
// ended. The port is held open while its device is there, so that a new receiver's start-up
// output is seen; when the device goes, the port is closed at once: a port still held open
// would keep the device's name taken, and the system would give the adapter plugged in next
// another name. After a device came back the port stays closed until the run opens it (with
// the settling open of a new device). A port on another machine is watched through its
// connection alone: its presence is not looked at (that would be a second connection).
#pragma once

#include "NextReceiverWatch.h"
#include "PortSpec.h"

#include <chrono>
#include <functional>
#include <memory>

class TCommPort;

// Reads away what the port still holds from before (a receiver's own restart, the rest of its
// start-up output) until nothing has come for `quiet`, for at most `limit` or until `stop`;
// nothing is sent. False when the line failed.
bool ReadAwayPending(TCommPort& port, std::chrono::milliseconds quiet,
                     std::chrono::milliseconds limit, const std::function<bool()>& stop = {});

class NextReceiverWait {
public:
    // The session's side of the wait. Each is called on the session's thread.
    struct Control {
        // True once the wait is to end without a next receiver (stop, cancel).
        std::function<bool()> Ended;
        // True once when a start was asked for (Enter, a button); clears the request.
        std::function<bool()> TakeStartRequest;
        // Waits up to that long, less when the wait is to end or a start is asked for.
        std::function<void(std::chrono::milliseconds)> Rest;
    };

    NextReceiverWait(const PortSpec& port, std::chrono::milliseconds quiet, Control control);
    ~NextReceiverWait();
    NextReceiverWait(const NextReceiverWait&) = delete;
    NextReceiverWait& operator=(const NextReceiverWait&) = delete;

    // Waits; None when the wait was ended. What the port brought after the trigger is read
    // away until the line is quiet, so that the run begins on a line with nothing pending.
    NextReceiverWatch::Trigger Run();
    // After Run: the port, still open when its device stayed (the run goes on with it), or
    // null when it is closed.
    std::unique_ptr<TCommPort> TakePort();

private:
    bool OpenPort();
    void ClosePort();
    // Reads what is there (at most a quarter second's wait); false when the line failed.
    bool ReadInto(NextReceiverWatch& watch);

    const PortSpec Port;
    const std::chrono::milliseconds Quiet;
    const Control Ask;
    const bool Remote;
    std::unique_ptr<TCommPort> Line;
};
