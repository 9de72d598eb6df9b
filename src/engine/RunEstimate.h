// SPDX-License-Identifier: MIT
// How long an update run takes: its files at the line rate plus the pauses of a successful run;
// and, while a file is sent, the rate seen on the line and the time left for the file and for
// the run. The receiver's own time (restart, storing) is not known beforehand and not counted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <utility>
#include <vector>

namespace RunEstimate {

// 115200 baud with 8 data bits, no parity, one stop bit: 10 bits a byte.
inline constexpr double LineBytesPerSecond = 11520.0;

// The pauses of a successful run of `files` files, in seconds.
double FixedPausesSeconds(size_t files);
// The pauses still to come once the current file is sent, with `laterFiles` files after it.
double PausesLeftSeconds(size_t laterFiles);
// The whole run: the files at the line rate plus the pauses.
double RunSeconds(const std::vector<int64_t>& sizes);

}  // namespace RunEstimate

// The rate of one file's send and its time left, from samples of the bytes on the line. The
// rate is taken over the last seconds (the first bytes fill the buffers of the way at once and
// say nothing of the line) and never above the line rate. What counts as on the line is bounded
// by the line rate since the file began: a kernel buffer (a pseudo-terminal takes kilobytes at
// once) or a network connection, where no queue can be asked, never makes a send look faster.
class SendRate {
public:
    static constexpr double WindowSeconds = 2.0;

    explicit SendRate(double lineRate = RunEstimate::LineBytesPerSecond) : LineRate(lineRate) {}

    void Begin(double seconds);
    // `bytes` known to be on the line.
    void Sample(double seconds, int64_t bytes);
    // `written` bytes handed to the device, `queued` of them still in its output queue (0 when
    // it cannot tell): samples what of them can have gone over the line by now.
    void SampleWritten(double seconds, int64_t written, int64_t queued = 0);
    // The bytes on the line at the last sample.
    int64_t OnLine() const { return Bytes; }
    // Bytes per second; the line rate until two samples are a tenth of a second apart.
    double BytesPerSecond() const;
    // Infinite while nothing moves.
    double FileSecondsLeft(int64_t size) const;
    // The run: this file's rest, `laterBytes` at the rate seen, and the pauses still to come.
    double RunSecondsLeft(int64_t size, int64_t laterBytes, size_t laterFiles) const;

private:
    double LineRate;
    double Began = 0;
    int64_t Bytes = 0;
    std::deque<std::pair<double, int64_t>> Window;
};
