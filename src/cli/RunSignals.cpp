// SPDX-License-Identifier: MIT
#include "RunSignals.h"

#include "SystemTexts.h"

#include <csignal>

CancelPolicy::Action CancelPolicy::Take(int signal, Clock::time_point now)
{
    if (Cancelling != 0)
        return Action::Nothing;  // the run is stopping already
    if (Warned && now - WarnedAt < Window) {
        Cancelling = signal;
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

// SIGTTIN and SIGTTOU are ignored rather than caught: ignored, a background read or write of the
// terminal fails or goes through at once; caught, the kernel would repeat it for ever. SIGTSTP
// is caught to say why the run goes on.
RunSignals::RunSignals(std::function<void(const std::string&)> say, std::function<void()> cancel)
    : Say(std::move(say)),
      Cancel(std::move(cancel)),
      Notifier({SIGINT, SIGTERM, SIGTSTP}, {SIGHUP, SIGTTIN, SIGTTOU},
               [this](int signal) { Handle(signal); })
{
}

void RunSignals::Handle(int signal)
{
    if (signal == SIGTSTP) {
        Say(WarningLines[0]);
        return;
    }
    switch (Policy.Take(signal, CancelPolicy::Clock::now())) {
    case CancelPolicy::Action::Warn:
        Say(WarningLines[0]);
        Say(WarningLines[1]);
        break;
    case CancelPolicy::Action::Cancel: Cancel(); break;
    case CancelPolicy::Action::Nothing: break;
    }
}
