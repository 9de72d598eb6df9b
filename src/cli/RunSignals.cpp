// SPDX-License-Identifier: MIT
#include "RunSignals.h"

#include "SystemTexts.h"

#include <csignal>

CancelPolicy::Action CancelPolicy::Take(int signal, Clock::time_point now)
{
    if (Cancelling != 0)
        return now - CancelTime >= Grace ? Action::EndAsUsual : Action::Nothing;
    if (Warned && now - WarnedAt < Window) {
        Cancelling = signal;
        CancelTime = now;
        return Action::Cancel;
    }
    Warned = true;
    WarnedAt = now;
    return Action::Warn;
}

const std::string RunSignals::WarningLines[2] = {
    Texts::UpdateInProgress,
    "Press Ctrl-C again within 5 seconds to cancel the update; a cancelled update may leave "
    "the receiver unable to start."};

namespace {
const std::vector<int> CancellingSignals = {SIGINT, SIGTERM, SIGQUIT};
}

// SIGTTIN and SIGTTOU are ignored rather than caught: ignored, a background read or write of the
// terminal fails or goes through at once; caught, the kernel would repeat it for ever. SIGTSTP
// is caught to say why the run goes on.
RunSignals::RunSignals(std::function<void(const std::string&)> say, std::function<void()> cancel,
                       std::function<bool()> endIfIdle)
    : Say(std::move(say)),
      Cancel(std::move(cancel)),
      EndIfIdle(std::move(endIfIdle)),
      Notifier({SIGINT, SIGTERM, SIGQUIT, SIGTSTP}, {SIGHUP, SIGTTIN, SIGTTOU},
               [this](int signal) { Handle(signal); })
{
}

void RunSignals::Handle(int signal)
{
    if (signal == SIGTSTP) {
        Say(WarningLines[0]);
        return;
    }
    if (Policy.CancelSignal() == 0 && EndIfIdle && EndIfIdle())
        return;
    switch (Policy.Take(signal, CancelPolicy::Clock::now())) {
    case CancelPolicy::Action::Warn:
        Say(WarningLines[0]);
        Say(WarningLines[1]);
        break;
    case CancelPolicy::Action::Cancel:
        // Decided in the signal handler from then on: the event loop may be busy ending the run.
        Notifier.HandBackFrom(CancellingSignals, Policy.CancelledAt() + CancelPolicy::Grace);
        Cancel();
        break;
    case CancelPolicy::Action::Nothing: break;
    case CancelPolicy::Action::EndAsUsual: Notifier.EndAsUsual(signal); break;
    }
}
