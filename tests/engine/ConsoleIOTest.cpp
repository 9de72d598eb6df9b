// SPDX-License-Identifier: MIT
// The worker's console I/O over a real pty: the receive buffer and its wrap, the marker test,
// commands, and the file send with its progress and its stop byte.
#include "EngineTestSupport.h"
#include "SentLength.h"

#include "Exceptions.h"

#include <cstring>
#include <random>

namespace {

class ConsoleIO : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        Host.OpenPort(Line.SlavePath());
        Worker.MakeRecvBuffer();
    }

    // Reads until `count` bytes have come in (a generous number of attempts).
    void ReadBytes(size_t count)
    {
        size_t got = 0;
        for (int attempt = 0; attempt < 20 && got < count; ++attempt)
            got += Worker.ReadReceiver();
        ASSERT_EQ(got, count);
    }

    // Loads `bytes` as the current file and sends it; returns the result and the line's bytes.
    bool Send(const std::vector<uint8_t>& bytes, std::string& onLine)
    {
        Host.Files = {{"/tmp/font.app", bytes}};
        Worker.LoadFirmFile(1);
        const bool ok = Worker.SendDataToPort();
        onLine = Line.ReadAvailable();
        return ok;
    }

    Pty Line;
    FakeHost Host;
    TestableFirmThread Worker{true, Host};
};

TEST_F(ConsoleIO, TextStaysWholeUpTo2047BytesThenWrapsToIndexZero)
{
    Line.Write(std::string(2047, 'x') + "fin");
    ReadBytes(2050);
    EXPECT_EQ(std::memcmp(Worker.RecvBuffer.get(), "fin", 3), 0);
    EXPECT_EQ(Worker.RecvBuffer[3], 'x');
    EXPECT_EQ(Worker.RecvBuffer[2047], 0);
    EXPECT_EQ(Worker.RecvPos, 3);
    EXPECT_TRUE(Worker.RecvContains("fin"));
}

TEST_F(ConsoleIO, MarkerSplitByTheWrapIsNotFound)
{
    Line.Write(std::string(2046, 'x') + "fin");
    ReadBytes(2049);
    EXPECT_EQ(Worker.RecvBuffer[2046], 'f');
    EXPECT_EQ(std::memcmp(Worker.RecvBuffer.get(), "in", 2), 0);
    EXPECT_FALSE(Worker.RecvContains("fin"));
}

TEST_F(ConsoleIO, ZeroByteEndsTheSearchableTextUntilTheNextClear)
{
    Line.Write(std::string("Q9X\0-SUC fin", 12));
    ReadBytes(12);
    EXPECT_TRUE(Worker.RecvContains("Q9X"));
    EXPECT_FALSE(Worker.RecvContains("fin"));
    Worker.ClearRecvBuffer();
    Line.Write("fin");
    ReadBytes(3);
    EXPECT_TRUE(Worker.RecvContains("fin"));
}

TEST_F(ConsoleIO, SearchIsCaseSensitiveAndFindsMarkersInsideWords)
{
    Line.Write("#define FLASH Flash");
    ReadBytes(19);
    EXPECT_TRUE(Worker.RecvContains("fin"));
    EXPECT_TRUE(Worker.RecvContains("lash"));
    EXPECT_FALSE(Worker.RecvContains("flash"));
    EXPECT_FALSE(Worker.RecvContains("DEFINE"));
}

TEST_F(ConsoleIO, SilentReadTouchesNothingNotEvenTheLastByte)
{
    Line.Write("ab");
    ReadBytes(2);
    Worker.RecvBuffer[2047] = 'Z';
    EXPECT_EQ(Worker.ReadReceiver(), 0u);
    EXPECT_EQ(Worker.RecvBuffer[2047], 'Z');
    EXPECT_EQ(Worker.RecvPos, 2);
    EXPECT_TRUE(Worker.RecvContains("ab"));
    Line.Write("c");
    ReadBytes(1);
    EXPECT_EQ(Worker.RecvBuffer[2047], 0);  // a read that stores bytes terminates again
}

TEST_F(ConsoleIO, ClearZeroesAllBytesAndRewinds)
{
    Line.Write("LOAD  APP");
    ReadBytes(9);
    Worker.RecvBuffer[2047] = 'Z';
    Worker.ClearRecvBuffer();
    EXPECT_EQ(Worker.RecvPos, 0);
    for (int i = 0; i < Worker.RecvSize; ++i)
        ASSERT_EQ(Worker.RecvBuffer[static_cast<size_t>(i)], 0) << i;
}

