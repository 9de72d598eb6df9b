// SPDX-License-Identifier: MIT
// Completion: one thread waits until another says it is done. On the user-interface thread the
// wait runs the event loop, so that what the sessions hand over to that thread (the engine's
// synchronised calls), signal notifiers and timers are served meanwhile.
#pragma once

#include <condition_variable>
#include <mutex>

class QEventLoop;

class Completion {
public:
    // From any thread, once.
    void Finish();
    bool Finished() const;
    // Returns once Finish has been called.
    void Wait();

private:
    mutable std::mutex Lock;
    std::condition_variable Changed;
    bool Done = false;
    QEventLoop* Loop = nullptr;  // the user-interface thread waits in it
};
