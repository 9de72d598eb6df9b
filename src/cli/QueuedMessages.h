// SPDX-License-Identifier: MIT
// The command line's message boxes: each becomes a line on stderr, handed to the stderr writer
// so that whoever asks for a box returns at once. The command renders its runs' boxes itself
// (PortOutput); this catches any other box asked for on its way.
#pragma once

#include "Messages.h"
#include "TextSink.h"

#include <mutex>

class QueuedMessageService : public MessageService {
public:
    explicit QueuedMessageService(TextSink& err) : Err(err) {}

    void Show(const MessageBoxRequest& request) override;

private:
    TextSink& Err;
    std::mutex Lock;
};
