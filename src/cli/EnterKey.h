// SPDX-License-Identifier: MIT
// Enter pressed on the terminal, handed to the event loop: how a technician starts the ports
// that wait for a receiver that prints nothing when switched on. Only a terminal is ever read;
// stdin from a pipe or a file is left untouched.
#pragma once

#include <functional>
#include <memory>

class QSocketNotifier;

class EnterKey {
public:
    // Made on the event loop's thread; `pressed` is called there for each line typed.
    explicit EnterKey(std::function<void()> pressed);
    ~EnterKey();
    EnterKey(const EnterKey&) = delete;
    EnterKey& operator=(const EnterKey&) = delete;

    // Whether stdin is a terminal that is read.
    bool Active() const { return Notifier != nullptr; }

private:
    void Read();

    std::function<void()> Pressed;
    std::unique_ptr<QSocketNotifier> Notifier;
};
