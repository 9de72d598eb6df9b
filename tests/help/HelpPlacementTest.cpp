// SPDX-License-Identifier: MIT
// Where the help window goes beside the program's window, on screens from large to tiny.
#include "HelpPlacement.h"

#include <gtest/gtest.h>

namespace {

TEST(HelpPlacementTest, OnScreenBesideTheOwnerAndNeverOverItsStatusBar)
{
    const QSize preferred(860, 632);
    const struct {
        const char* Name;
        QRect Screen;
        QRect Owner;
        bool OwnerFree;  // the owner stays wholly visible
        bool WholeSize;  // the help keeps its preferred size
    } cases[] = {
        {"large screen: to the right", {0, 0, 1920, 1080}, {453, 219, 511, 170}, true, true},
        {"owner at the right edge: to the left",
         {0, 0, 1920, 1080},
         {1400, 100, 511, 170},
         true,
         true},
        {"1366 x 768: below, shorter", {0, 0, 1366, 768}, {453, 219, 511, 170}, true, false},
        {"1024 x 640: to the left, narrower", {0, 0, 1024, 640}, {453, 219, 511, 170}, true, false},
        {"panel at the top", {0, 40, 1366, 728}, {453, 219, 511, 170}, true, false},
        {"640 x 480: over the owner", {0, 0, 640, 480}, {50, 150, 511, 170}, false, false},
        {"owner partly off the screen: to the left",
         {0, 0, 1366, 768},
         {1200, 600, 511, 170},
         true,
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const QRect statusBar(c.Owner.left(), c.Owner.bottom() - 21, c.Owner.width(), 22);
        const QRect frame = PlaceHelpWindow(c.Screen, c.Owner, statusBar, preferred);
        EXPECT_TRUE(c.Screen.contains(frame))
            << frame.x() << "," << frame.y() << " " << frame.width() << "x" << frame.height();
        EXPECT_FALSE(frame.intersects(statusBar));
        EXPECT_EQ(!frame.intersects(c.Owner), c.OwnerFree);
        EXPECT_EQ(frame.size() == preferred, c.WholeSize);
        EXPECT_GE(frame.width(), 300);
        EXPECT_GE(frame.height(), 200);
    }
}

}  // namespace
