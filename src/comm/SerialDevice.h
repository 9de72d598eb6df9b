// SPDX-License-Identifier: MIT
// SerialDevice: the Linux calls behind TCommPort, one small function per step of the port's
// design (open, claim, settings, time-outs, low latency, wait, close). Each returns false or -1
// with errno set on failure, so the port turns the step into its error code.
#pragma once

#include "LineWait.h"
#include "comm_port.h"

#include <termios.h>

#include <sys/types.h>
#include <cstddef>
#include <cstdint>
#include <string>

namespace SerialDevice {

// Opens the device for reading and writing, not as controlling terminal and without waiting for
// the carrier. Returns the descriptor or -1.
int Open(const std::string& path);

// Checks, before any terminal request is made on it, that the descriptor is a character device
// and a terminal, and gives its device number. Fails with ENOTTY otherwise.
bool CheckTerminal(int fd, dev_t& device);

// Takes the device for this port alone: flock(LOCK_EX|LOCK_NB), which also holds against root
// and against another port of this process, then TIOCEXCL so that later opens by other programs
// fail with EBUSY. A lock held elsewhere, or another opener's TIOCEXCL (which root passes at
// open), is reported as EBUSY and left exactly as it is. `exclusiveSet` tells whether this call
// set TIOCEXCL.
bool Claim(int fd, bool& exclusiveSet);
// Undoes Claim so that the next run can open the device again. TIOCEXCL is cleared only when
// this port set it: the flag belongs to the device, and another program may own it.
void Release(int fd, bool exclusiveSet);

bool ReadSettings(int fd, termios& settings);
// Puts back the settings the device had when it was opened; a device that has gone away is
// let be. errno is kept.
void RestoreSettings(int fd, const termios& original);
// Raw mode (bytes pass unchanged both ways, no flow control, CLOCAL|CREAD) with the requested
// rate, data bits, parity and stop bits on top of `base`. Fails with EINVAL for a rate, size,
// parity or stop-bit code Linux cannot express, and when the driver did not take the rate.
bool ApplySettings(int fd, const termios& base, const DCB& requested);
// The time-outs are the port's poll loop; what the descriptor needs for it is to be non-blocking.
bool PrepareTimeouts(int fd);
// Asks USB adapters for their 1 ms packet timer; refused or unknown: nothing happens.
void RequestLowLatency(int fd);
bool Close(int fd);

using WaitResult = LineWait;
// Waits up to `milliseconds` for the line to be readable (POLLIN) or writable (POLLOUT).
// Gone: hang-up or error condition on the device (errno EIO).
WaitResult WaitReadable(int fd, int milliseconds);
WaitResult WaitWritable(int fd, int milliseconds);

// One non-blocking transfer: bytes moved, 0 when the device would block, -1 on failure (errno),
// and for Read -2 when the device reports end of file (it has gone away).
ssize_t Read(int fd, uint8_t* buffer, size_t size);
ssize_t Write(int fd, const uint8_t* buffer, size_t size);

}  // namespace SerialDevice
