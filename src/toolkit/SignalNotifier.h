// SPDX-License-Identifier: MIT
// Signals handed to the event loop. The handler only writes the signal's number into a pipe
// (the self-pipe pattern); a socket notifier on the pipe's other end calls back on the thread
// of the event loop, where anything may be done. Signals may also be set to be ignored.
// One notifier at a time in a process; it restores the dispositions it found when it goes.
#pragma once

#include <csignal>
#include <functional>
#include <memory>
#include <vector>

class QSocketNotifier;

class SignalNotifier {
public:
    // Catches `caught` (each delivery reported to `onSignal`, in order) and ignores `ignored`.
    // Create it on the thread of the event loop; `onSignal` must not destroy the notifier.
    // Throws std::system_error when the pipe or a disposition cannot be set up (nothing is left
    // changed then).
    SignalNotifier(const std::vector<int>& caught, const std::vector<int>& ignored,
                   std::function<void(int signal)> onSignal);
    ~SignalNotifier();
    SignalNotifier(const SignalNotifier&) = delete;
    SignalNotifier& operator=(const SignalNotifier&) = delete;

private:
    void Restore();
    void Deliver();

    std::function<void(int)> OnSignal;
    std::vector<std::pair<int, struct sigaction>> Previous;
    int PipeRead = -1;
    int PipeWrite = -1;
    std::unique_ptr<QSocketNotifier> Notifier;
};
