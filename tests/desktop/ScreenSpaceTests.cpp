#include <gtest/gtest.h>

#include "kestrum/desktop/ScreenSpace.hpp"

namespace kestrum::desktop {
namespace {

TEST(ScreenSpace, FlipsFramesAgainstThePrimaryScreen) {
    const Rect primary{0, 0, 1440, 900};
    // A panel 150 high whose bottom is 350 above the screen's bottom has its top 400 below the
    // screen's top.
    EXPECT_EQ(qtRectFromBottomLeft(Rect{330, 350, 670, 150}, primary), (Rect{330, 400, 670, 150}));
    EXPECT_EQ(bottomLeftFromQtRect(Rect{330, 400, 670, 150}, primary), (Rect{330, 350, 670, 150}));
    // Below the primary screen (a second screen under it) y becomes negative.
    EXPECT_EQ(bottomLeftFromQtRect(Rect{0, 950, 100, 50}, primary), (Rect{0, -100, 100, 50}));
}

TEST(ScreenSpace, HonoursAPrimaryScreenAwayFromTheVirtualOrigin) {
    const Rect primary{1920, 200, 1440, 900};
    const Rect frame{10, 20, 300, 100};
    const Rect qt = qtRectFromBottomLeft(frame, primary);
    EXPECT_EQ(qt, (Rect{1930, 980, 300, 100}));
    EXPECT_EQ(bottomLeftFromQtRect(qt, primary), frame);
    EXPECT_EQ(bottomLeftFromQtPoint(Point{1920, 1100}, primary), (Point{0, 0}));
    EXPECT_EQ(bottomLeftFromQtPoint(Point{2420, 800}, primary), (Point{500, 300}));
}

}  // namespace
}  // namespace kestrum::desktop
