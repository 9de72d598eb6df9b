// SPDX-License-Identifier: MIT
// LinePace: the output queue of the receiver's line behind a serial device server, modelled
// from its rate. A local device takes a write into a queue of a few kilobytes and the line
// empties it at its rate, so writes keep pace with the receiver; a TCP connection would take
// megabytes at once. Held to this model, a run over the network sends as a run on a local
// port does: its waits for the receiver's answers start when the line has carried the file,
// and its progress does not run ahead of the receiver.
#pragma once

#include "comm_port.h"

#include <chrono>
#include <cstddef>

class LinePace {
public:
    using Clock = std::chrono::steady_clock;
    // What a local serial device's output queue holds (the Linux serial and USB serial drivers
    // keep one page).
    static constexpr size_t QueueLimit = 4096;

    // The line of `settings` (a start bit, the data bits, a parity bit when there is parity,
    // the stop bits), empty at `now`.
    LinePace(const DCB& settings, Clock::time_point now);

    // Bytes the queue takes at `now`.
    size_t Room(Clock::time_point now);
    // Bytes still queued at `now` (a part of a byte counts as one).
    size_t Queued(Clock::time_point now);
    // `count` bytes handed over at `now` (after Room said they fit).
    void Add(size_t count, Clock::time_point now);
    // How long until `count` bytes (at most QueueLimit) fit; zero when they do now.
    Clock::duration UntilRoomFor(size_t count, Clock::time_point now);
    double BytesPerSecond() const { return Rate; }

private:
    void Drain(Clock::time_point now);

    double Rate;
    double Held = 0;
    Clock::time_point DrainedAt;
};
