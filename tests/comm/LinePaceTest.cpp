// SPDX-License-Identifier: MIT
// The modelled output queue of a line behind a server: its rate from the line settings, and
// the room it has as time passes.
#include "LinePace.h"

#include <gtest/gtest.h>

namespace {

using Clock = LinePace::Clock;
using std::chrono::milliseconds;

DCB Line(uint32_t rate, uint8_t size, uint8_t parity, uint8_t stopBits)
{
    DCB settings;
    settings.BaudRate = rate;
    settings.ByteSize = size;
    settings.Parity = parity;
    settings.StopBits = stopBits;
    return settings;
}

TEST(LinePace, TheRateCountsEveryBitOfACharacter)
{
    const auto now = Clock::now();
    EXPECT_DOUBLE_EQ(LinePace(Line(115200, 8, NOPARITY, ONESTOPBIT), now).BytesPerSecond(), 11520);
    EXPECT_DOUBLE_EQ(LinePace(Line(9600, 7, EVENPARITY, TWOSTOPBITS), now).BytesPerSecond(),
                     9600.0 / 11);
    EXPECT_DOUBLE_EQ(LinePace(Line(1000, 5, NOPARITY, ONE5STOPBITS), now).BytesPerSecond(),
                     1000.0 / 7.5);
}

TEST(LinePace, TheQueueEmptiesAtTheLineRate)
{
    const auto start = Clock::now();
    LinePace pace(Line(115200, 8, NOPARITY, ONESTOPBIT), start);
    EXPECT_EQ(pace.Room(start), LinePace::QueueLimit);
    EXPECT_EQ(pace.UntilRoomFor(10, start), Clock::duration::zero());

    pace.Add(LinePace::QueueLimit, start);
    EXPECT_EQ(pace.Room(start), 0u);
    // 10 bytes take 10 / 11520 s.
    EXPECT_NEAR(std::chrono::duration<double>(pace.UntilRoomFor(10, start)).count(), 10.0 / 11520,
                1e-6);
    EXPECT_EQ(pace.Room(start + milliseconds(100)), 1152u);
    EXPECT_EQ(pace.UntilRoomFor(1000, start + milliseconds(100)), Clock::duration::zero());
    // An idle line is empty however long it idles, and time never runs back.
    EXPECT_EQ(pace.Room(start + milliseconds(60000)), LinePace::QueueLimit);
    EXPECT_EQ(pace.Room(start), LinePace::QueueLimit);
    // More than a queue's worth is asked room for as a queue's worth.
    pace.Add(100, start + milliseconds(60000));
    EXPECT_GT(pace.UntilRoomFor(100000, start + milliseconds(60000)), Clock::duration::zero());
}

}  // namespace
