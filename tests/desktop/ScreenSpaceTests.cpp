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

namespace kestrum::desktop {
namespace {

TEST(ScreenSpace, DevicePixelsBecomeLogicalOnTheScreenThatHoldsMostOfTheRectangle) {
    // Qt keeps a scaled screen's origin and scales what lies on it about that origin.
    const std::vector<ScreenScale> screens{{Rect{0, 0, 1440, 900}, 2}, {Rect{2880, 0, 1920, 1080}, 1}};
    const struct {
        Rect device;
        Rect logical;
    } cases[] = {
        {Rect{200, 100, 1800, 1200}, Rect{100, 50, 900, 600}},        // on the doubled screen
        {Rect{3000, 100, 800, 600}, Rect{3000, 100, 800, 600}},       // on the unscaled one
        {Rect{2680, 100, 800, 600}, Rect{2680, 100, 800, 600}},       // mostly on the unscaled one
        {Rect{-500, -500, 100, 100}, Rect{-250, -250, 50, 50}},       // on none: the first screen's scale
    };
    for (const auto& c : cases) EXPECT_EQ(logicalFromDevice(c.device, screens), c.logical);
    EXPECT_EQ(logicalFromDevice(Rect{1, 2, 3, 4}, {}), (Rect{1, 2, 3, 4}));
}

}  // namespace
}  // namespace kestrum::desktop
