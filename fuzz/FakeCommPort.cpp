// SPDX-License-Identifier: MIT
// TCommPort and ECommError for the fuzz targets: reads come from FakeLine, writes are recorded,
// and Sleep returns at once. Linked ahead of the libraries, so their objects are not pulled in.
#include "FakeLine.h"
#include "FuzzSupport.h"
#include "Sleep.h"
#include "comm_port.h"

#include <termios.h>
#include <cstring>

FakeLine& Line()
{
    static FakeLine line;
    return line;
}

ECommError::ECommError(uint8_t code) : Code(code), LastError(0) {}

TCommPort::TCommPort() = default;
TCommPort::~TCommPort() noexcept(false) = default;

static void CountWrite(bool character)
{
    FakeLine& line = Line();
    FUZZ_CHECK(line.Open);
    FUZZ_CHECK(line.Writes.size() < 200000);
    if (static_cast<long>(line.Writes.size()) == line.FailAtWrite) {
        line.Failed = true;
        line.FailAtWrite = -1;  // once; a gone device keeps failing through Open
        line.FailedOnCharacter = character;
        if (line.FailCode != 9)
            line.Open = false;  // the device is gone: later calls fail as well
        throw ECommError(line.FailCode);
    }
    if (!line.Open)
        throw ECommError(7);
}

void TCommPort::WriteBuffer(const uint8_t* buffer, int32_t count)
{
    FUZZ_CHECK(count > 0 && buffer != nullptr);
    FakeLine& line = Line();
    if (line.Failed && !line.Open)
        throw ECommError(7);
    CountWrite(false);
    line.Writes.push_back(
        {false, std::string(reinterpret_cast<const char*>(buffer), static_cast<size_t>(count))});
}

bool TCommPort::WriteCharacter(uint8_t byte)
{
    FakeLine& line = Line();
    if (line.Failed && !line.Open)
        throw ECommError(7);
    CountWrite(true);
    line.Writes.push_back({true, std::string(1, static_cast<char>(byte))});
    if (byte == 0x0A)
        line.ServedAtLastCommand = line.Served.size();
    return true;
}

uint32_t TCommPort::ReadBytes(uint8_t* buffer, uint32_t size)
{
    FakeLine& line = Line();
    FUZZ_CHECK(size == 1024);
    ++line.ReadCalls;
    // The run's own limits (silence, unmatched output, flash answers) bound its reads.
    FUZZ_CHECK(line.ReadCalls <= line.MaxReadCalls);
    if (!line.Open)
        throw ECommError(10);
    if (line.NextRead >= line.Reads.size())
        return 0;
    const std::string& chunk = line.Reads[line.NextRead++];
    FUZZ_CHECK(chunk.size() <= size);
    std::memcpy(buffer, chunk.data(), chunk.size());
    line.Served += chunk;
    return static_cast<uint32_t>(chunk.size());
}

void Sleep(unsigned /*milliseconds*/)
{
    ++Line().Sleeps;
}

// The fake line takes every byte at once: nothing waits in an output queue.
int64_t TCommPort::QueuedOutputBytes() const
{
    return 0;
}
