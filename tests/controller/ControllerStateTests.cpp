// Construction, observable state and the frontmost-application state of the controller.
#include <gtest/gtest.h>

#include "FlowTestSupport.hpp"
#include "kestrum/FloatingDropPanel.hpp"

namespace kestrum {
namespace {

using testsupport::appURL;
using testsupport::Desktop;

class ControllerState : public ::testing::Test {
protected:
    Desktop desktop;
};

TEST_F(ControllerState, ConstructionSeedsFromRequiredApplicationsOnlyAndDoesNothingElse) {
    int drops = 0;
    auto controller = Desktop::makeController(
        {appURL("/Applications/Tazel.app"), appURL("/tmp/notes.txt"), appURL("/Applications/Other.APP"),
         appURL("/Applications/./Tazel.app"), appURL("/Applications/Folder")},
        "de");
    controller->onDrop = [&](const URL&) { ++drops; };

    EXPECT_EQ(controller->droppedApps(),
              (std::vector<URL>{appURL("/Applications/Tazel.app"), appURL("/Applications/Other.APP")}));
    EXPECT_EQ(controller->localeIdentifier(), std::optional<std::string>("de"));
    EXPECT_FALSE(controller->currentPane());
    EXPECT_FALSE(controller->isDraggingApp());
    EXPECT_EQ(controller->panel(), nullptr);
    EXPECT_EQ(KestrumController::activeController(), nullptr);
    EXPECT_TRUE(desktop.fake.workspace->calls.empty());
    EXPECT_TRUE(desktop.fake.panelWindows->made.empty());
    EXPECT_TRUE(desktop.fake.mainLoop->activeTimers().empty());  // no tracking yet
    EXPECT_EQ(drops, 0);

    auto plain = Kestrum::makeController(KestrumConfiguration({}, true, std::nullopt));
    EXPECT_TRUE(plain->droppedApps().empty());
    EXPECT_FALSE(plain->localeIdentifier());
    EXPECT_TRUE(plain->configuration().promptForAccessibilityTrust);
}

TEST_F(ControllerState, SettingsFrontmostFollowsActivationsAndAnnouncesEveryOne) {
    desktop.fake.workspace->frontmost = testsupport::kSettingsApp;
    auto controller = Desktop::makeController();
    EXPECT_TRUE(controller->isSettingsFrontmost());

    int announcements = 0;
    auto subscription = controller->observeObjectWillChange([&] { ++announcements; });
    desktop.fake.workspace->bringToFront(testsupport::kHostApp);
    EXPECT_FALSE(controller->isSettingsFrontmost());
    desktop.fake.workspace->notifyActivation();  // same application again
    EXPECT_EQ(announcements, 2);

    // An application without a bundle identifier, then none at all.
    desktop.fake.workspace->bringToFront(RunningApplication{77, std::nullopt, ActivationPolicy::regular});
    EXPECT_FALSE(controller->isSettingsFrontmost());
    desktop.fake.workspace->frontmost.reset();
    desktop.fake.workspace->notifyActivation();
    EXPECT_FALSE(controller->isSettingsFrontmost());
}

TEST_F(ControllerState, ReleasedControllerStopsObservingActivations) {
    auto controller = Desktop::makeController();
    EXPECT_EQ(desktop.fake.workspace->observerCount(), 1u);
    std::weak_ptr<KestrumController> weak = controller;
    controller.reset();
    EXPECT_TRUE(weak.expired());
    EXPECT_EQ(desktop.fake.workspace->observerCount(), 0u);
    desktop.fake.workspace->bringToFront(testsupport::kSettingsApp);  // reaches nobody
}

TEST_F(ControllerState, StreamsGiveTheCurrentValueThenEachAssignmentBeforeItIsStored) {
    auto controller = Desktop::makeController({appURL("/Applications/Tazel.app")}, "en");
    std::vector<std::size_t> appCounts;
    std::vector<std::optional<std::string>> locales;
    std::vector<std::optional<KestrumPane>> panes;
    std::vector<std::size_t> storedAtDelivery;
    auto apps = controller->subscribeDroppedApps([&](const std::vector<URL>& value) {
        appCounts.push_back(value.size());
        storedAtDelivery.push_back(controller->droppedApps().size());
    });
    auto locale = controller->subscribeLocaleIdentifier([&](const auto& value) { locales.push_back(value); });
    auto pane = controller->subscribeCurrentPane([&](const auto& value) { panes.push_back(value); });

    controller->registerDroppedApp(appURL("/Applications/Second.app"));
    controller->setLocaleIdentifier(std::string("fr"));
    controller->setLocaleIdentifier(std::nullopt);
    controller->resetDroppedApps();

    EXPECT_EQ(appCounts, (std::vector<std::size_t>{1, 2, 1}));
    EXPECT_EQ(storedAtDelivery, (std::vector<std::size_t>{1, 1, 2}));
    EXPECT_EQ(locales, (std::vector<std::optional<std::string>>{"en", "fr", std::nullopt}));
    EXPECT_EQ(panes, (std::vector<std::optional<KestrumPane>>{std::nullopt}));

    apps.cancel();
    controller->registerDroppedApp(appURL("/Applications/Third.app"));
    EXPECT_EQ(appCounts.size(), 3u);
}

TEST_F(ControllerState, AnnouncementComesBeforeTheStoreAndAlsoForAnUnchangedValue) {
    auto controller = Desktop::makeController();
    std::vector<bool> seenWhileAnnouncing;
    auto subscription =
        controller->observeObjectWillChange([&] { seenWhileAnnouncing.push_back(controller->isDraggingApp()); });
    controller->setDraggingApp(false);
    controller->setDraggingApp(true);
    controller->setDraggingApp(true);
    EXPECT_EQ(seenWhileAnnouncing, (std::vector<bool>{false, false, true}));

    seenWhileAnnouncing.clear();
    controller->setLocaleIdentifier(std::nullopt);  // compared first: no assignment
    controller->resetDroppedApps();                 // one assignment even when unchanged
    EXPECT_EQ(seenWhileAnnouncing.size(), 1u);
}

TEST_F(ControllerState, TwoControllersEachHaveTheirOwnStateAndAtMostOneIsActive) {
    desktop.runSettings(Rect{100, 500, 900, 600});
    auto a = Desktop::makeController({appURL("/Applications/A.app")});
    auto b = Desktop::makeController({appURL("/Applications/B.app")});
    a->authorize(KestrumPane::accessibility, {}, std::nullopt);
    EXPECT_EQ(KestrumController::activeController(), a);
    b->authorize(KestrumPane::bluetooth, {}, std::nullopt);
    EXPECT_EQ(KestrumController::activeController(), b);
    EXPECT_EQ(a->currentPane(), KestrumPane::accessibility);
    EXPECT_EQ(b->currentPane(), KestrumPane::bluetooth);
    EXPECT_EQ(a->droppedApps().front(), appURL("/Applications/A.app"));
    EXPECT_EQ(b->droppedApps().front(), appURL("/Applications/B.app"));
}

}  // namespace
}  // namespace kestrum
