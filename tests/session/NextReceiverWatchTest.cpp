// SPDX-License-Identifier: MIT
// When the next receiver is there, as a table of what the port brings while a port waits: the
// quiet time, output during it, the updated receiver's own restart, a device plugged in again
// and a start asked for.
#include "NextReceiverWatch.h"

#include <gtest/gtest.h>

namespace {

using Trigger = NextReceiverWatch::Trigger;
using namespace std::chrono_literals;

enum class Kind { Bytes, Gone, Back, Start, Tick, Begin };

struct Event {
    int Ms;  // since the wait began
    Kind What;
    std::string Bytes = {};
};

struct WatchCase {
    const char* Name;
    std::vector<Event> Events;
    Trigger Expected;
    int ReadyAtMs = -1;  // the event after which it is ready; -1: never
    bool PresentAtBegin = true;
};

void PrintTo(const WatchCase& c, std::ostream* os)
{
    *os << c.Name;
}

const std::string StartUp = "\r\nBoot ROM v2.31\r\nLoader Q9X-SUC ready\r\n";
const std::string StartMenu = "\r\n 1  LOAD  APP\r\n 2  RUN APP\r\n";
const std::string Chatter = "Tuner locked 11.954 GHz\r\n";

class NextReceiver : public testing::TestWithParam<WatchCase> {};

TEST_P(NextReceiver, IsRecognisedByWhatThePortBrings)
{
    const WatchCase& c = GetParam();
    const NextReceiverWatch::Clock::time_point t0{std::chrono::hours(1)};
    NextReceiverWatch watch(10s, 1s);
    watch.Begin(t0, c.PresentAtBegin);
    int readyAt = -1;
    for (const Event& e : c.Events) {
        const auto at = t0 + std::chrono::milliseconds(e.Ms);
        switch (e.What) {
        case Kind::Bytes: watch.Received(at, e.Bytes); break;
        case Kind::Gone: watch.DeviceSeen(at, false); break;
        case Kind::Back: watch.DeviceSeen(at, true); break;
        case Kind::Start: watch.StartRequested(at); break;
        case Kind::Tick: watch.Tick(at); break;
        case Kind::Begin: watch.Begin(at, true); break;
        }
        if (watch.Ready() != Trigger::None && readyAt < 0)
            readyAt = e.Ms;
        if (e.What == Kind::Begin)
            readyAt = -1;
    }
    EXPECT_EQ(watch.Ready(), c.Expected) << TriggerName(watch.Ready());
    EXPECT_EQ(readyAt, c.ReadyAtMs);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, NextReceiver,
    testing::Values(
        WatchCase{"StartUpAfterTheQuietTime",
                  {{12000, Kind::Bytes, StartUp}},
                  Trigger::StartUpOutput,
                  12000},
        WatchCase{"StartMenuJustAtTheQuietTime",
                  {{10000, Kind::Bytes, StartMenu}},
                  Trigger::StartUpOutput,
                  10000},
        WatchCase{"TooSoonAfterTheRunEnded",
                  {{9999, Kind::Bytes, StartUp}, {60000, Kind::Tick}},
                  Trigger::None},
        WatchCase{"OwnRestartIsIgnoredAndRestartsTheQuietTime",
                  {{3000, Kind::Bytes, StartUp},
                   {12000, Kind::Bytes, StartUp},
                   {21999, Kind::Bytes, StartUp},
                   {40000, Kind::Bytes, StartUp}},
                  Trigger::StartUpOutput,
                  40000},
        WatchCase{"ChatterDuringTheQuietTimeRestartsIt",
                  {{8000, Kind::Bytes, Chatter},
                   {17000, Kind::Bytes, StartUp},
                   {28000, Kind::Bytes, StartUp}},
                  Trigger::StartUpOutput,
                  28000},
        WatchCase{"OutputWithoutAMarkerIsNoReceiver",
                  {{15000, Kind::Bytes, Chatter}, {40000, Kind::Bytes, Chatter}},
                  Trigger::None},
        WatchCase{"MarkerLaterInOutputThatBeganAfterQuiet",
                  {{15000, Kind::Bytes, "#boot stage 1\r\n"},
                   {15100, Kind::Bytes, "#boot stage 2\r\n"},
                   {15300, Kind::Bytes, StartUp}},
                  Trigger::StartUpOutput,
                  15300},
        WatchCase{"MarkerSplitOverTwoReads",
                  {{15000, Kind::Bytes, "Loader Q9X-"}, {15020, Kind::Bytes, "SUC ready\r\n"}},
                  Trigger::StartUpOutput,
                  15020},
        WatchCase{"MenuWithOneBlankIsNotTheMenu",
                  {{15000, Kind::Bytes, " 1  LOAD APP\r\n"}},
                  Trigger::None},
        WatchCase{"ReadsThatBringNothingAreQuiet",
                  {{1300, Kind::Bytes, ""}, {9000, Kind::Bytes, ""}, {10000, Kind::Bytes, StartUp}},
                  Trigger::StartUpOutput,
                  10000},
        WatchCase{"DeviceBackForTheSettleTime",
                  {{2000, Kind::Gone}, {5000, Kind::Back}, {5500, Kind::Tick}, {6000, Kind::Tick}},
                  Trigger::DeviceReplugged,
                  6000},
        WatchCase{"DeviceThatComesAndGoesMustSettle",
                  {{2000, Kind::Gone},
                   {3000, Kind::Back},
                   {3500, Kind::Gone},
                   {4000, Kind::Back},
                   {4900, Kind::Back},
                   {5000, Kind::Back}},
                  Trigger::DeviceReplugged,
                  5000},
        WatchCase{"DeviceGoneWhenTheWaitBegan",
                  {{7000, Kind::Back}, {8000, Kind::Tick}},
                  Trigger::DeviceReplugged,
                  8000,
                  false},
        WatchCase{"DeviceThereAllTheTime",
                  {{1000, Kind::Back}, {30000, Kind::Back}, {60000, Kind::Tick}},
                  Trigger::None},
        WatchCase{
            "OutputCutOffByTheDeviceGoing",
            {{15000, Kind::Bytes, "Loader Q9X-"}, {15010, Kind::Gone}, {15020, Kind::Bytes, "SUC"}},
            Trigger::None},
        WatchCase{"StartAskedForEvenWithinTheQuietTime",
                  {{1000, Kind::Start}},
                  Trigger::StartRequested,
                  1000},
        WatchCase{"TheFirstReasonStays",
                  {{1000, Kind::Start}, {15000, Kind::Bytes, StartUp}, {16000, Kind::Gone}},
                  Trigger::StartRequested,
                  1000},
        WatchCase{
            "ANewWaitForgetsTheLast",
            {{12000, Kind::Bytes, StartUp}, {13000, Kind::Begin}, {14000, Kind::Bytes, StartUp}},
            Trigger::None}),
    [](const testing::TestParamInfo<WatchCase>& info) { return std::string(info.param.Name); });

TEST(NextReceiverQuiet, CountsFromTheLastOutputAndNamesTheSettleDeadline)
{
    const NextReceiverWatch::Clock::time_point t0{std::chrono::hours(1)};
    NextReceiverWatch watch;  // the defaults: 10 s quiet, 1 s settle
    watch.Begin(t0, true);
    EXPECT_EQ(watch.QuietFor(t0 + 4s), 4000ms);
    watch.Received(t0 + 5s, Chatter);
    EXPECT_EQ(watch.QuietFor(t0 + 7s), 2000ms);
    EXPECT_EQ(watch.NextDeadline(), std::nullopt);
    watch.DeviceSeen(t0 + 8s, false);
    watch.DeviceSeen(t0 + 9s, true);
    EXPECT_EQ(watch.NextDeadline(), t0 + 10s);
    watch.Tick(t0 + 10s);
    EXPECT_EQ(watch.Ready(), Trigger::DeviceReplugged);
    EXPECT_EQ(watch.NextDeadline(), std::nullopt);
}

}  // namespace
