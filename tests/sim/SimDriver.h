// SPDX-License-Identifier: MIT
// Test support: the receiver simulator started for one test, and a raw serial end to talk to
// it directly; plus small file helpers for the tests' own temporary directories.
#pragma once

#include "ChildProcess.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

// The built programs (set by the build).
std::string SimulatorPath();

class SimDriver {
public:
    ~SimDriver();
    // Starts the simulator with --save into SaveDir (under a fresh temp directory; the
    // simulator creates it).
    bool Start(const std::vector<std::string>& args);
    // Opens the serial end raw (O_NONBLOCK when nonBlocking); -1 on failure.
    int OpenLine(bool nonBlocking = false);
    void CloseLine();

    // Reads from the open line until `text` has come (true) or the time-out; every read's
    // bytes are appended to Reads, one element per read.
    bool ReadUntil(const std::string& text, int timeoutMs);
    // Reads whatever comes within timeoutMs.
    std::string ReadFor(int timeoutMs);
    bool Send(const std::string& bytes);

    std::string Transcript() const;
    std::string SavedFile(int n) const;
    int Wait(int timeoutMs) { return Process.Wait(timeoutMs); }
    void Stop() { Process.Stop(); }

    ChildProcess Process;
    std::string SlavePath;
    std::string Dir;      // the test's temp directory
    std::string SaveDir;  // Dir + "/saved"
    std::vector<std::string> Reads;
    int Line = -1;
};

std::string MakeTempDir();
void RemoveTree(const std::string& dir);
std::string ReadWholeFile(const std::string& path);
bool WriteWholeFile(const std::string& path, const std::string& bytes);
// Equal byte strings; otherwise says the sizes and the first differing offset (not the bytes).
testing::AssertionResult SameBytes(const std::string& actual, const std::string& expected);
// Bytes 0..255 in a pattern that repeats, with "r\r\n", "l\r\n" and "s\r\n" mixed in.
std::string SampleFirmware(size_t size, uint32_t seed);
