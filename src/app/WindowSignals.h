// SPDX-License-Identifier: MIT
// The signals that end a program (SIGINT, SIGTERM, SIGHUP) as a request to close the main
// window: during an update run the window refuses it with its box, otherwise it closes and the
// program ends normally. They reach the window through the event loop, never in a handler.
#pragma once

#include "SignalNotifier.h"

#include <functional>
#include <memory>

class QWidget;

class WindowSignals {
public:
    // For the life of this object. When the signals cannot be taken over, they keep their
    // default meaning and a line on stderr says so.
    // `close` asks the window to close and says whether it did (by default QWidget::close).
    explicit WindowSignals(QWidget& window, std::function<bool()> close = {});

private:
    void RequestClose();

    QWidget& Window;
    std::function<bool()> Close;
    bool Asking = false;
    std::unique_ptr<SignalNotifier> Notifier;
};
