// SPDX-License-Identifier: MIT
#include "SettlingOpen.h"

#include <algorithm>
#include <cerrno>
#include <thread>

void OpenCommPortSettling(TCommPort& port, std::chrono::milliseconds settle,
                          const std::function<bool()>& stop, std::chrono::milliseconds interval)
{
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + settle;
    for (;;) {
        try {
            port.OpenCommPort();
            return;
        } catch (const ECommError& error) {
            const bool settling =
                error.Code == 8 && (error.LastError == EACCES || error.LastError == EBUSY);
            if (!settling || Clock::now() >= deadline || (stop && stop()))
                throw;
        }
        std::this_thread::sleep_for(std::min<Clock::duration>(interval, deadline - Clock::now()));
    }
}
