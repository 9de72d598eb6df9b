// SPDX-License-Identifier: MIT
// Message boxes as modal Qt dialogs: text, caption, icon, one OK button, and the details (the
// meaning of a port error and what to do) behind the box's "Show Details" button.
#pragma once

#include "Messages.h"

class QtMessageService : public MessageService {
public:
    void Show(const MessageBoxRequest& request) override;
    bool NeedsMainThread() const override { return true; }
};
