// SPDX-License-Identifier: MIT
#include "NextReceiverWatch.h"

#include "SystemTexts.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr const char* StartUpMarkers[] = {Texts::MarkerStartUpControl, Texts::MarkerStartMenu};

size_t LongestMarker()
{
    size_t longest = 0;
    for (const char* marker : StartUpMarkers)
        longest = std::max(longest, std::strlen(marker));
    return longest;
}

}  // namespace

NextReceiverWatch::NextReceiverWatch(std::chrono::milliseconds quiet,
                                     std::chrono::milliseconds settle)
    : Quiet(quiet), Settle(settle)
{
}

void NextReceiverWatch::Begin(Clock::time_point now, bool devicePresent)
{
    Fired = Trigger::None;
    LastOutput = now;
    Unasked = false;
    Seen.clear();
    DeviceWasGone = !devicePresent;
    BackSince.reset();
}

void NextReceiverWatch::Received(Clock::time_point at, std::string_view bytes)
{
    if (Fired != Trigger::None || bytes.empty())
        return;
    if (at - LastOutput >= Quiet) {
        Unasked = true;
        Seen.clear();
    }
    LastOutput = at;
    if (!Unasked)
        return;
    Seen.append(bytes);
    for (const char* marker : StartUpMarkers) {
        if (Seen.find(marker) != std::string::npos) {
            Fired = Trigger::StartUpOutput;
            return;
        }
    }
    const size_t keep = LongestMarker() - 1;
    if (Seen.size() > keep)
        Seen.erase(0, Seen.size() - keep);
}

void NextReceiverWatch::DeviceSeen(Clock::time_point at, bool present)
{
    if (Fired != Trigger::None)
        return;
    if (!present) {
        DeviceWasGone = true;
        BackSince.reset();
        Unasked = false;  // output cut off by the device going is no receiver's start-up
        Seen.clear();
        return;
    }
    if (DeviceWasGone && !BackSince)
        BackSince = at;
    Tick(at);
}

void NextReceiverWatch::StartRequested(Clock::time_point /*at*/)
{
    if (Fired == Trigger::None)
        Fired = Trigger::StartRequested;
}

void NextReceiverWatch::Tick(Clock::time_point now)
{
    if (Fired == Trigger::None && BackSince && now - *BackSince >= Settle)
        Fired = Trigger::DeviceReplugged;
}

std::chrono::milliseconds NextReceiverWatch::QuietFor(Clock::time_point now) const
{
    if (now <= LastOutput)
        return std::chrono::milliseconds(0);
    return std::chrono::duration_cast<std::chrono::milliseconds>(now - LastOutput);
}

std::optional<NextReceiverWatch::Clock::time_point> NextReceiverWatch::NextDeadline() const
{
    if (Fired != Trigger::None || !BackSince)
        return std::nullopt;
    return *BackSince + Settle;
}

const char* TriggerName(NextReceiverWatch::Trigger trigger)
{
    switch (trigger) {
    case NextReceiverWatch::Trigger::None: return "none";
    case NextReceiverWatch::Trigger::StartUpOutput: return "start-up output";
    case NextReceiverWatch::Trigger::DeviceReplugged: return "device plugged in again";
    case NextReceiverWatch::Trigger::StartRequested: return "start asked for";
    }
    return "none";
}
