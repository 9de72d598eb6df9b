// SPDX-License-Identifier: MIT
// zendrak-cli's signals while an update run is active. A closed terminal or a dropped session
// (SIGHUP) does not end the run, job control (SIGTSTP, SIGTTIN, SIGTTOU) cannot stop it, and a
// first SIGINT or SIGTERM only warns: a second one within five seconds cancels the run. Before
// and after a run the signals keep their default meaning.
#pragma once

#include "SignalNotifier.h"

#include <chrono>
#include <functional>
#include <string>

// What one SIGINT or SIGTERM means, given those before it.
class CancelPolicy {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr Clock::duration Window = std::chrono::seconds(5);
    enum class Action { Warn, Cancel, Nothing };

    Action Take(int signal, Clock::time_point now);
    // The signal that cancelled the run; 0 while none has.
    int CancelSignal() const { return Cancelling; }

private:
    bool Warned = false;
    Clock::time_point WarnedAt;
    int Cancelling = 0;
};

class RunSignals {
public:
    // The two lines a first SIGINT or SIGTERM prints.
    static const std::string WarningLines[2];

    // From now on until destruction (the run's end). `say` shows one line of text;
    // `cancel` asks the run to stop. Both are called on the event loop's thread.
    RunSignals(std::function<void(const std::string& line)> say, std::function<void()> cancel);

    int CancelSignal() const { return Policy.CancelSignal(); }

private:
    void Handle(int signal);

    std::function<void(const std::string&)> Say;
    std::function<void()> Cancel;
    CancelPolicy Policy;
    SignalNotifier Notifier;
};
