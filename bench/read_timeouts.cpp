// SPDX-License-Identifier: MIT
// bench_read_timeouts: how closely the port's reads keep their time-outs on a pseudo-terminal.
// 50 silent 1024-byte reads (they should last 1274 ms) and 50 reads that a 15 ms gap ends
// after a short burst (they should last about 15 ms after the last byte). Prints median and
// worst of each. Usage: bench_read_timeouts [rounds]
#include "Messages.h"
#include "comm_port.h"

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double MsBetween(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

void Report(const char* what, std::vector<double> times, double expected)
{
    std::sort(times.begin(), times.end());
    const double median = times[times.size() / 2];
    std::printf("%-34s n=%zu  expected %7.1f ms  median %7.2f ms  best %7.2f ms  worst %7.2f ms\n",
                what, times.size(), expected, median, times.front(), times.back());
}

}  // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 50;
    StderrMessageService messages;
    SetMessageService(&messages);

    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
        std::perror("posix_openpt");
        return 1;
    }
    termios raw{};
    ::tcgetattr(master, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(master, TCSANOW, &raw);

    try {
        TCommPort port;
        port.PortName = ::ptsname(master);
        port.SetBaudRate(115200);
        port.OpenCommPort();
        uint8_t buffer[1025];

        std::vector<double> silent;
        for (int i = 0; i < rounds; ++i) {
            const auto start = Clock::now();
            const uint32_t count = port.ReadBytes(buffer, 1024);
            silent.push_back(MsBetween(start, Clock::now()));
            if (count != 0)
                std::fprintf(stderr, "silent read got %u bytes\n", count);
        }
        Report("silent 1024-byte read", silent, 1274.0);

        // The read's time after the burst's last byte went out: the gap that ends it.
        std::vector<double> gap;
        const std::string burst = "Q9X-SUC LOAD  APP\r\n";
        for (int i = 0; i < rounds; ++i) {
            Clock::time_point sent;
            std::thread sender([&] {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
                (void)!::write(master, burst.data(), burst.size());
                sent = Clock::now();
            });
            const uint32_t count = port.ReadBytes(buffer, 1024);
            const auto ended = Clock::now();
            sender.join();
            gap.push_back(MsBetween(sent, ended));
            if (count != burst.size())
                std::fprintf(stderr, "burst read got %u of %zu bytes\n", count, burst.size());
        }
        Report("read ended by the 15 ms gap", gap, 15.0);
        port.CloseCommPort();
    } catch (const ECommError& error) {
        std::fprintf(stderr, "serial error %u (errno %u)\n", error.Code, error.LastError);
        return 1;
    }
    ::close(master);
    return 0;
}
