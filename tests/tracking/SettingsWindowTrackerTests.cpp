// The tracker driven step by step through the fakes: a virtual clock, a window list, running
// applications and accessibility answers set by each test.
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "kestrum/SettingsWindowTracker.hpp"
#include "kestrum/fakes/FakePlatform.hpp"

namespace kestrum {
namespace {

using fakes::element;
using fakes::elementId;
using fakes::FakeObserver;
using fakes::windowEntry;

constexpr std::int32_t kSettingsPID = 501;
constexpr int kWindow = 9001;

// On the one 1440 x 900 screen a top-left rectangle (x, y, w, h) lands at (x, 897 - y - h, w, h).
Rect converted(Rect topLeft) { return Rect{topLeft.x(), 900 - topLeft.y() - topLeft.height() - 3, topLeft.width(), topLeft.height()}; }

class TrackerTest : public ::testing::Test {
protected:
    void SetUp() override {
        fake.windowServer->addScreen(1, Rect{0, 0, 1440, 900}, Rect{0, 0, 1440, 875}, Rect{0, 0, 1440, 900});
        tracker->onFrameChange = [this](const Rect& frame) { reports.push_back(frame); };
        tracker->onTrackingEnded = [this] {
            ++ended;
            endedAfterReset = !tracker->currentFrame() && !tracker->isTracking() && !tracker->hasAppObserver() &&
                              !tracker->hasWindowObserver() && tracker->missingAppPollCount() == 0;
        };
    }

    void launchSettings(std::int32_t pid = kSettingsPID, ActivationPolicy policy = ActivationPolicy::regular) {
        fake.workspace->running.push_back({pid, std::string("com.apple.systempreferences"), policy});
    }
    void quitSettings() { fake.workspace->running.clear(); }
    // The window server shows one window of the process at these top-left bounds.
    void showWindow(Rect topLeft, std::int32_t pid = kSettingsPID) {
        fake.windowServer->windowList = LooseValue(LooseList{windowEntry(pid, topLeft)});
    }
    // The accessibility interface answers this window as the process's main window.
    void setAXWindow(Rect topLeft, std::int32_t pid = kSettingsPID, int window = kWindow) {
        fake.accessibility->set(pid, "AXMainWindow", element(window));
        fake.accessibility->set(window, "AXPosition", topLeft.origin);
        fake.accessibility->set(window, "AXSize", topLeft.size);
    }
    // System Settings running with its window at (100, 50, 800, 600) top-left, which the
    // accessibility interface answers too when trusted.
    void settingsOnScreen(bool trusted) {
        launchSettings();
        showWindow(Rect{100, 50, 800, 600});
        if (!trusted) return;
        fake.accessibility->trusted = true;
        setAXWindow(Rect{100, 50, 800, 600});
    }
    // One poll period on the virtual clock: the tick fires and its step runs.
    void step(int count = 1) {
        for (int i = 0; i < count; ++i) fake.mainLoop->advance(SettingsWindowTracker::pollInterval);
    }
    std::vector<std::shared_ptr<FakeObserver>> liveObservers() const {
        std::vector<std::shared_ptr<FakeObserver>> result;
        for (const auto& weak : fake.accessibility->observers) {
            if (auto observer = weak.lock()) result.push_back(observer);
        }
        return result;
    }

