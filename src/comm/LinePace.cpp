// SPDX-License-Identifier: MIT
#include "LinePace.h"

#include <algorithm>
#include <cmath>

namespace {

double BitsPerCharacter(const DCB& settings)
{
    const double stop = settings.StopBits == ONE5STOPBITS  ? 1.5
                        : settings.StopBits == TWOSTOPBITS ? 2.0
                                                           : 1.0;
    return 1.0 + settings.ByteSize + (settings.Parity == NOPARITY ? 0.0 : 1.0) + stop;
}

}  // namespace

LinePace::LinePace(const DCB& settings, Clock::time_point now)
    : Rate(std::max(1.0, settings.BaudRate / BitsPerCharacter(settings))), DrainedAt(now)
{
}

void LinePace::Drain(Clock::time_point now)
{
    if (now <= DrainedAt)
        return;
    const double seconds = std::chrono::duration<double>(now - DrainedAt).count();
    Held = std::max(0.0, Held - seconds * Rate);
    DrainedAt = now;
}

size_t LinePace::Room(Clock::time_point now)
{
    Drain(now);
    return static_cast<size_t>(std::floor(static_cast<double>(QueueLimit) - Held));
}

size_t LinePace::Queued(Clock::time_point now)
{
    Drain(now);
    return static_cast<size_t>(std::ceil(Held));
}

void LinePace::Add(size_t count, Clock::time_point now)
{
    Drain(now);
    Held += static_cast<double>(count);
}

LinePace::Clock::duration LinePace::UntilRoomFor(size_t count, Clock::time_point now)
{
    Drain(now);
    const double excess =
        Held + static_cast<double>(std::min(count, QueueLimit)) - static_cast<double>(QueueLimit);
    if (excess <= 0)
        return Clock::duration::zero();
    return std::chrono::ceil<Clock::duration>(std::chrono::duration<double>(excess / Rate));
}
