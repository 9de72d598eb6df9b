// SPDX-License-Identifier: MIT
#include "Simulator.h"

#include "Console.h"
#include "Pty.h"
#include "Recorder.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <thread>

namespace {

volatile std::sig_atomic_t stopRequested = 0;

void OnStopSignal(int)
{
    stopRequested = 1;
}

void InstallStopHandlers()
{
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART: the wait returns at once
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);
}

int Fail(const std::string& text)
{
    std::fprintf(stderr, "zendrak-receiver-sim: %s\n", text.c_str());
    return 1;
}

}  // namespace

int RunSimulator(const SimOptions& options)
{
    InstallStopHandlers();
    Recorder recorder(options.SaveDir);
    if (!recorder.Prepare())
        return Fail(recorder.Error);
    Pty pty;
    if (!pty.Open())
        return Fail(pty.Error);
    if (!options.LinkPath.empty() && !pty.Link(options.LinkPath))
        return Fail(pty.Error);
    std::printf("%s\n", pty.SlavePath.c_str());
    std::fflush(stdout);

    ReceiverConsole console(options, recorder);
    bool hungUp = true;
    std::optional<SimClock::time_point> lingerUntil;
    std::optional<SimClock::time_point> plugInAt;  // while the device is unplugged
    uint8_t buffer[4096];

    while (!stopRequested) {
        SimClock::time_point now = SimClock::now();
        if (plugInAt) {
            if (now < *plugInAt) {
                std::this_thread::sleep_for(
                    std::min<SimClock::duration>(*plugInAt - now, std::chrono::milliseconds(20)));
                continue;
            }
            plugInAt.reset();
            if (!pty.Open() || !pty.Link(options.LinkPath))
                return Fail(pty.Error);
            std::printf("%s\n", pty.SlavePath.c_str());
            std::fflush(stdout);
            hungUp = true;
            if (options.Verbose)
                std::fprintf(stderr, "receiver-sim: plugged in again\n");
        }
        if (console.TakeUnplug(now)) {
            // The adapter is pulled: whoever holds the line sees it go, and the link with it.
            pty.Close();
            plugInAt = now + std::chrono::milliseconds(options.ReplugMs);
            if (options.Verbose)
                std::fprintf(stderr, "receiver-sim: unplugged\n");
            continue;
        }
        console.Tick(now);
        for (const std::string& burst : console.TakeDue(now)) {
            // Output while no one listens is lost, as on a real line.
            if (!hungUp && !pty.Write(burst) && options.Verbose)
                std::fprintf(stderr, "receiver-sim: output lost\n");
        }
        if (!console.Error.empty())
            return Fail(console.Error);
        if (console.Vanished()) {
            pty.Close();
            console.SavePartialFile();
            return console.Error.empty() ? 0 : Fail(console.Error);
        }
        if (console.Done()) {
            if (!lingerUntil)
                lingerUntil = now + std::chrono::milliseconds(options.LingerMs);
            if (hungUp || now >= *lingerUntil)
                return 0;
        }

        int timeout = 1000;
        if (auto next = console.NextEvent(now)) {
            const auto ms = std::chrono::ceil<std::chrono::milliseconds>(*next - now).count();
            timeout = static_cast<int>(std::clamp<long long>(ms, 0, 1000));
        }
        if (lingerUntil)
            timeout = std::min(timeout, 20);
        const size_t allowance = console.ReadAllowance(now);
        switch (pty.Poll(timeout, allowance > 0)) {
        case Pty::Wait::Readable: {
            hungUp = false;
            const size_t n = pty.Read(buffer, std::min(allowance, sizeof buffer));
            console.Receive(buffer, n, SimClock::now());
            break;
        }
        case Pty::Wait::Hangup:
            // No one holds the serial end: wait and look again.
            if (!hungUp && options.Verbose)
                std::fprintf(stderr, "receiver-sim: line closed\n");
            hungUp = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(std::min(timeout, 10)));
            break;
        case Pty::Wait::Timeout: hungUp = false; break;
        case Pty::Wait::Interrupted: break;
        }
    }
    console.SavePartialFile();
    return 3;
}
