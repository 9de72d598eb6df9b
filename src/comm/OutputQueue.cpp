// SPDX-License-Identifier: MIT
// How much of what was written still waits in the device's output queue. A port on another
// machine cannot tell (what the connection holds is not what waits for the line).
#include "comm_port.h"

#include "NetLink.h"

#include <sys/ioctl.h>

int64_t TCommPort::QueuedOutputBytes() const
{
    int queued = 0;
    if (Link)
        return 0;
    if (!PortOpen || PortHandle < 0 || ioctl(PortHandle, TIOCOUTQ, &queued) != 0 || queued < 0)
        return 0;
    return queued;
}
