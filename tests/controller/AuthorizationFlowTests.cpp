// Whole authorization flows through the fakes on the virtual clock: the real tracker follows a
// fake settings window, the controller docks a real panel over a fake window.
#include <gtest/gtest.h>

#include <algorithm>

#include "FlowTestSupport.hpp"
#include "kestrum/FloatingDropPanel.hpp"
#include "kestrum/SettingsURLs.hpp"

namespace kestrum {
namespace {

using testsupport::appURL;
using testsupport::Desktop;
using testsupport::kHostPID;

constexpr Rect kSettingsFrame{100, 500, 900, 600};
constexpr Rect kDocked{330, 350, 670, 150};
constexpr Rect kPointer{484, 284, 32, 32};
constexpr double kPoll = 1.0 / 30.0;

class AuthorizationFlow : public ::testing::Test {
protected:
    Desktop desktop;
    std::shared_ptr<KestrumController> controller = Desktop::makeController({appURL("/Applications/Tazel.app")});

    fakes::FakeWorkspace& workspace() { return *desktop.fake.workspace; }
    bool hostActivated() const {
        const auto& pids = desktop.fake.workspace->activatedPIDs;
        return std::find(pids.begin(), pids.end(), kHostPID) != pids.end();
    }
    std::size_t pollTimers() const {
        const auto timers = desktop.fake.mainLoop->activeTimers();
        return static_cast<std::size_t>(
            std::count_if(timers.begin(), timers.end(), [](const auto& t) { return t->interval() == kPoll; }));
    }
};

TEST_F(AuthorizationFlow, LaunchesFromThePointerDocksAndThenFollowsTheWindow) {
    desktop.runSettings(kSettingsFrame);
    controller->authorize(KestrumPane::fullDiskAccess, {appURL("/Applications/Helper.app")}, kPointer);

    EXPECT_EQ(workspace().openedURLs, std::vector<URL>{settingsURL(KestrumPane::fullDiskAccess)});
    EXPECT_EQ(controller->currentPane(), KestrumPane::fullDiskAccess);
    EXPECT_EQ(controller->droppedApps().size(), 2u);
    EXPECT_EQ(KestrumController::activeController(), controller);
    ASSERT_NE(controller->panel(), nullptr);
    auto& window = desktop.window();
    // Waiting: shown at the pointer, the source still pending for the first frame.
    EXPECT_TRUE(window.visible);
    EXPECT_TRUE(rectNear(window.frame(), Rect{500 - 121.8, 300 - 43.5, 243.6, 87}));
    EXPECT_EQ(controller->pendingLaunchSourceFrame(), kPointer);

    desktop.fake.mainLoop->runPendingTasks();  // the tracker's first report
    FloatingDropPanel& panel = *controller->panel();
    EXPECT_TRUE(panel.isAnimatingLaunch());
    EXPECT_FALSE(controller->pendingLaunchSourceFrame());
    EXPECT_TRUE(rectNear(panel.launchToFrame(), kDocked));
    EXPECT_DOUBLE_EQ(window.alpha, FloatingDropPanel::initialAlpha);

    desktop.pollFor(0.36);
    EXPECT_TRUE(panel.isAnimatingLaunch());
    EXPECT_GT(window.alpha, 0.95);
    EXPECT_LT(window.alpha, 1.0);
    desktop.pollFor(0.4);
    EXPECT_FALSE(panel.isAnimatingLaunch());
    EXPECT_EQ(window.frame(), kDocked);
    EXPECT_EQ(window.alpha, 1.0);

    desktop.moveSettingsWindow(Rect{100, 60, 900, 600});
    desktop.pollFor(kPoll);
    EXPECT_EQ(window.frame(), (Rect{330, 12, 670, 150}));
    EXPECT_EQ(window.calls.back(), "front");
    EXPECT_EQ(window.calls.end()[-2], "frame");  // an immediate move, no animation
}

TEST_F(AuthorizationFlow, WindowMovedDuringTheLaunchBecomesItsNewDestination) {
    desktop.runSettings(kSettingsFrame);
    controller->authorize(KestrumPane::accessibility, {}, kPointer);
    desktop.pollFor(0.2);
    desktop.moveSettingsWindow(Rect{1000, 300, 900, 500});
    desktop.pollFor(kPoll);
    const FloatingDropPanel& panel = *controller->panel();
    EXPECT_TRUE(panel.isAnimatingLaunch());
    EXPECT_TRUE(rectNear(panel.launchToFrame(), Rect{758, 150, 670, 150}));
    desktop.pollFor(0.6);
    EXPECT_EQ(desktop.window().frame(), panel.launchToFrame());
}

TEST_F(AuthorizationFlow, WithoutSourceAndWindowThePanelIsCentredThenSnapsToTheFirstFrame) {
    controller->authorize(KestrumPane::screenRecording, {}, std::nullopt);
    auto& window = desktop.window();
    EXPECT_EQ(window.calls.end()[-2], "center");
    EXPECT_EQ(window.calls.back(), "front");

    desktop.pollFor(2.0);  // not running yet: tracking goes on
    EXPECT_NE(controller->panel(), nullptr);
    desktop.runSettings(kSettingsFrame);
    desktop.pollFor(kPoll);
    EXPECT_FALSE(controller->panel()->isAnimatingLaunch());
    EXPECT_EQ(window.frame(), kDocked);
}

TEST_F(AuthorizationFlow, SettingsQuittingEndsTheFlowWithoutGivingTheFocusBack) {
    desktop.runSettings(kSettingsFrame);
    controller->authorize(KestrumPane::accessibility, {}, std::nullopt);
    desktop.pollFor(kPoll);
    desktop.quitSettings();
    desktop.pollFor(11.5 * kPoll);  // eleven steps without it
    EXPECT_NE(controller->panel(), nullptr);
    desktop.pollFor(kPoll);
    EXPECT_EQ(controller->panel(), nullptr);
    EXPECT_EQ(KestrumController::activeController(), nullptr);
    EXPECT_EQ(pollTimers(), 0u);
    EXPECT_FALSE(hostActivated());
    EXPECT_EQ(controller->currentPane(), KestrumPane::accessibility);
}

TEST_F(AuthorizationFlow, CloseButtonGivesTheFocusBackToTheRememberedApplication) {
    desktop.runSettings(kSettingsFrame);
    controller->authorize(KestrumPane::accessibility, {}, std::nullopt);
    desktop.pollFor(kPoll);
    desktop.window().delegate->closeButtonPressed();
    EXPECT_EQ(controller->panel(), nullptr);
    EXPECT_EQ(KestrumController::activeController(), nullptr);
    EXPECT_EQ(workspace().activatedPIDs.back(), kHostPID);
    EXPECT_EQ(pollTimers(), 0u);

    // Closing again finds nothing to close and nothing remembered.
    const auto calls = workspace().calls;
    controller->closePanel(true);
    EXPECT_EQ(workspace().calls, calls);
}

TEST_F(AuthorizationFlow, FocusGoesToAnotherInstanceWhenTheRememberedProcessQuit) {
    controller->authorize(KestrumPane::accessibility, {}, std::nullopt);
    std::erase(workspace().running, testsupport::kHostApp);
    workspace().running.push_back(RunningApplication{101, std::string("com.example.tazel"), ActivationPolicy::regular});
    workspace().running.push_back(RunningApplication{102, std::string("com.example.tazel"), ActivationPolicy::regular});
    controller->closePanel(true);
    EXPECT_EQ(workspace().activatedPIDs, std::vector<std::int32_t>{101});

    // Nothing in front at the next authorize: nothing remembered, nothing activated.
    workspace().frontmost.reset();
    controller->authorize(KestrumPane::accessibility, {}, std::nullopt);
    controller->closePanel(true);
    EXPECT_EQ(workspace().activatedPIDs, std::vector<std::int32_t>{101});
}

TEST_F(AuthorizationFlow, SecondAuthorizeKeepsTheFlowAndTheApplicationRememberedBeforeSettings) {
    desktop.runSettings(kSettingsFrame);
    controller->authorize(KestrumPane::accessibility, {}, std::nullopt);
    desktop.pollFor(kPoll);
    FloatingDropPanel* panel = controller->panel();
    workspace().bringToFront(testsupport::kSettingsApp);
    EXPECT_TRUE(controller->isSettingsFrontmost());

    // Docked at once: the tracker still holds the frame when the panel is shown again.
    controller->authorize(KestrumPane::inputMonitoring, {}, kPointer);
    EXPECT_EQ(controller->panel(), panel);
    EXPECT_EQ(desktop.fake.panelWindows->made.size(), 1u);
    EXPECT_TRUE(panel->isAnimatingLaunch());
    EXPECT_FALSE(controller->pendingLaunchSourceFrame());
    EXPECT_EQ(pollTimers(), 1u);
    desktop.pollFor(1.0);
    EXPECT_EQ(desktop.window().frame(), kDocked);

    controller->closePanel(true);
    EXPECT_EQ(workspace().activatedPIDs.back(), kHostPID);
}

TEST_F(AuthorizationFlow, AuthorizeOnAnotherControllerTakesOverWithoutGivingTheFocusBack) {
    desktop.runSettings(kSettingsFrame);
    controller->authorize(KestrumPane::accessibility, {}, std::nullopt);
    desktop.pollFor(kPoll);
    auto other = Desktop::makeController();
    other->authorize(KestrumPane::appManagement, {}, std::nullopt);
    desktop.pollFor(kPoll);
    EXPECT_EQ(controller->panel(), nullptr);
    EXPECT_NE(other->panel(), nullptr);
    EXPECT_EQ(KestrumController::activeController(), other);
    EXPECT_EQ(pollTimers(), 1u);
    EXPECT_FALSE(hostActivated());
    EXPECT_EQ(desktop.window(1).frame(), kDocked);
}

TEST_F(AuthorizationFlow, MicrophoneOpensItsPaneWithoutAPanel) {
    controller->authorize(KestrumPane::microphone, {appURL("/Applications/Recorder.app")}, kPointer);
    EXPECT_EQ(workspace().openedURLs, std::vector<URL>{settingsURL(KestrumPane::microphone)});
    EXPECT_EQ(controller->currentPane(), KestrumPane::microphone);
    EXPECT_EQ(controller->droppedApps().back(), appURL("/Applications/Recorder.app"));
    EXPECT_EQ(controller->pendingLaunchSourceFrame(), kPointer);
    EXPECT_EQ(controller->panel(), nullptr);
    EXPECT_TRUE(desktop.fake.panelWindows->made.empty());
    EXPECT_EQ(KestrumController::activeController(), nullptr);
    EXPECT_EQ(pollTimers(), 0u);
    controller->closePanel(true);  // the frontmost application was remembered all the same
    EXPECT_EQ(workspace().activatedPIDs.back(), kHostPID);
}

TEST_F(AuthorizationFlow, MicrophoneDuringAFlowChangesThePaneWhileThePanelGoesOn) {
    desktop.runSettings(kSettingsFrame);
    controller->authorize(KestrumPane::accessibility, {}, std::nullopt);
    desktop.pollFor(kPoll);
    controller->authorize(KestrumPane::microphone, {}, kPointer);
    EXPECT_EQ(workspace().openedURLs.back(), settingsURL(KestrumPane::microphone));
    EXPECT_NE(controller->panel(), nullptr);
    EXPECT_EQ(KestrumController::activeController(), controller);
    EXPECT_EQ(pollTimers(), 1u);

    // Another controller's microphone request still ends this flow.
    auto other = Desktop::makeController();
    other->authorize(KestrumPane::microphone, {}, std::nullopt);
    EXPECT_EQ(controller->panel(), nullptr);
    EXPECT_EQ(KestrumController::activeController(), nullptr);
}

TEST_F(AuthorizationFlow, ReportsAfterTheFlowOrTheControllerAreGoneDoNothing) {
    desktop.runSettings(kSettingsFrame);
    controller->authorize(KestrumPane::accessibility, {}, kPointer);  // first report queued
    controller->closePanel(false);
    desktop.fake.mainLoop->runPendingTasks();
    EXPECT_EQ(controller->panel(), nullptr);
    EXPECT_EQ(desktop.fake.panelWindows->made.size(), 1u);

    controller->authorize(KestrumPane::accessibility, {}, kPointer);
    controller->closePanel(false);
    std::weak_ptr<KestrumController> weak = controller;
    controller.reset();
    EXPECT_TRUE(weak.expired());
    desktop.fake.mainLoop->runPendingTasks();
    EXPECT_EQ(desktop.fake.panelWindows->made.size(), 2u);
}

TEST_F(AuthorizationFlow, DraggingTheCardTurnsThePanelTranslucentBehindAndClickThrough) {
    controller->setDraggingApp(true);  // no panel: only the state
    EXPECT_TRUE(controller->isDraggingApp());
    controller->setDraggingApp(false);

    desktop.runSettings(kSettingsFrame);
    controller->authorize(KestrumPane::accessibility, {}, std::nullopt);
    desktop.pollFor(kPoll);
    auto& window = desktop.window();
    window.delegate->dragStateChanged(true);
    EXPECT_TRUE(controller->isDraggingApp());
    EXPECT_DOUBLE_EQ(window.alpha, 0.72);
    EXPECT_TRUE(window.ignoresMouse);
    EXPECT_EQ(window.calls.back(), "back");

    window.delegate->dragStateChanged(false);
    EXPECT_FALSE(controller->isDraggingApp());
    EXPECT_EQ(window.alpha, 1.0);
    EXPECT_FALSE(window.ignoresMouse);
    EXPECT_EQ(window.calls.back(), "front");
}

TEST_F(AuthorizationFlow, SettingsButtonReopensTheCurrentPaneAndKeepsThePanelInFront) {
    controller->reopenCurrentPane();
    EXPECT_TRUE(workspace().calls.empty());

    controller->authorize(KestrumPane::bluetooth, {}, std::nullopt);
    desktop.window().delegate->settingsButtonPressed();
    EXPECT_EQ(workspace().openedURLs,
              (std::vector<URL>{settingsURL(KestrumPane::bluetooth), settingsURL(KestrumPane::bluetooth)}));
    EXPECT_EQ(desktop.window().calls.back(), "front");
}

TEST_F(AuthorizationFlow, LocaleChangesReRenderThePanelOnlyWhenTheValueDiffers) {
    desktop.runSettings(kSettingsFrame);
    controller->authorize(KestrumPane::accessibility, {}, std::nullopt);
    desktop.pollFor(kPoll);
    auto& window = desktop.window();
    const std::size_t rendered = window.contents.size();
    int announcements = 0;
    auto subscription = controller->observeObjectWillChange([&] { ++announcements; });

    controller->setLocaleIdentifier(std::nullopt);
    desktop.fake.mainLoop->runPendingTasks();
    EXPECT_EQ(announcements, 0);
    EXPECT_EQ(window.contents.size(), rendered);

    window.fittingHeightAt = [](double) { return 180.0; };  // the German text needs more room
    controller->setLocaleIdentifier(std::string("de"));
    EXPECT_EQ(announcements, 1);
    EXPECT_EQ(controller->panel()->localeIdentifier(), std::optional<std::string>("de"));
    EXPECT_GT(window.contents.size(), rendered);
    EXPECT_EQ(window.frame(), (Rect{330, 350, 670, 180}));  // taller, not moved yet
    desktop.moveSettingsWindow(Rect{100, 501, 900, 600});
    desktop.pollFor(kPoll);
    EXPECT_EQ(window.frame(), (Rect{330, 321, 670, 180}));
}

TEST_F(AuthorizationFlow, ClickOnThePanelBringsSettingsForwardWithThePanel) {
    desktop.runSettings(kSettingsFrame);
    controller->authorize(KestrumPane::accessibility, {}, std::nullopt);
    workspace().calls.clear();
    desktop.window().delegate->panelReceivedMouseDown();
    EXPECT_EQ(workspace().calls,
              (std::vector<std::string>{"running com.apple.systempreferences", "activate 500"}));
    EXPECT_EQ(desktop.window().calls.back(), "front");
}

}  // namespace
}  // namespace kestrum
