// SPDX-License-Identifier: MIT
// Where a help window goes beside the program's window: never off the screen, and never over
// the owner when there is room beside, below or above it (a smaller help window if need be).
// On a screen too small for that it may cover the owner, but not the owner's status bar.
#pragma once

#include <QRect>
#include <QSize>

// `available`: the screen's free area; `owner`: the owner's frame; `keep`: the part of the
// owner that must stay visible in any case (its status bar); `preferred`: the help window's
// size. Returns the help window's frame.
QRect PlaceHelpWindow(const QRect& available, const QRect& owner, const QRect& keep,
                      const QSize& preferred);
