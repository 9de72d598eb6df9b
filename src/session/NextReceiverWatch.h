// SPDX-License-Identifier: MIT
// NextReceiverWatch: tells, while a port waits between two updates, when the next receiver is
// there. It is fed what the port brings (bytes with the time they came, the device's presence,
// a start request) and keeps no clock and does no I/O of its own; nothing is ever sent while
// waiting, so a receiver that was just updated is never restarted by the wait.
//
// The next receiver is there when
//  - its start-up output (the start-up control or the start menu) comes unasked in output that
//    began after the line had been quiet for at least the quiet time; output within the quiet
//    time (the updated receiver's own restart after "s") starts the quiet time again;
//  - the port's device disappeared and has been back for the settle time (an adapter per
//    receiver; the settle time lets the system finish setting up the new device);
//  - a start is asked for (Enter on the terminal, a button), for receivers that print nothing.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

class NextReceiverWatch {
public:
    using Clock = std::chrono::steady_clock;
    enum class Trigger { None, StartUpOutput, DeviceReplugged, StartRequested };

    static constexpr std::chrono::milliseconds DefaultQuiet{10000};
    static constexpr std::chrono::milliseconds DefaultSettle{1000};

    explicit NextReceiverWatch(std::chrono::milliseconds quiet = DefaultQuiet,
                               std::chrono::milliseconds settle = DefaultSettle);

    // The wait begins (the run has closed the port): the quiet time starts now. Forgets any
    // earlier wait.
    void Begin(Clock::time_point now, bool devicePresent);
    // Bytes read from the port at `at` (none: a read that brought nothing).
    void Received(Clock::time_point at, std::string_view bytes);
    // Whether the port's device is there, as looked at `at`.
    void DeviceSeen(Clock::time_point at, bool present);
    void StartRequested(Clock::time_point at);
    // Time passes; a device back long enough makes the next receiver there.
    void Tick(Clock::time_point now);

    // What said the next receiver is there; None while waiting. Stays until Begin.
    Trigger Ready() const { return Fired; }
    // How long the line has been quiet at `now` (since the wait began, at most).
    std::chrono::milliseconds QuietFor(Clock::time_point now) const;
    // The moment Tick will find a device back long enough; none when only events can help.
    std::optional<Clock::time_point> NextDeadline() const;

private:
    std::chrono::milliseconds Quiet;
    std::chrono::milliseconds Settle;

    Trigger Fired = Trigger::None;
    Clock::time_point LastOutput{};
    bool Unasked = false;  // the output now coming began after a quiet time
    std::string Seen;      // its end, enough to find a marker split over two reads
    bool DeviceWasGone = false;
    std::optional<Clock::time_point> BackSince;
};

// A short name for what made the next receiver there ("start-up output", ...).
const char* TriggerName(NextReceiverWatch::Trigger trigger);
