// SPDX-License-Identifier: MIT
// zendrak-cli's signals while an update run is active. A closed terminal or a dropped session
// (SIGHUP) does not end the run, job control (SIGTSTP, SIGTTIN, SIGTTOU) cannot stop it, and a
// first SIGINT, SIGTERM or SIGQUIT only warns: a second one within five seconds cancels the run.
// Once cancelled, the run ends within a moment (between two blocks, with its log); a further one
// of these signals, from a second after the cancel on, ends the program at once as that signal
// ends any program, even while the run's event loop is busy. The second's grace keeps a quick
// third key press from costing a cancelled run its log. Before and after a run the signals keep
// their default meaning. When no run is going (every port of a production line waits for its
// next receiver), a SIGINT, SIGTERM or SIGQUIT ends the command at once: there is nothing to
// cancel.
#pragma once

#include "SignalNotifier.h"

#include <chrono>
#include <functional>
#include <string>

// What one SIGINT, SIGTERM or SIGQUIT means, given those before it.
class CancelPolicy {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr Clock::duration Window = std::chrono::seconds(5);
    static constexpr Clock::duration Grace = std::chrono::seconds(1);
    enum class Action {
        Warn,        // say that a second one cancels
        Cancel,      // ask the run to stop
        Nothing,     // the run is stopping already
        EndAsUsual,  // end the program as the signal ends any program
    };

    Action Take(int signal, Clock::time_point now);
    // The signal that cancelled the run; 0 while none has.
    int CancelSignal() const { return Cancelling; }
    // When it did.
    Clock::time_point CancelledAt() const { return CancelTime; }

private:
    bool Warned = false;
    Clock::time_point WarnedAt;
    int Cancelling = 0;
    Clock::time_point CancelTime;
};

class RunSignals {
public:
    // The two lines a first SIGINT, SIGTERM or SIGQUIT prints.
    static const std::string WarningLines[2];

    // From now on until destruction (the run's end). `say` shows one line of text;
    // `cancel` asks the run to stop; `endIfIdle` (may be empty), asked first, ends the command
    // and answers true when no run is going. All are called on the event loop's thread.
    RunSignals(std::function<void(const std::string& line)> say, std::function<void()> cancel,
               std::function<bool()> endIfIdle = {});

    int CancelSignal() const { return Policy.CancelSignal(); }

private:
    void Handle(int signal);

    std::function<void(const std::string&)> Say;
    std::function<void()> Cancel;
    std::function<bool()> EndIfIdle;
    CancelPolicy Policy;
    SignalNotifier Notifier;
};
