// SPDX-License-Identifier: MIT
#include "SignalNotifier.h"

#include <QSocketNotifier>

#include <fcntl.h>
#include <unistd.h>
#include <atomic>
#include <cerrno>
#include <stdexcept>
#include <system_error>
#include <thread>

namespace {

// What the handler may touch: lock-free atomics only.
std::atomic<int> writeEnd{-1};
std::atomic<int> handlersRunning{0};
std::atomic<bool> inUse{false};

extern "C" void WriteSignalToPipe(int signal)
{
    const int savedErrno = errno;
    handlersRunning.fetch_add(1);
    const int fd = writeEnd.load();
    if (fd >= 0) {
        const unsigned char number = static_cast<unsigned char>(signal);
        // A full pipe drops the signal: hundreds are already waiting to be handled.
        [[maybe_unused]] const ssize_t written = ::write(fd, &number, 1);
    }
    handlersRunning.fetch_sub(1);
    errno = savedErrno;
}

[[noreturn]] void Fail(const char* what)
{
    throw std::system_error(errno, std::generic_category(), what);
}

}  // namespace

static_assert(std::atomic<int>::is_always_lock_free, "the signal handler needs lock-free atomics");

SignalNotifier::SignalNotifier(const std::vector<int>& caught, const std::vector<int>& ignored,
                               std::function<void(int)> onSignal)
    : OnSignal(std::move(onSignal))
{
    if (inUse.exchange(true))
        throw std::logic_error("only one signal notifier at a time");
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
        inUse = false;
        Fail("cannot make the signal pipe");
    }
    PipeRead = fds[0];
    PipeWrite = fds[1];
    writeEnd = PipeWrite;
    Notifier = std::make_unique<QSocketNotifier>(PipeRead, QSocketNotifier::Read);
    QObject::connect(Notifier.get(), &QSocketNotifier::activated, [this] { Deliver(); });

    auto set = [this](int signal, void (*handler)(int)) {
        struct sigaction action = {};
        action.sa_handler = handler;
        sigemptyset(&action.sa_mask);
        // Interrupted reads and writes of other threads go on as if nothing had happened.
        action.sa_flags = SA_RESTART;
        struct sigaction previous = {};
        if (::sigaction(signal, &action, &previous) != 0) {
            const int error = errno;
            Restore();
            errno = error;
            Fail("cannot set a signal's handling");
        }
        Previous.emplace_back(signal, previous);
    };
    for (const int signal : caught)
        set(signal, WriteSignalToPipe);
    for (const int signal : ignored)
        set(signal, SIG_IGN);
}

SignalNotifier::~SignalNotifier()
{
    Restore();
}

void SignalNotifier::Restore()
{
    for (auto it = Previous.rbegin(); it != Previous.rend(); ++it)
        ::sigaction(it->first, &it->second, nullptr);
    Previous.clear();
    Notifier.reset();
    // A handler that started before its disposition went back may still be writing.
    writeEnd = -1;
    while (handlersRunning.load() != 0)
        std::this_thread::yield();
    if (PipeRead >= 0)
        ::close(PipeRead);
    if (PipeWrite >= 0)
        ::close(PipeWrite);
    PipeRead = PipeWrite = -1;
    inUse = false;
}

void SignalNotifier::Deliver()
{
    unsigned char numbers[64];
    for (;;) {
        const ssize_t got = ::read(PipeRead, numbers, sizeof numbers);
        if (got <= 0)
            return;  // drained (EAGAIN) or closed
        for (ssize_t i = 0; i < got; ++i)
            OnSignal(numbers[i]);
    }
}
