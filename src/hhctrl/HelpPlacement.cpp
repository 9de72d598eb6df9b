// SPDX-License-Identifier: MIT
#include "HelpPlacement.h"

#include <algorithm>

namespace {

constexpr int Gap = 8;
// Smaller than this a help page is hard to read: better to overlap the owner.
constexpr QSize Smallest(420, 300);

// The largest frame up to `preferred` inside `area`, at its corner nearest to the owner.
QRect FitInto(const QRect& area, const QSize& preferred, bool alignRight, bool alignBottom)
{
    const QSize size(std::min(preferred.width(), area.width()),
                     std::min(preferred.height(), area.height()));
    const int x = alignRight ? area.right() - size.width() + 1 : area.left();
    const int y = alignBottom ? area.bottom() - size.height() + 1 : area.top();
    return {QPoint(x, y), size};
}

bool Fits(const QRect& frame)
{
    return frame.width() >= Smallest.width() && frame.height() >= Smallest.height();
}

long long Area(const QRect& frame)
{
    return static_cast<long long>(frame.width()) * frame.height();
}

}  // namespace

QRect PlaceHelpWindow(const QRect& available, const QRect& owner, const QRect& keep,
                      const QSize& preferred)
{
    if (!available.isValid())
        return {owner.topRight() + QPoint(Gap, 0), preferred};
    // The free bands around the owner, top aligned with it where the band is beside it.
    const int top = std::clamp(owner.top(), available.top(), available.bottom());
    const QRect right(QPoint(owner.right() + 1 + Gap, available.top()), available.bottomRight());
    const QRect left(available.topLeft(), QPoint(owner.left() - 1 - Gap, available.bottom()));
    const QRect below(QPoint(available.left(), owner.bottom() + 1 + Gap), available.bottomRight());
    const QRect above(available.topLeft(), QPoint(available.right(), owner.top() - 1 - Gap));
    const auto besides = [&](const QRect& band, bool alignRight) {
        if (!band.isValid())
            return QRect();
        QRect frame = FitInto(band, preferred, alignRight, false);
        // Level with the owner's top where the band allows.
        frame.moveTop(std::clamp(top, band.top(), band.bottom() - frame.height() + 1));
        return frame;
    };
    const auto over = [&](const QRect& band, bool alignBottom) {
        if (!band.isValid())
            return QRect();
        QRect frame = FitInto(band, preferred, false, alignBottom);
        // Centred on the owner where the band allows.
        const int x = owner.center().x() - frame.width() / 2;
        frame.moveLeft(std::clamp(x, band.left(), band.right() - frame.width() + 1));
        return frame;
    };
    const QRect candidates[] = {besides(right, false), besides(left, true), over(below, false),
                                over(above, true)};
    // The first that takes the whole preferred size; else the largest readable one.
    QRect best;
    for (const QRect& frame : candidates) {
        if (frame.size() == preferred)
            return frame;
        if (Fits(frame) && Area(frame) > Area(best))
            best = frame;
    }
    if (best.isValid())
        return best;
    // No room beside the owner: over it, but above the part that must stay visible, or below
    // it if there is more room there.
    const QRect overAbove(available.topLeft(), QPoint(available.right(), keep.top() - 1 - Gap));
    const QRect overBelow(QPoint(available.left(), keep.bottom() + 1 + Gap),
                          available.bottomRight());
    const QRect band = overAbove.height() >= overBelow.height() ? overAbove : overBelow;
    if (band.height() > 0) {
        QRect frame = FitInto(band, preferred, false, band == overAbove);
        const int rightmost = std::max(available.left(), available.right() - frame.width() + 1);
        frame.moveLeft(
            std::clamp(owner.center().x() - frame.width() / 2, available.left(), rightmost));
        return frame;
    }
    return FitInto(available, preferred, false, false);
}
