// SPDX-License-Identifier: MIT
#include "QueuedMessages.h"

#include "Win1252.h"

void QueuedMessageService::Show(const MessageBoxRequest& request)
{
    std::lock_guard lock(Lock);
    Err.Text(ToTerminalText(request.Text) + "\n");
    for (const auto& listener : Listeners)
        listener(request);
}

void QueuedMessageService::Listen(std::function<void(const MessageBoxRequest&)> listener)
{
    std::lock_guard lock(Lock);
    Listeners.push_back(std::move(listener));
}
