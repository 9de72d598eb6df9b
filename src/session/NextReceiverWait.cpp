// SPDX-License-Identifier: MIT
#include "NextReceiverWait.h"

#include "NetAddress.h"
#include "PortErrors.h"
#include "PortProblem.h"
#include "comm_port.h"

#include <string_view>

namespace {

using Clock = NextReceiverWatch::Clock;
using std::chrono::milliseconds;

// How often the device's presence is looked at (a port-map look-up each time).
constexpr milliseconds LookInterval{500};
// How soon a port that could not be opened, or whose line failed, is tried again.
constexpr milliseconds ReopenInterval{1000};
// After the trigger: the line counts as settled after this long without a byte, and what
// keeps coming is read away for at most the limit.
constexpr milliseconds DrainQuiet{300};
constexpr milliseconds DrainLimit{3000};

bool LeadsToNetwork(const PortSpec& port)
{
    if (port.Type() == PortSpec::Kind::Network)
        return true;
    const PortResolution resolution = port.Resolve();
    return resolution.Device && LooksLikeNetAddress(*resolution.Device);
}

}  // namespace

bool ReadAwayPending(TCommPort& port, milliseconds quiet, milliseconds limit,
                     const std::function<bool()>& stop)
{
    const auto until = Clock::now() + limit;
    auto lastByte = Clock::now();
    uint8_t buffer[64];
    while (Clock::now() < until && Clock::now() - lastByte < quiet && !(stop && stop())) {
        try {
            if (port.ReadBytes(buffer, sizeof buffer) > 0)
                lastByte = Clock::now();
        } catch (const ECommError&) {
            return false;
        }
    }
    return true;
}

NextReceiverWait::NextReceiverWait(const PortSpec& port, milliseconds quiet, Control control)
    : Port(port), Quiet(quiet), Ask(std::move(control)), Remote(LeadsToNetwork(port))
{
}

NextReceiverWait::~NextReceiverWait()
{
    ClosePort();
}

bool NextReceiverWait::OpenPort()
{
    auto line = std::make_unique<TCommPort>();
    if (OpenReceiverPort(*line, Port))
        return false;  // said by the run that follows, if the port stays unusable
    Line = std::move(line);
    return true;
}

void NextReceiverWait::ClosePort()
{
    if (!Line)
        return;
    // A failed close still releases the descriptor; the second close only counts it closed.
    if (ClosePortAfterRun(Line.get(), false))
        ClosePortAfterRun(Line.get(), false);
    TCommPort* port = Line.release();
    try {
        delete port;
    } catch (const ECommError&) {
    }
}

bool NextReceiverWait::ReadInto(NextReceiverWatch& watch)
{
    uint8_t buffer[64];
    try {
        const uint32_t count = Line->ReadBytes(buffer, sizeof buffer);
        watch.Received(Clock::now(),
                       std::string_view(reinterpret_cast<const char*>(buffer), count));
        return true;
    } catch (const ECommError&) {
        ClosePort();  // the device went, or the connection: never held while it is away
        return false;
    }
}

NextReceiverWatch::Trigger NextReceiverWait::Run()
{
    NextReceiverWatch watch(Quiet);
    bool present = Remote || Port.Present();
    watch.Begin(Clock::now(), present);
    // Once the device went, the port stays closed: the one plugged in next is opened by the run.
    bool wentAway = !present;
    auto nextLook = Clock::now() + LookInterval;
    auto nextOpen = Clock::now();
    while (!Ask.Ended()) {
        const auto now = Clock::now();
        if (Ask.TakeStartRequest())
            watch.StartRequested(now);
        if (!Remote && now >= nextLook) {
            nextLook = now + LookInterval;
            present = Port.Present();
            watch.DeviceSeen(now, present);
            if (!present) {
                wentAway = true;
                ClosePort();
            }
        }
        watch.Tick(now);
        if (watch.Ready() != NextReceiverWatch::Trigger::None) {
            if (Line && !ReadAwayPending(*Line, DrainQuiet, DrainLimit, Ask.Ended))
                ClosePort();
            return watch.Ready();
        }
        if (!Line && present && !wentAway && now >= nextOpen && !OpenPort())
            nextOpen = now + ReopenInterval;
        if (Line) {
            if (!ReadInto(watch))
                nextOpen = Clock::now() + ReopenInterval;
        } else {
            Ask.Rest(std::min(LookInterval, ReopenInterval));
        }
    }
    ClosePort();
    return NextReceiverWatch::Trigger::None;
}

std::unique_ptr<TCommPort> NextReceiverWait::TakePort()
{
    return std::move(Line);
}
