// SPDX-License-Identifier: MIT
// Descriptors 0, 1 and 2 at program start: a program started with any of them closed would hand
// that number to the first file it opens (the serial port, say), and its texts for stdout or
// stderr would then go there.
#pragma once

// Opens /dev/null on each of 0, 1 and 2 that is closed. Call it first thing in main(), before
// anything opens a file. False when one of them cannot be made valid; the program must not go
// on then.
bool EnsureStandardDescriptors();
