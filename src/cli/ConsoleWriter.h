// SPDX-License-Identifier: MIT
// ConsoleWriter: writes to one descriptor (stdout, stderr, a trace file) on a thread of its own,
// so that whoever hands it text returns at once, whatever the reader does (a terminal stopped
// with Ctrl-S, a slow pipe). Texts are kept in order; a frame waiting behind the writer is
// replaced by the next one. When the descriptor is gone (EIO, EPIPE) what follows is dropped.
#pragma once

#include "TextSink.h"

#include <chrono>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <thread>

class ConsoleWriter : public TextSink {
public:
    // How long Drain waits at most while nothing can be written.
    static constexpr std::chrono::milliseconds DrainStallLimit{10000};

    explicit ConsoleWriter(int fd);
    // Drains (see Drain), then ends the thread; one still blocked in a write is left behind.
    ~ConsoleWriter() override;
    ConsoleWriter(const ConsoleWriter&) = delete;
    ConsoleWriter& operator=(const ConsoleWriter&) = delete;

    void Text(std::string text) override;
    void Frame(std::string text) override;
    // Waits until everything handed over is written or dropped. Gives up when no byte could be
    // written for `stallLimit`; returns false then, and at once from then on (the destructor
    // included), so that a stuck reader costs the program one stall limit, not one per call.
    bool Drain(std::chrono::milliseconds stallLimit = DrainStallLimit);
    // Drains several writers together: gives up when none of them could write a byte for
    // `stallLimit`, however many are stuck. True when all are drained.
    static bool DrainAll(std::initializer_list<ConsoleWriter*> writers,
                         std::chrono::milliseconds stallLimit = DrainStallLimit);
    // True once a write found the descriptor gone or failing.
    bool Gone() const;
    // Told once, on the writer's thread, when a write fails (errno); set before any text.
    void OnFailure(std::function<void(int error)> told);

private:
    struct State;
    void Enqueue(std::string text, bool frame);

    std::shared_ptr<State> Shared;
    std::thread Thread;
};
