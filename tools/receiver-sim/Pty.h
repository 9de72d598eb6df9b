// SPDX-License-Identifier: MIT
// The pseudo-terminal the simulator plays on: its master end, the path of its serial end and
// an optional symlink to it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class Pty {
public:
    Pty() = default;
    ~Pty();
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    // Opens the master in raw mode; false with Error set on failure.
    bool Open();
    // Makes the symlink (an existing symlink there is replaced, anything else is an error).
    bool Link(const std::string& path);
    void Close();

    enum class Wait { Readable, Timeout, Hangup, Interrupted };
    // Waits up to timeoutMs (-1: no limit) for bytes from the other end. Hangup: no one holds
    // the serial end open.
    Wait Poll(int timeoutMs, bool wantRead);
    // Reads what is there (at most max); 0 when nothing or no one on the other end.
    size_t Read(uint8_t* buffer, size_t max);
    // Writes all bytes; false when the other end is not there.
    bool Write(const std::string& bytes);
    bool IsOpen() const { return Master >= 0; }

    std::string SlavePath;
    std::string Error;

private:
    int Master = -1;
    std::string LinkPath;
};
