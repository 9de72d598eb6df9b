// SPDX-License-Identifier: MIT
// Message boxes as modal Qt dialogs: text, caption, icon, an OK button (and any buttons a box
// offers beside it), and the details (the meaning of a port error and what to do) behind the
// box's "Show Details" button. A box is wide enough for its caption.
#pragma once

#include "Messages.h"

#include <QPointer>
#include <QWidget>

class QtMessageService : public MessageService {
public:
    void Show(const MessageBoxRequest& request) override;
    std::string Ask(const MessageBoxRequest& request) override;
    bool NeedsMainThread() const override { return true; }

    // The program's main window: boxes with an icon are centred on it (else on the active
    // window).
    QPointer<QWidget> Owner;
};
