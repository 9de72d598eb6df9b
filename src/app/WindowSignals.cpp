// SPDX-License-Identifier: MIT
#include "WindowSignals.h"

#include <QApplication>
#include <QWidget>

#include <cstdio>
#include <system_error>

WindowSignals::WindowSignals(QWidget& window, std::function<bool()> close)
    : Window(window), Close(std::move(close))
{
    try {
        Notifier =
            std::make_unique<SignalNotifier>(std::vector<int>{SIGINT, SIGTERM, SIGHUP},
                                             std::vector<int>{}, [this](int) { RequestClose(); });
    } catch (const std::system_error& error) {
        std::fprintf(stderr, "zendrak: %s; SIGINT, SIGTERM and SIGHUP end the program at once\n",
                     error.what());
    }
}

void WindowSignals::RequestClose()
{
    // A refusal shows a modal box, whose event loop delivers the next signal: one box at a time.
    if (Asking)
        return;
    Asking = true;
    // Accepted, the program ends: a box still open (and its own event loop) would keep it alive.
    if (Close ? Close() : Window.close())
        QApplication::closeAllWindows();
    Asking = false;
}
