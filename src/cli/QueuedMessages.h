// SPDX-License-Identifier: MIT
// The command line's message boxes: each becomes a line on stderr, handed to the stderr writer
// so that the worker asking for a box ("COM Error") returns at once. Others may listen too
// (the JSON stream reports every box).
#pragma once

#include "Messages.h"
#include "TextSink.h"

#include <functional>
#include <mutex>
#include <vector>

class QueuedMessageService : public MessageService {
public:
    explicit QueuedMessageService(TextSink& err) : Err(err) {}

    void Show(const MessageBoxRequest& request) override;
    // Called with every box after its line was handed on (from any thread).
    void Listen(std::function<void(const MessageBoxRequest&)> listener);

private:
    TextSink& Err;
    std::mutex Lock;
    std::vector<std::function<void(const MessageBoxRequest&)>> Listeners;
};
