// SPDX-License-Identifier: MIT
// Shared helpers of the fuzz targets: a private working directory (on /dev/shm when present)
// and a reader over the fuzz input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

// Ends the process with a message: libFuzzer records the input as a crash.
[[noreturn]] inline void FuzzFail(const char* what)
{
    std::fprintf(stderr, "fuzz invariant broken: %s\n", what);
    std::abort();
}

#define FUZZ_CHECK(cond)     \
    do {                     \
        if (!(cond))         \
            FuzzFail(#cond); \
    } while (0)

// Creates a fresh directory for this process and changes into it; returns its path.
std::string EnterFuzzDirectory(const char* tag);

// Removes every entry of a directory (not the directory itself); nested directories too.
void EmptyDirectory(const std::string& dir);

// Hands out the fuzz input byte by byte; 0 once it is used up.
class InputReader {
public:
    InputReader(const uint8_t* data, size_t size) : Data(data), Size(size) {}
    bool Empty() const { return Pos >= Size; }
    uint8_t Byte() { return Pos < Size ? Data[Pos++] : 0; }
    size_t Left() const { return Size - Pos; }
    // Up to n bytes; fewer at the end of the input.
    std::string Bytes(size_t n)
    {
        if (n > Left())
            n = Left();
        std::string out(reinterpret_cast<const char*>(Data + Pos), n);
        Pos += n;
        return out;
    }

private:
    const uint8_t* Data;
    size_t Size;
    size_t Pos = 0;
};
