// SPDX-License-Identifier: MIT
// LineWait: how a wait for a port's line to become readable or writable ended, for a local
// device (SerialDevice.h) and for a port on another machine (NetLink.h) alike.
#pragma once

// Gone: the device or the connection has gone away (errno says how).
enum class LineWait { Ready, TimedOut, Gone, Failed };
