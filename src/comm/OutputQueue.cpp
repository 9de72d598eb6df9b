// SPDX-License-Identifier: MIT
// How much of what was written still waits in the device's output queue. A port on another
// machine cannot ask its server (what the connection holds is not what waits for the line): it
// says what the line's pace has not carried yet.
#include "comm_port.h"

#include "NetLink.h"

#include <sys/ioctl.h>

int64_t TCommPort::QueuedOutputBytes() const
{
    int queued = 0;
    if (Link)
        return static_cast<int64_t>(Link->LineQueued());
    if (!PortOpen || PortHandle < 0 || ioctl(PortHandle, TIOCOUTQ, &queued) != 0 || queued < 0)
        return 0;
    return queued;
}
