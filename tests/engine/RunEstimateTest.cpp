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

// What a send has written to the device counts as on the line no faster than the line carries
// it: a pseudo-terminal takes kilobytes at once, a network connection tells no queue.
TEST(SendRate, WrittenBytesCountAsOnTheLineAtTheLineRateAtMost)
{
    const struct {
        const char* Name;
        double Seconds;
        int64_t Written;
        int64_t Queued;
        int64_t OnLine;
    } cases[] = {
        {"a buffer swallowed the first kilobytes", 0.1, 4000, 0, 1152},
        {"the queue the device tells is not on the line", 1.0, 9000, 1000, 8000},
        {"the queue and the line rate both bound it", 1.0, 20000, 1000, 11520},
        {"nothing yet", 0.0, 4000, 0, 0},
        {"more queued than written (a device that guesses)", 1.0, 100, 500, 0},
    };
    for (const auto& c : cases) {
        SendRate rate;
        rate.Begin(10);
        rate.SampleWritten(10 + c.Seconds, c.Written, c.Queued);
        EXPECT_EQ(rate.OnLine(), c.OnLine) << c.Name;
        EXPECT_LE(rate.BytesPerSecond(), RunEstimate::LineBytesPerSecond) << c.Name;
    }
    // At the line's own pace the bound changes nothing: the rate is what was seen.
    SendRate slow;
    slow.Begin(0);
    for (int i = 1; i <= 20; ++i)
        slow.SampleWritten(i * 0.1, i * 800);
    EXPECT_EQ(slow.OnLine(), 16000);
    EXPECT_NEAR(slow.BytesPerSecond(), 8000, 1e-6);
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
