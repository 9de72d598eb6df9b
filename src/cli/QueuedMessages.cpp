// SPDX-License-Identifier: MIT
#include "QueuedMessages.h"

#include "Win1252.h"

void QueuedMessageService::Show(const MessageBoxRequest& request)
{
    std::lock_guard lock(Lock);
    Err.Text(ToTerminalText(request.Text) + "\n");
}
