// Where the panel docks for a settings window frame, and how high it is.
#include <gtest/gtest.h>

#include "../controller/FlowTestSupport.hpp"
#include "kestrum/FloatingDropPanel.hpp"

namespace kestrum {
namespace {

using testsupport::Desktop;

class PanelGeometry : public ::testing::Test {
protected:
    Desktop desktop;
    std::shared_ptr<KestrumController> controller = Desktop::makeController();
    std::shared_ptr<FloatingDropPanel> panel = FloatingDropPanel::create(controller);
    fakes::FakePanelWindow& window = desktop.window();
};

TEST_F(PanelGeometry, CreationMeasuresTheContentAtTheInitialWidthAndShowsNothing) {
    EXPECT_EQ(window.frame(), (Rect{0, 0, 420, 150}));
    EXPECT_EQ(window.measuredWidths, std::vector<double>{420});
    EXPECT_EQ(window.lastHeightLimit, 4096);
    EXPECT_EQ(window.contents.size(), 1u);
    EXPECT_FALSE(window.visible);
    EXPECT_FALSE(panel->isAnimatingLaunch());
}

TEST_F(PanelGeometry, DocksBelowTheWindowFromTheSidebarEdgeHeldInsideTheUsableArea) {
    EXPECT_EQ(panel->targetFrame(Rect{100, 500, 900, 600}), (Rect{330, 350, 670, 150}));
    EXPECT_EQ(window.measuredWidths.back(), 670);
    // Too low: held 12 points above the bottom of the usable area, over the window.
    EXPECT_EQ(panel->targetFrame(Rect{100, 60, 900, 600}), (Rect{330, 12, 670, 150}));
    // Too far right: held 12 points from the right edge.
    EXPECT_EQ(panel->targetFrame(Rect{1000, 300, 900, 500}).x(), 758);
    // Too high: its top stays 12 points below the menu bar.
    EXPECT_EQ(panel->targetFrame(Rect{100, 880, 900, 600}).y(), 875 - 150 - 12);
    // Too far left.
    EXPECT_EQ(panel->targetFrame(Rect{-500, 500, 900, 600}).x(), 12);
}

TEST_F(PanelGeometry, WidthFollowsTheWindowBetweenTheMinimumAndTheUsableArea) {
    EXPECT_EQ(panel->targetFrame(Rect{100, 500, 400, 600}).width(), 240);
    EXPECT_EQ(panel->targetFrame(Rect{0, 500, 1700, 400}).width(), 1416);
    EXPECT_EQ(panel->targetFrame(Rect{0, 500, 1646, 400}).width(), 1416);
    EXPECT_EQ(panel->targetFrame(Rect{0, 500, 1645, 400}).width(), 1415);
}

TEST_F(PanelGeometry, HeightIsTheContentsButAtLeastTheMinimum) {
    window.fittingHeightAt = [](double) { return 60.0; };
    EXPECT_EQ(panel->targetFrame(Rect{100, 500, 900, 600}), (Rect{330, 404, 670, 96}));
    window.fittingHeightAt = [](double width) { return 100000.0 / width; };  // text wraps when narrow
    EXPECT_DOUBLE_EQ(panel->targetFrame(Rect{100, 500, 400, 600}).height(), 100000.0 / 240);
    window.fittingHeightAt = [](double) { return std::nan(""); };
    EXPECT_EQ(panel->targetFrame(Rect{100, 500, 900, 600}).height(), 96);
}

TEST_F(PanelGeometry, UsableAreaIsThatOfTheFirstOverlappingScreen) {
    // A second screen to the right, with a Dock at its bottom.
    desktop.fake.windowServer->addScreen(2, Rect{1440, 0, 1920, 1080}, Rect{1440, 80, 1920, 1000},
                                         Rect{1440, -180, 1920, 1080});
    EXPECT_EQ(panel->targetFrame(Rect{2000, 100, 900, 600}), (Rect{2230, 92, 670, 150}));
    // Spanning both: the first screen in the system's order wins, even with the smaller share.
    EXPECT_EQ(panel->targetFrame(Rect{1400, 500, 900, 600}).x(), 1440 - 670 - 12);
    // On no screen: the window frame itself is the area.
    EXPECT_EQ(panel->targetFrame(Rect{5000, 500, 900, 600}), (Rect{5218, 512, 670, 150}));
    // A window merely touching a screen does not count as on it.
    EXPECT_EQ(panel->targetFrame(Rect{-900, 500, 900, 600}), (Rect{-682, 512, 670, 150}));
}

TEST_F(PanelGeometry, AreaTooSmallForThePanelLetsTheNearEdgesWinAndKeepsAWidth) {
    desktop.fake.windowServer->screenList.clear();
    EXPECT_EQ(panel->targetFrame(Rect{0, 0, 250, 100}), (Rect{12, 12, 226, 150}));
    // Narrower than both insets: the formula would give no width at all.
    EXPECT_EQ(panel->targetFrame(Rect{0, 0, 20, 100}), (Rect{12, 12, 240, 150}));
}

TEST_F(PanelGeometry, LocaleUpdateReRendersAndResizesButDoesNotMove) {
    window.setFrame(Rect{330, 350, 670, 150}, false);
    const auto rendered = window.contents.size();
    panel->updateLocaleIdentifier(std::nullopt);  // the controller's own: nothing to do
    EXPECT_EQ(window.contents.size(), rendered);

    window.fittingHeightAt = [](double) { return 210.0; };
    panel->updateLocaleIdentifier(std::string("ja"));
    EXPECT_EQ(panel->localeIdentifier(), std::optional<std::string>("ja"));
    EXPECT_EQ(window.contents.size(), rendered + 1);
    EXPECT_EQ(window.measuredWidths.back(), 670);
    EXPECT_EQ(window.frame(), (Rect{330, 350, 670, 210}));
}

TEST_F(PanelGeometry, ContentIsRenderedAgainOnceAfterAnnouncedChanges) {
    const auto rendered = window.contents.size();
    controller->setDraggingApp(true);
    controller->registerDroppedApp(URL::fileURL("/Applications/Tazel.app"));
    EXPECT_EQ(window.contents.size(), rendered);  // announced before the store: not yet
    desktop.fake.mainLoop->runPendingTasks();
    EXPECT_EQ(window.contents.size(), rendered + 1);
    controller->setDraggingApp(false);
    panel.reset();
    desktop.fake.mainLoop->runPendingTasks();  // the queued render finds the panel gone
}

TEST_F(PanelGeometry, WithTheControllerGoneClicksAndLocaleChangesStayLocal) {
    controller.reset();
    const auto rendered = window.contents.size();
    panel->updateLocaleIdentifier(std::string("fr"));
    EXPECT_EQ(panel->localeIdentifier(), std::optional<std::string>("fr"));
    EXPECT_EQ(window.contents.size(), rendered);
    panel->panelReceivedMouseDown();
    panel->panelBecameKeyOrMain();
    panel->closeButtonPressed();
    panel->settingsButtonPressed();
    panel->dragStateChanged(true);
    EXPECT_TRUE(desktop.fake.workspace->calls.empty());
    EXPECT_EQ(window.calls, std::vector<std::string>{"content-size"});
}

}  // namespace
}  // namespace kestrum
