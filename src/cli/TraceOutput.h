// SPDX-License-Identifier: MIT
// zendrak-cli --trace FILE: what went over the line, one event a line, time-stamped in
// milliseconds from the run's start ("+1234.567 TX "r\r\n""). Commands and the receiver's reads
// are written escaped; of a firmware file only its name, size and where its send began and
// ended. An observer of the run: the lines go to a writer that writes them as they come.
#pragma once

#include "RunObserver.h"
#include "RunResult.h"
#include "TextSink.h"

#include <functional>
#include <mutex>
#include <string>

class TraceOutput : public RunObserver {
public:
    using Clock = std::function<double()>;  // seconds since the run's start

    TraceOutput(TextSink& out, Clock sinceStart);

    void LogEntry(const std::string& entry) override;
    void FileBegins(const RunFile& file) override;
    void FileEnds(const RunFile& file, int64_t written, bool complete) override;
    void LineSent(const uint8_t* bytes, size_t count) override;
    void LineReceived(const uint8_t* bytes, size_t count) override;
    void SilentRead() override;
    void Paused(unsigned milliseconds) override;
    // The run's end as its result says: a warning, if any, then "END Update OK" or
    // "END Update Error".
    void End(const RunResult& result);

private:
    void Event(const std::string& text);

    TextSink& Out;
    Clock SinceStart;
    std::mutex Lock;
};

// Bytes in double quotes: printable ASCII as it is, quote and backslash escaped, CR, LF and tab
// as \r \n \t, every other byte as \xNN.
std::string QuotedBytes(const uint8_t* bytes, size_t count);
