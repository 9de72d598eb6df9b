// SPDX-License-Identifier: MIT
// The receiver's console as the simulator plays it: commands at the console, the reception of
// a file, and the answers as timed bursts of output. No I/O here: the line loop feeds bytes in
// and takes the bursts that are due.
#pragma once

#include "Options.h"
#include "Recorder.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

using SimClock = std::chrono::steady_clock;

class ReceiverConsole {
public:
    ReceiverConsole(const SimOptions& options, Recorder& recorder);

    // Bytes that arrived from the line at `now`.
    void Receive(const uint8_t* data, size_t count, SimClock::time_point now);
    // Lets time pass: ends a file after its idle gap.
    void Tick(SimClock::time_point now);
    // The bursts due by `now`, in order; each is to be written on its own.
    std::vector<std::string> TakeDue(SimClock::time_point now);
    // The next moment Tick or TakeDue has something to do.
    std::optional<SimClock::time_point> NextEvent(SimClock::time_point now) const;
    // How many bytes may be read now (0: do not read).
    size_t ReadAllowance(SimClock::time_point now) const;
    // The line was closed on the simulator's side or the simulator is stopped: keep what has
    // arrived of a file.
    void SavePartialFile();

    // Once, when the device is to be unplugged (--replug): what was still to come is dropped.
    bool TakeUnplug(SimClock::time_point now);

    bool Vanished() const { return VanishNow; }
    bool Done() const { return StartsSeen >= Options.Runs; }
    std::string Error;  // a failure of the recorder

private:
    struct Burst {
        SimClock::time_point Due;
        std::string Text;
        bool Repeat = false;  // the endless progress lines of --saved-chatter forever
    };

    void Byte(uint8_t byte, SimClock::time_point now);
    void Command(const std::string& line, SimClock::time_point now);
    void Restart(SimClock::time_point now);
    void Load(SimClock::time_point now);
    void StartFile(SimClock::time_point now);
    void FinishFile(SimClock::time_point now);
    // A run ended with "s": the receiver starts, and the production line goes on.
    void Start(SimClock::time_point now);
    // What the receiver prints when it starts up (after "r", or switched on).
    std::string StartUpText() const;
    // Appends a burst one burst gap (or `delay`) after the previous one.
    SimClock::time_point Schedule(const std::string& text, SimClock::time_point now,
                                  int delayMs = -1, bool repeat = false);
    void Log(const std::string& text) const;

    const SimOptions& Options;
    Recorder& Rec;

    enum class Mode { Console, Receiving } State = Mode::Console;
    std::string LineBuffer;
    std::deque<Burst> Pending;
    // Until this moment the receiver is restarting and ignores the commands it receives.
    SimClock::time_point IgnoreUntil{};

    std::string FileBytes;
    std::optional<int64_t> FileExpected;
    SimClock::time_point FileStart{};      // "l" received
    SimClock::time_point FirstByteTime{};  // first byte of the file
    SimClock::time_point LastActivity{};
    size_t FileIndex = 0;
    bool Stalled = false;
    bool VanishNow = false;

    bool ChannelListShown = false;
    bool ExitMenuShown = false;
    bool InSubmenu = false;
    int StartsSeen = 0;
    int RepeatCount = 0;
    std::optional<SimClock::time_point> UnplugAt;
    bool RunRefused = false;  // this run's file was refused or not answered
};
