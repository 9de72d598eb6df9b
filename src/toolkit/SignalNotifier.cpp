// SPDX-License-Identifier: MIT
#include "SignalNotifier.h"

#include <QSocketNotifier>

#include <fcntl.h>
#include <time.h>
#include <unistd.h>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <stdexcept>
#include <system_error>
#include <thread>

namespace {

// What the handler may touch: lock-free atomics, and the dispositions found at construction,
// which are written before any handler can read them.
std::atomic<int> writeEnd{-1};
std::atomic<int> handlersRunning{0};
std::atomic<bool> inUse{false};
struct sigaction previousActions[NSIG];
// Per signal: the CLOCK_MONOTONIC time in ns from which it is handed back; 0: never.
std::atomic<int64_t> handBackFrom[NSIG];

int64_t MonotonicNs()
{
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);  // async-signal-safe, the clock of steady_clock
    return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

extern "C" void WriteSignalToPipe(int signal)
{
    const int savedErrno = errno;
    handlersRunning.fetch_add(1);
    const int64_t from = signal > 0 && signal < NSIG ? handBackFrom[signal].load() : 0;
    if (from != 0 && MonotonicNs() >= from) {
        // Blocked while this handler runs, the raised signal is delivered as it returns.
        ::sigaction(signal, &previousActions[signal], nullptr);
        ::raise(signal);
    } else if (const int fd = writeEnd.load(); fd >= 0) {
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
static_assert(std::atomic<int64_t>::is_always_lock_free,
              "the signal handler needs lock-free atomics");

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
        if (signal > 0 && signal < NSIG) {
            previousActions[signal] = previous;
            handBackFrom[signal] = 0;
        }
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

void SignalNotifier::HandBackFrom(const std::vector<int>& which,
                                  std::chrono::steady_clock::time_point from)
{
    const int64_t ns =
        std::chrono::duration_cast<std::chrono::nanoseconds>(from.time_since_epoch()).count();
    for (const int signal : which)
        if (signal > 0 && signal < NSIG)
            handBackFrom[signal] = ns > 0 ? ns : 1;
}

void SignalNotifier::EndAsUsual(int signal)
{
    for (const auto& [caught, previous] : Previous)
        if (caught == signal)
            ::sigaction(signal, &previous, nullptr);
    ::raise(signal);
}

void SignalNotifier::Restore()
{
    for (auto it = Previous.rbegin(); it != Previous.rend(); ++it) {
        ::sigaction(it->first, &it->second, nullptr);
        if (it->first > 0 && it->first < NSIG)
            handBackFrom[it->first] = 0;
    }
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
