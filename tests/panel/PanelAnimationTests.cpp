// The launch animation: its start rectangle, the arc, the spring easing driven by the virtual
// clock, and how snap, show and a second present interact with a running launch.
#include <gtest/gtest.h>

#include <limits>

#include "../controller/FlowTestSupport.hpp"
#include "kestrum/FloatingDropPanel.hpp"

namespace kestrum {
namespace {

using testsupport::Desktop;

constexpr Rect kSettingsFrame{100, 500, 900, 600};
constexpr Rect kDocked{330, 350, 670, 150};
constexpr Rect kPointer{484, 284, 32, 32};

class PanelAnimation : public ::testing::Test {
protected:
    Desktop desktop;
    std::shared_ptr<KestrumController> controller = Desktop::makeController();
    std::shared_ptr<FloatingDropPanel> panel = FloatingDropPanel::create(controller);
    fakes::FakePanelWindow& window = desktop.window();
    fakes::FakeMainLoop& loop = *desktop.fake.mainLoop;

    std::shared_ptr<fakes::FakeTimer> launchTimer() const {
        const auto timers = desktop.fake.mainLoop->activeTimers();
        return timers.empty() ? nullptr : timers.back();
    }
    // A tick that comes late: the clock jumps, then the timer fires once.
    void tickAt(double time) {
        loop.setTime(time);
        if (auto timer = launchTimer()) loop.fire(timer);
    }
};

TEST(PanelCurve, ArcsAboveBothCentresAndMeetsItsEnds) {
    const Rect from{384, 242, 232, 116};
    const Rect to{466, 610, 668, 180};
    EXPECT_TRUE(rectNear(FloatingDropPanel::curvedFrame(from, to, 0.5), Rect{425, 571, 450, 148}));
    EXPECT_TRUE(rectNear(FloatingDropPanel::curvedFrame(from, to, 0), from));
    EXPECT_TRUE(rectNear(FloatingDropPanel::curvedFrame(from, to, 1), to));

    // The lift is 18% of the distance, but 44 at least and 140 at most; at p = 0.5 the centre is
    // half the lift above two centres of equal height.
    const Rect a{0, 0, 10, 10};
    EXPECT_DOUBLE_EQ(FloatingDropPanel::curvedFrame(a, Rect{100, 0, 10, 10}, 0.5).midY(), 5 + 22);
    EXPECT_DOUBLE_EQ(FloatingDropPanel::curvedFrame(a, Rect{500, 0, 10, 10}, 0.5).midY(), 5 + 45);
    EXPECT_DOUBLE_EQ(FloatingDropPanel::curvedFrame(a, Rect{1000, 0, 10, 10}, 0.5).midY(), 5 + 70);
}

TEST(PanelSpring, ProgressFollowsACriticallyDampedSpring) {
    EXPECT_EQ(FloatingDropPanel::launchProgress(0), 0);
    EXPECT_EQ(FloatingDropPanel::launchProgress(-1), 0);
    EXPECT_NEAR(FloatingDropPanel::launchProgress(0.1), 0.218, 5e-4);
    EXPECT_NEAR(FloatingDropPanel::launchProgress(0.2), 0.521, 5e-4);
    EXPECT_NEAR(FloatingDropPanel::launchProgress(0.5), 0.932, 5e-4);
    EXPECT_NEAR(FloatingDropPanel::launchProgress(0.72), 0.986, 5e-4);
    EXPECT_EQ(FloatingDropPanel::launchProgress(1e6), 1);
}

TEST(PanelContentScale, ContentTooTallForTheFrameIsDrawnSmallerAndNeverCut) {
    const struct {
        Size frame;
        double fittingHeight;
        double scale;
    } cases[] = {
        {{670, 150}, 150, 1},                         // docked: exactly as tall as needed
        {{670, 200}, 150, 1},                         // more room than needed
        {{243.6, 78.9}, 157.8, 0.5},                  // the launch's start: half the height it needs
        {{420, 0}, 136, 1},                           // no height at all: nothing to draw
        {{420, 96}, std::numeric_limits<double>::quiet_NaN(), 1},  // failed measurement
    };
    for (const auto& c : cases) EXPECT_DOUBLE_EQ(FloatingDropPanel::contentScale(c.frame, c.fittingHeight), c.scale);
}

TEST_F(PanelAnimation, LaunchStartsAroundTheSourceAtLeastAtTheMinimumScaleOfThePanel) {
    window.setFrame(Rect{0, 0, 400, 200}, false);
    loop.setTime(10);
    panel->present(kPointer, kSettingsFrame);
    EXPECT_TRUE(rectNear(panel->launchFromFrame(), Rect{384, 242, 232, 116}));
    EXPECT_EQ(panel->launchToFrame(), kDocked);
    EXPECT_EQ(panel->launchStartTime(), 10);
    EXPECT_TRUE(panel->isAnimatingLaunch());
    EXPECT_EQ(window.frame(), panel->launchFromFrame());
    EXPECT_DOUBLE_EQ(window.alpha, 0.9);
    EXPECT_TRUE(window.visible);
    EXPECT_EQ(window.calls.back(), "display-frame");  // the first step ran at once

    const auto timer = launchTimer();
    ASSERT_NE(timer, nullptr);
    EXPECT_DOUBLE_EQ(timer->interval(), 1.0 / 60);
    EXPECT_TRUE(timer->repeats());
    EXPECT_EQ(timer->mode(), RunLoopMode::common);

    // A big source keeps its own size.
    panel->present(Rect{400, 200, 300, 150}, kSettingsFrame);
    EXPECT_EQ(panel->launchFromFrame(), (Rect{400, 200, 300, 150}));
    EXPECT_EQ(loop.activeTimers().size(), 1u);  // the earlier launch's timer is gone
}

TEST_F(PanelAnimation, FramesComeFromTheClockAndTheLaunchEndsExactlyOnItsDestination) {
    panel->present(kPointer, kSettingsFrame);
    const Rect from = panel->launchFromFrame();

    tickAt(0.1);
    const double p = FloatingDropPanel::launchProgress(0.1);
    EXPECT_DOUBLE_EQ(window.alpha, 0.9 + 0.1 * p);
    EXPECT_TRUE(rectNear(window.frame(), FloatingDropPanel::curvedFrame(from, kDocked, p)));

    tickAt(0.5);
    EXPECT_NEAR(window.alpha, 0.9932, 1e-4);

    // One very late tick finishes the launch: no ticks are counted, only the time.
    const auto timer = launchTimer();
    tickAt(3.0);
    EXPECT_EQ(window.frame(), kDocked);
    EXPECT_EQ(window.alpha, 1.0);
    EXPECT_EQ(window.calls.back(), "display-frame");
    EXPECT_FALSE(panel->isAnimatingLaunch());
    EXPECT_FALSE(timer->isValid());
    EXPECT_EQ(timer->fireCount(), 3);
}

TEST_F(PanelAnimation, LaunchEndsAtTheDurationWhenTicksComeOnTime) {
    panel->present(kPointer, kSettingsFrame);
    loop.advance(0.71);
    EXPECT_TRUE(panel->isAnimatingLaunch());
    EXPECT_NE(window.frame(), kDocked);
    loop.advance(0.03);
    EXPECT_FALSE(panel->isAnimatingLaunch());
    EXPECT_EQ(window.frame(), kDocked);
    EXPECT_TRUE(loop.activeTimers().empty());
}

TEST_F(PanelAnimation, EmptySourceGoesStraightToTheDockedFrame) {
    window.setAlphaValue(0.5);
    panel->present(Rect{484, 284, 0, 32}, kSettingsFrame);
    EXPECT_EQ(window.frame(), kDocked);
    EXPECT_EQ(window.alpha, 1.0);
    EXPECT_EQ(window.calls.end()[-2], "frame");
    EXPECT_EQ(window.calls.back(), "front");
    EXPECT_FALSE(panel->isAnimatingLaunch());
    EXPECT_TRUE(loop.activeTimers().empty());
}

TEST_F(PanelAnimation, SnapDuringALaunchOnlyMovesItsDestination) {
    panel->present(kPointer, kSettingsFrame);
    tickAt(0.2);
    const double alphaBefore = window.alpha;
    const Rect frameBefore = window.frame();
    panel->snap(Rect{100, 60, 900, 600});
    EXPECT_EQ(window.frame(), frameBefore);
    EXPECT_EQ(panel->launchToFrame(), (Rect{330, 12, 670, 150}));
    tickAt(0.3);
    EXPECT_GT(window.alpha, alphaBefore);
    tickAt(0.8);
    EXPECT_EQ(window.frame(), (Rect{330, 12, 670, 150}));

    // At rest a snap moves at once.
    panel->snap(kSettingsFrame);
    EXPECT_EQ(window.frame(), kDocked);
    EXPECT_EQ(window.calls.end()[-2], "frame");
}

TEST_F(PanelAnimation, ShowStopsALaunchAtTheSourceAndANewLaunchStartsFromTheSmallerFrame) {
    panel->present(kPointer, kSettingsFrame);
    tickAt(0.2);
    panel->show(kPointer);
    EXPECT_FALSE(panel->isAnimatingLaunch());
    EXPECT_TRUE(loop.activeTimers().empty());
    EXPECT_EQ(window.alpha, 1.0);
    // Resized to the content at the width it had mid-flight, then 0.58 of that around the source.
    const double width = window.measuredWidths.back() * 0.58;
    EXPECT_TRUE(rectNear(window.frame(), Rect{500 - width / 2, 300 - 43.5, width, 87}));

    const Rect shown = window.frame();
    panel->present(kPointer, kSettingsFrame);
    EXPECT_TRUE(rectNear(panel->launchFromFrame(),
                         Rect{500 - shown.width() * 0.29, 300 - shown.height() * 0.29, shown.width() * 0.58,
                              shown.height() * 0.58}));
}

TEST_F(PanelAnimation, TickQueuedBeforeTheLaunchStoppedDoesNotMoveThePanel) {
    panel->present(kPointer, kSettingsFrame);
    // The show runs first, then the step that the tick queued behind it.
    loop.post([this] { panel->show(Rect{0, 0, 32, 32}); });
    loop.advance(1.0 / 60);
    EXPECT_FALSE(panel->isAnimatingLaunch());
    // 0.58 of the launch's start rectangle, which was 0.58 of the created panel.
    const double width = 420 * 0.58 * 0.58;
    EXPECT_TRUE(rectNear(window.frame(), Rect{16 - width / 2, 16 - 43.5, width, 87}));
}

TEST_F(PanelAnimation, TickAfterThePanelIsGoneDoesNothing) {
    panel->present(kPointer, kSettingsFrame);
    const auto timer = launchTimer();
    loop.post([this] {
        panel.reset();
        controller.reset();
    });
    loop.advance(1.0 / 60);
    EXPECT_EQ(panel, nullptr);
    EXPECT_FALSE(timer->isValid());
    EXPECT_EQ(timer->fireCount(), 1);
    loop.advance(1.0);
    EXPECT_TRUE(loop.activeTimers().empty());
}

}  // namespace
}  // namespace kestrum
