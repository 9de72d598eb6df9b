// SPDX-License-Identifier: MIT
#include "RunEstimate.h"

#include "FirmThread.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace RunEstimate {

namespace {

constexpr double Ms = 0.001;
constexpr double PerFileMs =
    TFirmThread::PauseBeforeLoad + TFirmThread::PauseBeforeFile + TFirmThread::PauseAfterSaved;
constexpr double EndMs = TFirmThread::PauseAllSent + TFirmThread::PauseAllSentMore +
                         TFirmThread::PauseBeforeStart + TFirmThread::PauseAfterStart;

}  // namespace

double FixedPausesSeconds(size_t files)
{
    if (files == 0)
        return 0;
    return Ms * (files * PerFileMs + (files - 1) * TFirmThread::PauseBeforeNextFile + EndMs);
}

double PausesLeftSeconds(size_t laterFiles)
{
    return Ms * (TFirmThread::PauseAfterSaved +
                 laterFiles * (TFirmThread::PauseBeforeNextFile + PerFileMs) + EndMs);
}

double RunSeconds(const std::vector<int64_t>& sizes)
{
    int64_t bytes = 0;
    for (int64_t size : sizes)
        bytes += std::max<int64_t>(size, 0);
    return bytes / LineBytesPerSecond + FixedPausesSeconds(sizes.size());
}

}  // namespace RunEstimate

void SendRate::Begin(double seconds)
{
    Began = seconds;
    Bytes = 0;
    Window.assign(1, {seconds, 0});
}

void SendRate::SampleWritten(double seconds, int64_t written, int64_t queued)
{
    const double lineCarried = std::max(seconds - Began, 0.0) * LineRate;
    const int64_t handedOn = std::max<int64_t>(written - queued, 0);
    Sample(seconds, std::min<int64_t>(handedOn, std::llround(lineCarried)));
}

void SendRate::Sample(double seconds, int64_t bytes)
{
    Bytes = bytes;
    Window.emplace_back(seconds, bytes);
    // Keep the oldest sample that still covers the window.
    while (Window.size() > 2 && seconds - Window[1].first >= WindowSeconds)
        Window.pop_front();
}

double SendRate::BytesPerSecond() const
{
    if (Window.size() < 2)
        return LineRate;
    const double span = Window.back().first - Window.front().first;
    if (span < 0.1)
        return LineRate;
    const double seen = (Window.back().second - Window.front().second) / span;
    return std::clamp(seen, 0.0, LineRate);
}

double SendRate::FileSecondsLeft(int64_t size) const
{
    const int64_t left = std::max<int64_t>(size - Bytes, 0);
    const double rate = BytesPerSecond();
    if (left == 0)
        return 0;
    return rate > 0 ? left / rate : std::numeric_limits<double>::infinity();
}

double SendRate::RunSecondsLeft(int64_t size, int64_t laterBytes, size_t laterFiles) const
{
    const double rate = BytesPerSecond();
    const double later = laterBytes <= 0 ? 0.0
                         : rate > 0      ? laterBytes / rate
                                         : std::numeric_limits<double>::infinity();
    return FileSecondsLeft(size) + later + RunEstimate::PausesLeftSeconds(laterFiles);
}
