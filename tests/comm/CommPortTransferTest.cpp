// SPDX-License-Identifier: MIT
// Bytes on the line and the read and write time-outs, over a pseudo-terminal.
#include "Messages.h"
#include "PtyPeer.h"
#include "comm_port.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <memory>
#include <numeric>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

long MsSince(Clock::time_point start)
{
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

std::vector<uint8_t> AllByteValues()
{
    std::vector<uint8_t> bytes(256);
    std::iota(bytes.begin(), bytes.end(), 0);
    return bytes;
}

class CommPortTransfer : public ::testing::Test {
protected:
    RecordingMessageService Boxes;
    ScopedMessageService Scope{Boxes};
    PtyPeer Peer;
    std::unique_ptr<TCommPort> PortObject = std::make_unique<TCommPort>();
    TCommPort& Port = *PortObject;

    void SetUp() override
    {
        Port.PortName = Peer.SlavePath();
        Port.SetBaudRate(115200);
        Port.OpenCommPort();
        ASSERT_TRUE(Port.PortOpen);
    }

    // Reads until `count` bytes have come or a read returns nothing.
    std::vector<uint8_t> ReadAtLeast(size_t count)
    {
        std::vector<uint8_t> got;
        uint8_t buffer[1025];
        while (got.size() < count) {
            const uint32_t n = Port.ReadBytes(buffer, 1024);
            if (n == 0)
                break;
            got.insert(got.end(), buffer, buffer + n);
        }
        return got;
    }
};

TEST_F(CommPortTransfer, EveryByteValuePassesUnchangedInBothDirections)
{
    const auto bytes = AllByteValues();
    Peer.Send(bytes);
    EXPECT_EQ(ReadAtLeast(bytes.size()), bytes);

    Port.WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
    EXPECT_EQ(Peer.Receive(bytes.size() + 1, 500), bytes);
}

TEST_F(CommPortTransfer, ACommandAndItsLineEndArriveAsExactlyThreeBytes)
{
    const uint8_t command = 'r';
    Port.WriteBuffer(&command, 1);
    EXPECT_TRUE(Port.WriteCharacter(0x0D));
    EXPECT_TRUE(Port.WriteCharacter(0x0A));
    EXPECT_EQ(Peer.ReceiveUntilQuiet(), (std::vector<uint8_t>{'r', '\r', '\n'}));

    Peer.Send(std::string("\r\nfin\n"));
    EXPECT_EQ(ReadAtLeast(6), (std::vector<uint8_t>{'\r', '\n', 'f', 'i', 'n', '\n'}));
}

TEST_F(CommPortTransfer, EmptyWritesSendNothingAndRaiseNothing)
{
    const uint8_t data[] = {'x'};
    Port.WriteBuffer(data, 0);
    Port.WriteBuffer(nullptr, 5);
    EXPECT_TRUE(Peer.ReceiveUntilQuiet(50, 200).empty());
    EXPECT_TRUE(Boxes.Boxes().empty());
}

TEST_F(CommPortTransfer, ASilentReadLastsItsWholeDeadlineAndReturnsZero)
{
    uint8_t buffer[1025];
    std::fill(std::begin(buffer), std::end(buffer), 0x55);
    const auto start = Clock::now();
    EXPECT_EQ(Port.ReadBytes(buffer, 1024), 0u);
    const long elapsed = MsSince(start);
    EXPECT_GE(elapsed, 1274);  // 250 ms + 1 ms per requested byte
    EXPECT_LT(elapsed, 5000);
    EXPECT_EQ(buffer[0], 0);
    EXPECT_EQ(buffer[1], 0x55);
    EXPECT_TRUE(Boxes.Boxes().empty());
}

TEST_F(CommPortTransfer, AShortReadEndsAfterTheBurstWithAZeroByteBehindIt)
{
    std::thread sender([this] {
        Peer.Send(std::string("LOAD  APP"));
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        Peer.Send(std::string("later"));
    });
    uint8_t buffer[1025];
    std::fill(std::begin(buffer), std::end(buffer), 0x55);
    const auto start = Clock::now();
    const uint32_t count = Port.ReadBytes(buffer, 1024);
    const long elapsed = MsSince(start);
    ASSERT_EQ(count, 9u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), count), "LOAD  APP");
    EXPECT_EQ(buffer[count], 0);
    EXPECT_LT(elapsed, 1000);  // the 15 ms gap ended it, not the deadline

    EXPECT_EQ(Port.ReadBytes(buffer, 1024), 5u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer)), "later");
    sender.join();
}

TEST_F(CommPortTransfer, AFullReadWritesNoZeroByte)
{
    std::vector<uint8_t> sent(1100);
    for (size_t i = 0; i < sent.size(); ++i)
        sent[i] = static_cast<uint8_t>(i * 7 + 1);
    Peer.Send(sent);

    uint8_t buffer[1025];
    buffer[1024] = 0xAA;  // guard right behind the requested bytes
    ASSERT_EQ(Port.ReadBytes(buffer, 1024), 1024u);
    EXPECT_EQ(buffer[1024], 0xAA);
    EXPECT_TRUE(std::equal(buffer, buffer + 1024, sent.begin()));

    uint8_t rest[100];
    ASSERT_EQ(Port.ReadBytes(rest, 76), 76u);  // exactly the count again: no zero byte room
    EXPECT_TRUE(std::equal(rest, rest + 76, sent.begin() + 1024));
}

TEST_F(CommPortTransfer, AWriteToAStalledReaderFailsWithCode9AfterItsDeadline)
{
    // The peer reads nothing: the line's buffers fill up until a write cannot finish in time.
    const std::vector<uint8_t> block(1024, 0x5A);
    long failedAfter = -1;
    for (int i = 0; i < 2000 && failedAfter < 0; ++i) {
        const auto start = Clock::now();
        try {
            Port.WriteBuffer(block.data(), static_cast<int32_t>(block.size()));
        } catch (const ECommError& error) {
            failedAfter = MsSince(start);
            EXPECT_EQ(error.Code, 9);
            EXPECT_EQ(error.LastError, static_cast<uint32_t>(ETIMEDOUT));
        }
    }
    ASSERT_GE(failedAfter, 0) << "the stalled line took every write";
    EXPECT_GE(failedAfter, 1274);  // 250 ms + 1 ms per byte
    EXPECT_LT(failedAfter, 5000);
    EXPECT_TRUE(Port.PortOpen);
    EXPECT_TRUE(Boxes.Boxes().empty());  // the error is a value; front ends tell the user
}

TEST_F(CommPortTransfer, AVanishedPeerFailsTheReadAtOnceWithCode10)
{
    Peer.CloseMaster();
    uint8_t buffer[1025];
    const auto start = Clock::now();
    try {
        Port.ReadBytes(buffer, 1024);
        FAIL() << "a read on a vanished device returned";
    } catch (const ECommError& error) {
        EXPECT_EQ(error.Code, 10);
        EXPECT_EQ(error.LastError, static_cast<uint32_t>(EIO));
    }
    EXPECT_LT(MsSince(start), 1000);  // well before the read's deadline
    EXPECT_TRUE(Port.PortOpen);
    EXPECT_TRUE(Boxes.Boxes().empty());

    try {
        Port.WriteCharacter('s');
        FAIL() << "a write on a vanished device succeeded";
    } catch (const ECommError& error) {
        EXPECT_EQ(error.Code, 9);
    }
    Port.CloseCommPort();
    EXPECT_FALSE(Port.PortOpen);
}

}  // namespace
