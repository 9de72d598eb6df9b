// SPDX-License-Identifier: MIT
// The modelled output queue of a line behind a server: its rate from the line settings, and
// the room it has as time passes.
#include "LinePace.h"

#include <gtest/gtest.h>

namespace {

using Clock = LinePace::Clock;
using std::chrono::milliseconds;

TEST(LinePace, TheQueueEmptiesAtTheRateOfEveryBitOfACharacter)
{
    const auto start = Clock::now();
    const std::pair<DCB, double> rates[] = {
        {{sizeof(DCB), 115200, 8, NOPARITY, ONESTOPBIT}, 11520},
        {{sizeof(DCB), 9600, 7, EVENPARITY, TWOSTOPBITS}, 9600.0 / 11},
        {{sizeof(DCB), 1000, 5, NOPARITY, ONE5STOPBITS}, 1000.0 / 7.5}};
    for (const auto& [settings, rate] : rates)
        EXPECT_DOUBLE_EQ(LinePace(settings, start).BytesPerSecond(), rate);

    LinePace pace(rates[0].first, start);
    EXPECT_EQ(pace.UntilRoomFor(10, start), Clock::duration::zero());
    pace.Add(LinePace::QueueLimit, start);
    EXPECT_EQ(pace.Room(start), 0u);
    EXPECT_NEAR(std::chrono::duration<double>(pace.UntilRoomFor(10, start)).count(), 10.0 / 11520,
                1e-6);
    EXPECT_EQ(pace.Queued(start), LinePace::QueueLimit);
    EXPECT_EQ(pace.Room(start + milliseconds(100)), 1152u);
    EXPECT_EQ(pace.Queued(start + milliseconds(100)), LinePace::QueueLimit - 1152);
    // An idle line is empty however long it idles, and time never runs back.
    EXPECT_EQ(pace.Room(start + milliseconds(60000)), LinePace::QueueLimit);
    EXPECT_EQ(pace.Room(start), LinePace::QueueLimit);
    EXPECT_EQ(pace.Queued(start), 0u);
}

}  // namespace
