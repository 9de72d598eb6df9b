// SPDX-License-Identifier: MIT
// The fuzz stand-in for the serial line: what TCommPort's reads serve and what its writes
// recorded. The fake port (FakeCommPort.cpp) replaces the real one at link time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct LineWrite {
    bool Character = false;  // WriteCharacter (else WriteBuffer)
    std::string Bytes;
};

struct FakeLine {
    std::vector<std::string> Reads;  // served in order; an empty one is a silent read
    size_t NextRead = 0;
    size_t ReadCalls = 0;
    size_t MaxReadCalls = 0;  // a run needing more reads than this never ends
    std::string Served;       // every byte handed to the engine
    std::vector<LineWrite> Writes;
    size_t ServedAtLastCommand = 0;  // Served.size() when the last command was complete
    // A failing write: the write call with this index (from 0) raises ECommError(FailCode).
    long FailAtWrite = -1;
    uint8_t FailCode = 9;
    bool Failed = false;
    bool FailedOnCharacter = false;  // the failing write was a command's CR or LF
    bool Open = true;
    size_t Sleeps = 0;
};

FakeLine& Line();