TEST_F(ConsoleIO, CommandGoesOutFollowedByCrLf)
{
    Worker.SendCommand('r');
    Worker.SendCommand('l');
    Worker.SendCommand('s');
    EXPECT_EQ(Line.ReadAvailable(), "r\r\nl\r\ns\r\n");
}

TEST_F(ConsoleIO, LoadFirmFileTakesACopy)
{
    Host.Files = {{"/tmp/font.app", {1, 2, 3}}, {"/tmp/out.app", {9, 8, 7, 6, 5}}};
    EXPECT_TRUE(Worker.LoadFirmFile(2));
    Host.Files[1].Bytes[0] = 0;
    ASSERT_EQ(Worker.FileLen, 5);
    EXPECT_EQ(Worker.FileData[0], 9);
    EXPECT_TRUE(Worker.LoadFirmFile(1));
    ASSERT_EQ(Worker.FileLen, 3);
    EXPECT_EQ(std::memcmp(Worker.FileData.get(), "\1\2\3", 3), 0);
}

TEST_F(ConsoleIO, FreeRecvBufferReleasesItAndResetsTheBar)
{
    Worker.FreeRecvBuffer();
    EXPECT_EQ(Worker.RecvBuffer, nullptr);
    EXPECT_EQ(Host.Progress(), std::vector<int>{0});
    Worker.FreeRecvBuffer();  // nothing left to release: only the bar again
    EXPECT_EQ(Host.Progress(), (std::vector<int>{0, 0}));
}

struct SendCase {
    const char* Name;
    size_t Size;
    std::vector<int> Progress;
};

void PrintTo(const SendCase& c, std::ostream* os)
{
    *os << c.Name;
}

class SendSizes : public ConsoleIO, public ::testing::WithParamInterface<SendCase> {};

TEST_P(SendSizes, BlocksThenSingleBytesWithTheirProgress)
{
    const SendCase& c = GetParam();
    const std::vector<uint8_t> file = PlainBytes(c.Size, 5);
    std::string onLine;
    EXPECT_EQ(Send(file, onLine), c.Size > 0);
    EXPECT_EQ(onLine, AsText(file));
    EXPECT_EQ(Host.Progress(), c.Progress);
}

