// SPDX-License-Identifier: MIT
// Signals handed to the event loop. The handler only writes the signal's number into a pipe
// (the self-pipe pattern); a socket notifier on the pipe's other end calls back on the thread
// of the event loop, where anything may be done. Signals may also be set to be ignored.
// One notifier at a time in a process; it restores the dispositions it found when it goes.
// A caught signal can be handed back: from a given moment on, it acts as it did before the
// notifier took it (usually ending the program), decided in the handler itself, so that this
// holds even while the event loop is busy.
#pragma once

#include <chrono>
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

    // From `from` on, each of `which` (caught ones) is no longer reported: it goes back to the
    // disposition found at construction and is raised again, as if it had never been caught.
    void HandBackFrom(const std::vector<int>& which, std::chrono::steady_clock::time_point from);
    // Hands `signal` back now and raises it: the program ends as that signal ends it (unless it
    // was ignored before).
    void EndAsUsual(int signal);

private:
    void Restore();
    void Deliver();

    std::function<void(int)> OnSignal;
    std::vector<std::pair<int, struct sigaction>> Previous;
    int PipeRead = -1;
    int PipeWrite = -1;
    std::unique_ptr<QSocketNotifier> Notifier;
};
