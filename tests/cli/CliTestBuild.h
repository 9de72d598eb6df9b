// SPDX-License-Identifier: MIT
// The test build of zendrak-cli (zendrak-cli-test): the same program, except that tests can
// shorten the bound on the receiver's storing wait with ZENDRAK_WAIT_SAVED_LIMIT_MS.
#pragma once

#include <chrono>
#include <cstdlib>
#include <optional>

inline std::optional<std::chrono::milliseconds> TestWaitSavedLimit()
{
    if (const char* text = std::getenv("ZENDRAK_WAIT_SAVED_LIMIT_MS")) {
        char* end = nullptr;
        const long long ms = std::strtoll(text, &end, 10);
        if (end != text && *end == '\0' && ms > 0)
            return std::chrono::milliseconds(ms);
    }
    return std::nullopt;
}