    fakes::FakePlatform fake;
    std::shared_ptr<SettingsWindowTracker> tracker = SettingsWindowTracker::create();
    std::vector<Rect> reports;
    int ended = 0;
    bool endedAfterReset = false;
};

// --- lifecycle and the poll timer -----------------------------------------------------------

TEST_F(TrackerTest, CreationDoesNothingUntilTrackingStarts) {
    EXPECT_EQ(tracker->bundleIdentifier, "com.apple.systempreferences");
    EXPECT_FALSE(tracker->currentFrame());
    EXPECT_TRUE(fake.mainLoop->activeTimers().empty());
    EXPECT_TRUE(fake.workspace->calls.empty());
    EXPECT_EQ(fake.windowServer->windowListReads, 0);

    tracker->stopTracking();  // never started: nothing visible, no callback
    EXPECT_TRUE(reports.empty());
    EXPECT_EQ(ended, 0);
}

TEST_F(TrackerTest, StartReportsAtOnceThenPollsAt30HzReportingOnlyChanges) {
    settingsOnScreen(false);
    tracker->startTracking(false);

    EXPECT_EQ(reports, (std::vector<Rect>{Rect{100, 247, 800, 600}})) << "the first step runs at once";
    EXPECT_EQ(tracker->currentFrame(), (Rect{100, 247, 800, 600}));
    const auto timers = fake.mainLoop->activeTimers();
    ASSERT_EQ(timers.size(), 1u);
    EXPECT_TRUE(timers[0]->repeats());
    EXPECT_DOUBLE_EQ(timers[0]->interval(), 1.0 / 30.0);
    EXPECT_DOUBLE_EQ(timers[0]->tolerance(), 1.0 / 120.0);
    EXPECT_EQ(timers[0]->mode(), RunLoopMode::defaultMode);

    step(10);
    EXPECT_EQ(reports.size(), 1u) << "a resting window causes no callbacks";
    EXPECT_EQ(fake.windowServer->windowListReads, 11);

    showWindow(Rect{300, 50, 800, 600});
    step();
    EXPECT_EQ(reports.back(), (Rect{300, 247, 800, 600}));
    EXPECT_EQ(reports.size(), 2u);
}

TEST_F(TrackerTest, ATickDefersItsStepToItsOwnTask) {
    settingsOnScreen(false);
    tracker->startTracking(false);
    showWindow(Rect{200, 50, 800, 600});

    auto timer = fake.mainLoop->activeTimers().front();
    fake.mainLoop->setTime(timer->due());
    // Fire the tick by hand without running tasks: the frame must not change inside it.
    const auto reads = fake.windowServer->windowListReads;
    fake.mainLoop->post([&] { EXPECT_EQ(fake.windowServer->windowListReads, reads); });
    fake.mainLoop->fire(timer);  // runs the probe above first, then the step the tick posted
    EXPECT_EQ(fake.windowServer->windowListReads, reads + 1);
    EXPECT_EQ(reports.back(), (Rect{200, 247, 800, 600}));
}

TEST_F(TrackerTest, PromptIsAskedOnlyWhenRequestedAndTrackingStartsWhateverTheAnswer) {
    settingsOnScreen(false);
    tracker->startTracking(false);
    EXPECT_EQ(fake.accessibility->promptCount, 0);

    tracker->startTracking(true);
    tracker->startTracking(true);
    EXPECT_EQ(fake.accessibility->promptCount, 2);
    EXPECT_TRUE(tracker->isTracking());
}

TEST_F(TrackerTest, RestartLeavesOneTimerAndReReportsAnEqualFrame) {
    settingsOnScreen(false);
    tracker->startTracking(false);
    tracker->startTracking(false);

    EXPECT_EQ(fake.mainLoop->activeTimers().size(), 1u);
    EXPECT_EQ(reports, (std::vector<Rect>(2, Rect{100, 247, 800, 600})));
    step();
    EXPECT_EQ(reports.size(), 2u);
}

TEST_F(TrackerTest, StopResetsEverythingAndCallsNothing) {
    settingsOnScreen(true);
    tracker->startTracking(false);
    const auto observers = liveObservers();
    ASSERT_EQ(observers.size(), 2u);

    tracker->stopTracking();
    EXPECT_FALSE(tracker->isTracking());
    EXPECT_TRUE(fake.mainLoop->activeTimers().empty());
    EXPECT_FALSE(tracker->currentFrame());
    EXPECT_FALSE(tracker->hasActiveTrackingTarget());
    EXPECT_EQ(tracker->observedWindow(), nullptr);
    for (const auto& observer : observers) {
        EXPECT_FALSE(observer->inRunLoop);
        EXPECT_EQ(observer->removedFromRunLoop, 1);
        EXPECT_EQ(observer.use_count(), 1) << "the tracker let go of it";
    }
    EXPECT_EQ(reports.size(), 1u);
    EXPECT_EQ(ended, 0);

    step(20);
    EXPECT_EQ(reports.size(), 1u);
}

// --- the end of System Settings ----------------------------------------------------------------

TEST_F(TrackerTest, ElevenMissesThenAHitKeepTrackingAndResetTheCount) {
    settingsOnScreen(false);
    tracker->startTracking(false);

    quitSettings();
    step(11);
    EXPECT_EQ(tracker->missingAppPollCount(), 11);
    EXPECT_EQ(ended, 0);
    EXPECT_TRUE(tracker->currentFrame()) << "the last frame stays while System Settings is away";

    launchSettings();
    step();
    EXPECT_EQ(tracker->missingAppPollCount(), 0);
    quitSettings();
    step(11);
    EXPECT_EQ(ended, 0) << "the count started again from 0";
    EXPECT_TRUE(tracker->isTracking());
}

TEST_F(TrackerTest, TwelveMissesEndTrackingOnceAfterTheReset) {
    settingsOnScreen(true);
    tracker->startTracking(false);
    const auto observers = liveObservers();

    quitSettings();
    step(12);
    EXPECT_EQ(ended, 1);
    EXPECT_TRUE(endedAfterReset);
    EXPECT_TRUE(fake.mainLoop->activeTimers().empty());
    for (const auto& observer : observers) {
        EXPECT_FALSE(observer->inRunLoop);
        EXPECT_EQ(observer.use_count(), 1) << "the tracker let go of it";
    }

    step(100);
    tracker->attachIfNeeded();  // a stray step after the end counts nothing
    EXPECT_EQ(ended, 1);
}

TEST_F(TrackerTest, MissesBeforeSystemSettingsWasEverSeenDoNotCount) {
    tracker->startTracking(false);
    step(200);
    EXPECT_EQ(ended, 0);
    EXPECT_EQ(tracker->missingAppPollCount(), 0);
    EXPECT_TRUE(tracker->isTracking());

    launchSettings();
    showWindow(Rect{100, 50, 800, 600});
    step();
    EXPECT_EQ(reports, (std::vector<Rect>{Rect{100, 247, 800, 600}}));
}

TEST_F(TrackerTest, TheOwnerMayReleaseTheTrackerWhenTrackingEnds) {
    settingsOnScreen(false);
    tracker->startTracking(false);
    std::weak_ptr<SettingsWindowTracker> watch = tracker;
    tracker->onTrackingEnded = [this] { tracker.reset(); };

    quitSettings();
    step(12);
    EXPECT_TRUE(watch.expired());
    step(5);
}

// --- which instance -----------------------------------------------------------------------------

TEST_F(TrackerTest, ProhibitedInstancesArePassedOverUnlessAllAreProhibited) {
    launchSettings(1, ActivationPolicy::prohibited);
    launchSettings(2, ActivationPolicy::regular);
    launchSettings(3, ActivationPolicy::accessory);
    EXPECT_EQ(tracker->runningSettingsApplication()->processIdentifier, 2);

    fake.windowServer->windowList = LooseValue(LooseList{windowEntry(1, Rect{0, 0, 1000, 800}),
                                                         windowEntry(2, Rect{100, 50, 800, 600})});
    tracker->startTracking(false);
    EXPECT_EQ(tracker->currentFrame(), (Rect{100, 247, 800, 600})) << "the window of the chosen instance";

    quitSettings();
    launchSettings(1, ActivationPolicy::prohibited);
    launchSettings(2, ActivationPolicy::prohibited);
    EXPECT_EQ(tracker->runningSettingsApplication()->processIdentifier, 1);

    quitSettings();
    EXPECT_FALSE(tracker->runningSettingsApplication());
    fake.workspace->running.push_back({7, std::string("com.example.other"), ActivationPolicy::regular});
    EXPECT_FALSE(tracker->runningSettingsApplication());
}

TEST_F(TrackerTest, ANewInstanceBeforeTheTwelfthMissTakesOver) {
    launchSettings(1);
    showWindow(Rect{100, 50, 800, 600}, 1);
    setAXWindow(Rect{100, 50, 800, 600}, 1, 11);
    fake.accessibility->trusted = true;
    tracker->startTracking(false);
    ASSERT_EQ(liveObservers().size(), 2u);
    const auto appObserver = liveObservers()[0];
    EXPECT_EQ(appObserver->pid, 1);

    quitSettings();
    step(5);
    launchSettings(2);
    showWindow(Rect{200, 60, 900, 700}, 2);
    setAXWindow(Rect{200, 60, 900, 700}, 2, 22);
    step();

    EXPECT_EQ(ended, 0);
    EXPECT_EQ(tracker->currentFrame(), converted(Rect{200, 60, 900, 700}));
    EXPECT_EQ(elementId(tracker->observedWindow()), 22);
    const auto live = liveObservers();
    ASSERT_EQ(live.size(), 2u);
    EXPECT_EQ(live[0], appObserver) << "the application observer stays until the run ends";
    EXPECT_EQ(live[1]->pid, 2);
    ASSERT_EQ(live[1]->registrations.size(), 2u);
    EXPECT_EQ(live[1]->registrations[0].elementId, 22);
    EXPECT_EQ(fake.accessibility->observersCreated, 3);
}

// --- accessibility -------------------------------------------------------------------------------

TEST_F(TrackerTest, WithoutAccessibilityOnlyWindowServerFramesAndNoObserverEver) {
    launchSettings();
    showWindow(Rect{100, 50, 800, 600});
    setAXWindow(Rect{110, 60, 800, 600});
    tracker->startTracking(true);
    step(5);
    showWindow(Rect{120, 50, 800, 600});
    step(5);

    EXPECT_EQ(reports, (std::vector<Rect>{converted(Rect{100, 50, 800, 600}), converted(Rect{120, 50, 800, 600})}));
    EXPECT_EQ(fake.accessibility->observersCreated, 0);
    EXPECT_FALSE(tracker->hasAppObserver());
    EXPECT_EQ(tracker->observedWindow(), nullptr);
}

TEST_F(TrackerTest, DifferingSourcesReportTwicePerStepWindowServerFirst) {
    launchSettings();
    fake.accessibility->trusted = true;
    showWindow(Rect{100, 50, 800, 600});
    setAXWindow(Rect{100, 53, 800, 600});  // the two sources disagree by a few points
    const Rect server = converted(Rect{100, 50, 800, 600});
    const Rect ax = converted(Rect{100, 53, 800, 600});

    tracker->startTracking(false);
    EXPECT_EQ(reports, (std::vector<Rect>{server, ax}));
    step();
    EXPECT_EQ(reports, (std::vector<Rect>{server, ax, server, ax}));
    EXPECT_EQ(tracker->currentFrame(), ax) << "a step ends on the accessibility frame";

    // Once they agree, a step reports nothing.
    showWindow(Rect{100, 53, 800, 600});
    step(3);
    EXPECT_EQ(reports.size(), 4u);
}

TEST_F(TrackerTest, ObserversAreMadeOncePerRunAndOncePerWindowWithTheTrackerAsContext) {
    settingsOnScreen(true);
    tracker->startTracking(false);
    step(10);

    auto live = liveObservers();
    ASSERT_EQ(live.size(), 2u);
    EXPECT_EQ(fake.accessibility->observersCreated, 2);
    const auto& app = *live[0];
    ASSERT_EQ(app.registrations.size(), 2u);
    EXPECT_EQ(app.registrations[0].notification, "AXMainWindowChanged");
    EXPECT_EQ(app.registrations[1].notification, "AXFocusedWindowChanged");
    EXPECT_EQ(app.registrations[0].elementId, kSettingsPID);
    EXPECT_EQ(app.registrations[0].context, tracker.get());
    EXPECT_TRUE(app.inRunLoop);
    const auto& window = *live[1];
    ASSERT_EQ(window.registrations.size(), 2u);
    EXPECT_EQ(window.registrations[0].notification, "AXMoved");
    EXPECT_EQ(window.registrations[1].notification, "AXResized");
    EXPECT_EQ(window.registrations[1].elementId, kWindow);
    EXPECT_EQ(window.registrations[1].context, tracker.get());
    EXPECT_TRUE(window.inRunLoop);

    // Another window becomes main: its own observer replaces the old one.
    auto oldWindowObserver = live[1];
    live.clear();
    fake.accessibility->set(kSettingsPID, "AXMainWindow", element(kWindow + 1));
    fake.accessibility->set(kWindow + 1, "AXPosition", Point{0, 0});
    fake.accessibility->set(kWindow + 1, "AXSize", Size{1000, 700});
    step();
    EXPECT_EQ(fake.accessibility->observersCreated, 3);
    EXPECT_FALSE(oldWindowObserver->inRunLoop);
    EXPECT_EQ(oldWindowObserver.use_count(), 1) << "the tracker let go of the old observer";
    oldWindowObserver.reset();
    EXPECT_EQ(fake.accessibility->liveObservers(), 2);
    EXPECT_EQ(elementId(tracker->observedWindow()), kWindow + 1);
    EXPECT_EQ(tracker->currentFrame(), converted(Rect{0, 0, 1000, 700}));
}

TEST_F(TrackerTest, FailedObserverCreationIsRetriedForTheAppButFramesStillFlow) {
    launchSettings();
    fake.accessibility->trusted = true;
    showWindow(Rect{100, 50, 800, 600});
    setAXWindow(Rect{100, 53, 800, 600});
    fake.accessibility->failObserverCreations = 2;  // both observers of the first step

    tracker->startTracking(false);
    EXPECT_FALSE(tracker->hasAppObserver());
    EXPECT_FALSE(tracker->hasWindowObserver());
    EXPECT_EQ(tracker->currentFrame(), converted(Rect{100, 53, 800, 600})) << "the frame is read all the same";

    step();
    EXPECT_TRUE(tracker->hasAppObserver()) << "the application observer is tried again";
    EXPECT_FALSE(tracker->hasWindowObserver()) << "the same window is not observed anew";
    EXPECT_EQ(fake.accessibility->observersCreated, 1);
}

TEST_F(TrackerTest, WindowFallsBackToFocusedThenFirstAndUnreadableFramesAreIgnored) {
    launchSettings();
    fake.accessibility->trusted = true;
    showWindow(Rect{100, 50, 800, 600});
    fake.accessibility->set(kSettingsPID, "AXFocusedWindow", element(5));
    fake.accessibility->set(5, "AXPosition", Point{10, 20});
    fake.accessibility->set(5, "AXSize", Point{800, 600});  // a point where a size belongs
    tracker->startTracking(false);
    EXPECT_EQ(elementId(tracker->observedWindow()), 5);
    EXPECT_EQ(reports, (std::vector<Rect>{converted(Rect{100, 50, 800, 600})}));

    fake.accessibility->set(5, "AXSize", Size{800, 600});
    step();
    EXPECT_EQ(reports.back(), converted(Rect{10, 20, 800, 600}));

    // No main, focused or listed window: the window-server frame stays.
    fake.accessibility->attributes.clear();
    fake.accessibility->set(kSettingsPID, "AXWindows", ElementList{});
    showWindow(Rect{30, 40, 800, 600});
    step();
    EXPECT_EQ(tracker->currentFrame(), converted(Rect{30, 40, 800, 600}));
}

TEST_F(TrackerTest, NonFiniteOrNegativeAccessibilityFramesAreSkipped) {
    settingsOnScreen(true);
    fake.accessibility->set(kWindow, "AXPosition", Point{std::nan(""), 50});
    tracker->startTracking(false);
    step(3);
    EXPECT_EQ(reports, (std::vector<Rect>{converted(Rect{100, 50, 800, 600})}));

    fake.accessibility->set(kWindow, "AXPosition", Point{100, 50});
    fake.accessibility->set(kWindow, "AXSize", Size{-800, 600});
    step(3);
    EXPECT_EQ(reports.size(), 1u);
}

// --- notifications ----------------------------------------------------------------------------

TEST_F(TrackerTest, NotificationDefersAStepThatHoldsTheTrackerUntilItRuns) {
    settingsOnScreen(true);
    tracker->startTracking(false);
    setAXWindow(Rect{140, 50, 800, 600});
    showWindow(Rect{140, 50, 800, 600});

    fake.accessibility->deliver("AXMoved");
    EXPECT_EQ(reports.size(), 1u) << "nothing happens inside the callback";
    EXPECT_EQ(fake.mainLoop->pendingTaskCount(), 1u);

    std::weak_ptr<SettingsWindowTracker> watch = tracker;
    auto observers = liveObservers();
    tracker.reset();
    EXPECT_FALSE(watch.expired()) << "the deferred step keeps the tracker";
    fake.mainLoop->runPendingTasks();
    EXPECT_EQ(reports.back(), converted(Rect{140, 50, 800, 600}));
    EXPECT_TRUE(watch.expired());
    for (const auto& observer : observers) EXPECT_FALSE(observer->inRunLoop);
}

TEST_F(TrackerTest, ADestroyedTrackerTakesItsSourcesOutSoNoNotificationReachesIt) {
    settingsOnScreen(true);
    tracker->startTracking(false);
    const auto observers = liveObservers();  // kept alive past the tracker, as a run loop would
    ASSERT_EQ(observers.size(), 2u);

    tracker.reset();  // released without stopTracking()
    for (const auto& observer : observers) {
        EXPECT_FALSE(observer->inRunLoop);
        observer->deliver("AXMoved");
        observer->deliver("AXMainWindowChanged");
    }
    EXPECT_EQ(fake.mainLoop->pendingTaskCount(), 0u);
    EXPECT_TRUE(fake.mainLoop->activeTimers().empty()) << "the poll timer went with the tracker";
    step(3);
}

TEST_F(TrackerTest, AStepQueuedBeforeStopStillRunsAsAnOrdinaryStep) {
    settingsOnScreen(true);
    tracker->startTracking(false);
    fake.accessibility->deliver("AXResized");
    ASSERT_EQ(fake.mainLoop->pendingTaskCount(), 1u);

    tracker->stopTracking();
    fake.mainLoop->runPendingTasks();
    EXPECT_EQ(tracker->currentFrame(), converted(Rect{100, 50, 800, 600}));
    EXPECT_EQ(reports.size(), 2u) << "the frame was cleared by the stop, so it is reported again";
    EXPECT_FALSE(tracker->isTracking()) << "no poll timer is started by it";

    // The next run starts clean all the same.
    tracker->startTracking(false);
    EXPECT_EQ(fake.mainLoop->activeTimers().size(), 1u);
    EXPECT_EQ(fake.accessibility->liveObservers(), 2);
}

TEST_F(TrackerTest, StoppingFromTheFrameCallbackEndsTheStepThere) {
    settingsOnScreen(true);
    tracker->onFrameChange = [this](const Rect& frame) {
        reports.push_back(frame);
        tracker->stopTracking();
    };
    tracker->startTracking(false);
    EXPECT_EQ(reports.size(), 1u);
    EXPECT_EQ(fake.accessibility->observersCreated, 0);
    EXPECT_FALSE(tracker->isTracking());
}

}  // namespace
}  // namespace kestrum