INSTANTIATE_TEST_SUITE_P(
    Files, SendSizes,
    ::testing::Values(SendCase{"Empty", 0, {}},
                      SendCase{"Ten", 10, {10, 20, 30, 40, 50, 60, 70, 80, 90, 100}},
                      SendCase{"Eleven", 11, {81, 100}},
                      SendCase{"TwentyFive", 25, {36, 72, 84, 88, 92, 96, 100}},
                      SendCase{
                          "OneBlockAndTen", 20, {45, 55, 60, 65, 70, 75, 80, 85, 90, 95, 100}}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(ConsoleIO, LargeFileProgressRisesToNinetyThenOneHundred)
{
    // More than the pty holds: the receiver's side reads while the worker writes.
    const std::vector<uint8_t> file = PlainBytes(100000, 1);
    Host.Files = {{"/tmp/font.app", file}};
    Worker.LoadFirmFile(1);
    ScriptedPeer reader(Line, {});
    ASSERT_TRUE(Worker.SendDataToPort());
    std::string onLine = reader.Stop();  // first: one reader of the line at a time
    onLine += Line.ReadAvailable();
    EXPECT_EQ(onLine.size(), file.size());
    EXPECT_TRUE(onLine == AsText(file));  // (not printed: 100000 bytes)
    // Each value the bar shows, once and in order: the blocks 0 to 89 (the last block is
    // 99990 * 90 / 100000), the tail 99 and 100. A value equal to the shown one is not handed
    // over again.
    std::vector<int> shown;
    for (int value = 0; value <= 89; ++value)
        shown.push_back(value);
    shown.push_back(99);
    shown.push_back(100);
    EXPECT_EQ(Host.Progress(), shown);
}

struct StopCase {
    const char* Name;
    size_t Size;
    int StopAt;        // index of the 0x02, -1 for none
    size_t BytesSent;  // what reaches the line
    std::vector<int> Progress;
};

void PrintTo(const StopCase& c, std::ostream* os)
{
    *os << c.Name;
}

class StopByte : public ConsoleIO, public ::testing::WithParamInterface<StopCase> {};

TEST_P(StopByte, SendEndsAfterTheByteThatFollowsATailStopByte)
{
    const StopCase& c = GetParam();
    std::vector<uint8_t> file = PlainBytes(c.Size, 3);
    if (c.StopAt >= 0)
        file[static_cast<size_t>(c.StopAt)] = 0x02;
    std::string onLine;
    EXPECT_TRUE(Send(file, onLine));  // a stopped send counts as complete
    EXPECT_EQ(onLine, AsText(file).substr(0, c.BytesSent));
    EXPECT_EQ(Host.Progress(), c.Progress);
    // What front ends say before the run is what the send does.
    EXPECT_EQ(BytesSentOf(file.data(), static_cast<int64_t>(file.size())),
              static_cast<int64_t>(c.BytesSent));
}

// Files of every short size with 0x02 bytes anywhere (several, or none): the bytes the send
// really puts on the line are always those BytesSentOf says. The seed is printed for a rerun.
TEST_F(ConsoleIO, TheSentLengthIsWhatTheSendSends)
{
    const unsigned seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    for (int round = 0; round < 150; ++round) {
        std::vector<uint8_t> file(std::uniform_int_distribution<size_t>(1, 64)(random));
        for (uint8_t& byte : file)
            byte =
                std::uniform_int_distribution<int>(0, 4)(random) == 0
                    ? 0x02
                    : static_cast<uint8_t>(std::uniform_int_distribution<int>(0x20, 0x7E)(random));
        Host.Files = {{"/tmp/font.app", file}};
        Worker.LoadFirmFile(1);
        ASSERT_TRUE(Worker.SendDataToPort());
        const std::string onLine = Line.ReadAvailable(std::chrono::milliseconds(30));
        ASSERT_EQ(static_cast<int64_t>(onLine.size()),
                  BytesSentOf(file.data(), static_cast<int64_t>(file.size())))
            << AsText(file);
        ASSERT_EQ(onLine, AsText(file).substr(0, onLine.size()));
    }
    EXPECT_EQ(BytesSentOf(nullptr, 0), 0);  // an empty file sends nothing
}

INSTANTIATE_TEST_SUITE_P(
    Files, StopByte,
    ::testing::Values(StopCase{"JustBeforeTheTail", 25, 19, 21, {36, 72}},
                      StopCase{"InTheTailNotLast", 25, 22, 24, {36, 72, 84, 88, 92}},
                      StopCase{"InTheBlockPart", 25, 5, 25, {36, 72, 84, 88, 92, 96, 100}},
                      StopCase{"LastByte", 25, 24, 25, {36, 72, 84, 88, 92, 96, 100}},
                      // The first byte of a short file has nothing before it; a 0x02 there stops
                      // after the second byte.
                      StopCase{"FirstByteOfShortFile", 10, 0, 2, {10}},
                      StopCase{
                          "NoneInShortFile", 10, -1, 10, {10, 20, 30, 40, 50, 60, 70, 80, 90, 100}},
                      StopCase{"OneByteFile", 1, 0, 1, {100}}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(ConsoleIO, VanishedLineMakesTheSendFail)
{
    Line.CloseMaster();
    std::string onLine;
    Host.Files = {{"/tmp/font.app", PlainBytes(25)}};
    Worker.LoadFirmFile(1);
    EXPECT_FALSE(Worker.SendDataToPort());
    EXPECT_TRUE(Host.Progress().empty());
    EXPECT_TRUE(Boxes.Texts().empty());  // the error goes to the run's observer, not a box
}

TEST_F(ConsoleIO, OtherPortErrorsPassOutAsTheyWere)
{
    Host.Files = {{"/tmp/font.app", PlainBytes(25)}};
    Worker.LoadFirmFile(1);
    Host.Port.CloseCommPort();
    try {
        Worker.SendDataToPort();
        FAIL() << "no error";
    } catch (const ECommError& error) {
        EXPECT_EQ(error.Code, 7);
    }
    EXPECT_TRUE(Boxes.Texts().empty());
}

TEST_F(ConsoleIO, CommandOnAClosedPortPassesOut)
{
    Host.Port.CloseCommPort();
    EXPECT_THROW(Worker.SendCommand('r'), ECommError);
    EXPECT_THROW(Worker.ReadReceiver(), ECommError);
}

}  // namespace
