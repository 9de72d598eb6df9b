// SPDX-License-Identifier: MIT
// The estimate of a run's duration and the rate and time left of a file's send.
#include "RunEstimate.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace {

TEST(RunEstimate, FilesAtTheLineRateAndThePausesOfASuccessfulRun)
{
    // Each file: 70 + 200 ms before it, 1 s after it is stored; 1 s before each later file;
    // at the end 0.5 + 1 + 0.1 + 5 s.
    const struct {
        std::vector<int64_t> Sizes;
        double Seconds;
    } cases[] = {
        {{}, 0.0},
        {{11520}, 1.0 + 7.87},
        {{11520, 23040}, 3.0 + 10.14},
        {{4096, 0, 1}, 4097 / 11520.0 + 12.41},  // an empty file still counts as a file here
    };
    for (const auto& c : cases)
        EXPECT_NEAR(RunEstimate::RunSeconds(c.Sizes), c.Seconds, 1e-9) << c.Sizes.size();
    EXPECT_NEAR(RunEstimate::PausesLeftSeconds(0), 1.0 + 6.6, 1e-9);
    EXPECT_NEAR(RunEstimate::PausesLeftSeconds(2), 1.0 + 2 * 2.27 + 6.6, 1e-9);
}

struct RateCase {
    const char* Name;
    std::vector<std::pair<double, int64_t>> Samples;  // after Begin(0)
    double Rate;
    double FileLeft;  // of a 23,040-byte file
};

TEST(SendRate, RateAndTimeLeft)
{
    const double inf = std::numeric_limits<double>::infinity();
    const RateCase cases[] = {
        {"no sample yet: the line rate", {}, 11520, 2.0},
        {"samples too close together: the line rate", {{0.05, 20000}}, 11520, 3040 / 11520.0},
        {"a slower line", {{1, 2000}, {2, 4000}}, 2000, 19040 / 2000.0},
        {"never above the line rate", {{0.5, 15000}, {1, 20000}}, 11520, 3040 / 11520.0},
        // The buffers filled at once, then the line's own pace: the first burst falls out of
        // the two-second window.
        {"a burst, then the line",
         {{0.1, 4000}, {1.1, 9000}, {2.1, 14000}, {3.1, 19000}},
         5000,
         4040 / 5000.0},
        {"a stalled line: no end in sight", {{1, 1000}, {3.5, 1000}, {4, 1000}}, 0, inf},
        {"all sent", {{1, 23040}}, 11520, 0},
    };
    for (const RateCase& c : cases) {
        SendRate rate;
        rate.Begin(0);
        for (const auto& [t, bytes] : c.Samples)
            rate.Sample(t, bytes);
        EXPECT_NEAR(rate.BytesPerSecond(), c.Rate, 1e-6) << c.Name;
        if (std::isinf(c.FileLeft))
            EXPECT_TRUE(std::isinf(rate.FileSecondsLeft(23040))) << c.Name;
        else
            EXPECT_NEAR(rate.FileSecondsLeft(23040), c.FileLeft, 1e-6) << c.Name;
    }
}

TEST(SendRate, TheRunLeftAddsTheLaterFilesAtTheRateSeenAndThePausesToCome)
{
    SendRate rate;
    rate.Begin(10);
    rate.Sample(11, 5760);  // half the line rate
    EXPECT_NEAR(rate.RunSecondsLeft(11520, 0, 0), 1.0 + 7.6, 1e-9);
    EXPECT_NEAR(rate.RunSecondsLeft(11520, 5760, 1), 1.0 + 1.0 + 7.6 + 2.27, 1e-9);
}

}  // namespace
