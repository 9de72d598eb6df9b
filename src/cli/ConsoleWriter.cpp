// SPDX-License-Identifier: MIT
#include "ConsoleWriter.h"

#include <poll.h>
#include <unistd.h>
#include <cerrno>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

struct ConsoleWriter::State {
    struct Item {
        std::string Text;
        bool Frame = false;
    };
    int Fd = -1;
    std::mutex Lock;
    std::condition_variable Changed;
    std::deque<Item> Queue;
    bool Busy = false;  // the thread holds an item it is writing
    bool Stopping = false;
    bool Gone = false;
    bool GaveUp = false;   // a drain found the reader stuck: later drains do not wait again
    uint64_t Written = 0;  // bytes written so far (Drain watches it move)
    std::function<void(int)> Failed;
    int Failure = 0;  // errno of the failed write

    bool Idle() const { return Queue.empty() && !Busy; }

    // Writes all of `text`; false when the descriptor is gone or fails.
    bool WriteAll(const std::string& text)
    {
        size_t done = 0;
        while (done < text.size()) {
            const ssize_t n = ::write(Fd, text.data() + done, text.size() - done);
            if (n > 0) {
                done += static_cast<size_t>(n);
                std::lock_guard lock(Lock);
                Written += static_cast<uint64_t>(n);
                Changed.notify_all();
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                pollfd p{Fd, POLLOUT, 0};
                ::poll(&p, 1, 100);
                continue;
            }
            Failure = n < 0 ? errno : EIO;
            return false;  // EIO, EPIPE and every other failure: the reader has gone
        }
        return true;
    }

    void Run()
    {
        std::unique_lock lock(Lock);
        for (;;) {
            Changed.wait(lock, [this] { return Stopping || !Queue.empty(); });
            if (Queue.empty())
                return;  // stopping with nothing left
            Item item = std::move(Queue.front());
            Queue.pop_front();
            Busy = true;
            lock.unlock();
            const bool ok = Gone || WriteAll(item.Text);
            if (!ok && !Gone && Failed)
                Failed(Failure);  // once: later texts are dropped unwritten
            lock.lock();
            Busy = false;
            if (!ok) {
                Gone = true;
                Queue.clear();
            }
            Changed.notify_all();
        }
    }
};

ConsoleWriter::ConsoleWriter(int fd) : Shared(std::make_shared<State>())
{
    Shared->Fd = fd;
    // The thread holds the state too: one left blocked in a write at exit never sees it freed.
    Thread = std::thread([state = Shared] { state->Run(); });
}

ConsoleWriter::~ConsoleWriter()
{
    const bool drained = Drain();
    {
        std::lock_guard lock(Shared->Lock);
        Shared->Stopping = true;
        Shared->Queue.clear();
    }
    Shared->Changed.notify_all();
    if (drained)
        Thread.join();
    else
        Thread.detach();
}

void ConsoleWriter::Enqueue(std::string text, bool frame)
{
    {
        std::lock_guard lock(Shared->Lock);
        if (Shared->Gone || Shared->Stopping)
            return;
        if (frame && !Shared->Queue.empty() && Shared->Queue.back().Frame)
            Shared->Queue.back().Text = std::move(text);
        else
            Shared->Queue.push_back({std::move(text), frame});
    }
    Shared->Changed.notify_all();
}

void ConsoleWriter::Text(std::string text)
{
    Enqueue(std::move(text), false);
}

void ConsoleWriter::Frame(std::string text)
{
    Enqueue(std::move(text), true);
}

bool ConsoleWriter::Drain(std::chrono::milliseconds stallLimit)
{
    std::unique_lock lock(Shared->Lock);
    for (;;) {
        if (Shared->Idle())
            return true;
        if (Shared->GaveUp)
            return false;
        const uint64_t before = Shared->Written;
        const bool moved = Shared->Changed.wait_for(
            lock, stallLimit, [&] { return Shared->Written != before || Shared->Idle(); });
        if (!moved) {
            Shared->GaveUp = true;
            return false;
        }
    }
}

bool ConsoleWriter::DrainAll(std::initializer_list<ConsoleWriter*> writers,
                             std::chrono::milliseconds stallLimit)
{
    using Clock = std::chrono::steady_clock;
    std::vector<uint64_t> written(writers.size(), 0);
    auto lastMove = Clock::now();
    for (bool first = true;; first = false) {
        bool idle = true;
        size_t i = 0;
        for (ConsoleWriter* writer : writers) {
            std::lock_guard lock(writer->Shared->Lock);
            const State& state = *writer->Shared;
            if (!state.Idle() && !state.GaveUp)
                idle = false;
            if (!first && state.Written != written[i])
                lastMove = Clock::now();
            written[i++] = state.Written;
        }
        if (idle)
            break;
        if (Clock::now() - lastMove >= stallLimit) {
            for (ConsoleWriter* writer : writers) {
                std::lock_guard lock(writer->Shared->Lock);
                if (!writer->Shared->Idle())
                    writer->Shared->GaveUp = true;
            }
            break;
        }
        // Only at the end of a program: a short poll is simpler than waiting on several locks.
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    bool all = true;
    for (ConsoleWriter* writer : writers) {
        std::lock_guard lock(writer->Shared->Lock);
        all = all && writer->Shared->Idle();
    }
    return all;
}

void ConsoleWriter::OnFailure(std::function<void(int)> told)
{
    std::lock_guard lock(Shared->Lock);
    Shared->Failed = std::move(told);
}

bool ConsoleWriter::Gone() const
{
    std::lock_guard lock(Shared->Lock);
    return Shared->Gone;
}
