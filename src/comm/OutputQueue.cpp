// SPDX-License-Identifier: MIT
// How much of what was written still waits in the device's output queue.
#include "comm_port.h"

#include <sys/ioctl.h>

int64_t TCommPort::QueuedOutputBytes() const
{
    int queued = 0;
    if (!PortOpen || PortHandle < 0 || ioctl(PortHandle, TIOCOUTQ, &queued) != 0 || queued < 0)
        return 0;
    return queued;
}
