// SPDX-License-Identifier: MIT
// Descriptors 0, 1 and 2 at program start: a program started with any of them closed would hand
// that number to the first file it opens (the serial port, say), and its texts for stdout or
// stderr would then go there. And at the end of a command that only prints: whether what it
// printed reached stdout.
#pragma once

// Opens /dev/null on each of 0, 1 and 2 that is closed. Call it first thing in main(), before
// anything opens a file. False when one of them cannot be made valid; the program must not go
// on then.
bool EnsureStandardDescriptors();

// Flushes stdout and tells whether everything printed there was written (not so on a full disk,
// /dev/full, or a pipe whose reader has gone, with SIGPIPE ignored). When not, says so on stderr
// as "<program>: cannot write to standard output: <reason>".
bool FinishStandardOutput(const char* program);
