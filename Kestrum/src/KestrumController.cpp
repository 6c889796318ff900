#include "kestrum/KestrumController.hpp"

#include <utility>

#include "kestrum/FloatingDropPanel.hpp"
#include "kestrum/SettingsURLs.hpp"
#include "kestrum/SettingsWindowTracker.hpp"
#include "kestrum/SystemSettings.hpp"
#include "kestrum/SystemSettingsApplication.hpp"
#include "kestrum/ports/Platform.hpp"

namespace kestrum {
namespace {

// Opacity of the panel while the application card is being dragged.
constexpr double kDraggingPanelAlpha = 0.72;

// The controller whose panel flow is active; main thread only.
std::shared_ptr<KestrumController>& activeSlot() {
    static std::shared_ptr<KestrumController> active;
    return active;
}

}  // namespace

std::shared_ptr<KestrumController> KestrumController::create(KestrumConfiguration configuration) {
    auto controller = std::make_shared<KestrumController>(Token{}, std::move(configuration));
    controller->completeConstruction();
    return controller;
}

std::shared_ptr<KestrumController> Kestrum::makeController(KestrumConfiguration configuration) {
    return KestrumController::create(std::move(configuration));
}

KestrumController::KestrumController(Token, KestrumConfiguration configuration)
    : systemSettingsBundleIdentifier_(kSystemSettingsBundleIdentifier),
      droppedApps_(objectWillChange_, {}),
      currentPane_(objectWillChange_, std::nullopt),
      isSettingsFrontmost_(objectWillChange_, false),
      isDraggingApp_(objectWillChange_, false),
      localeIdentifier_(objectWillChange_, std::nullopt),
      configuration_(std::move(configuration)),
      tracker_(SettingsWindowTracker::create()) {
    droppedApps_.assign(uniqueAppURLs(configuration_.requiredAppURLs));
    localeIdentifier_.assign(configuration_.localeIdentifier);
}

KestrumController::~KestrumController() = default;

void KestrumController::completeConstruction() {
    updateFrontmostAppState();
    bindTrackerCallbacks();
    observeFrontmostApplication();
}

std::shared_ptr<KestrumController> KestrumController::activeController() { return activeSlot(); }

Subscription KestrumController::observeObjectWillChange(std::function<void()> handler) {
    return objectWillChange_.connect(std::move(handler));
}

Subscription KestrumController::subscribeDroppedApps(std::function<void(const std::vector<URL>&)> handler) {
    return droppedApps_.subscribe(std::move(handler));
}

Subscription KestrumController::subscribeCurrentPane(std::function<void(const std::optional<KestrumPane>&)> handler) {
    return currentPane_.subscribe(std::move(handler));
}

Subscription KestrumController::subscribeLocaleIdentifier(
    std::function<void(const std::optional<std::string>&)> handler) {
    return localeIdentifier_.subscribe(std::move(handler));
}

// MARK: The flow

void KestrumController::authorize(KestrumPane pane, const std::vector<URL>& suggestedAppURLs,
                                  std::optional<Rect> sourceFrameInScreen) {
    const auto self = shared_from_this();
    if (const auto active = activeSlot(); active && active.get() != this) {
        active->closePanel(false);
    }
    rememberPreviousFrontmostApplication();
    currentPane_.assign(pane);
    pendingLaunchSourceFrame_ = sourceFrameInScreen;
    mergeDroppedApps(suggestedAppURLs);
    SystemSettings::open(settingsURL(pane));
    if (!supportsFloatingAuthorizationPanel(pane)) return;

    activeSlot() = self;
    showPanel();
    tracker_->startTracking(configuration_.promptForAccessibilityTrust);
}

void KestrumController::showPanel() {
    if (!panel_) panel_ = FloatingDropPanel::create(shared_from_this());
    const auto panel = panel_;  // a callee may end the flow
    const std::optional<Rect> frame = tracker_->currentFrame();
    if (!frame) {
        if (pendingLaunchSourceFrame_) {
            // The source stays pending: the first window frame launches from it.
            panel->show(*pendingLaunchSourceFrame_);
        } else {
            panel->window().center();
            panel->window().orderFrontRegardless();
        }
        return;
    }
    if (pendingLaunchSourceFrame_) {
        const Rect source = *std::exchange(pendingLaunchSourceFrame_, std::nullopt);
        panel->present(source, *frame);
    } else {
        panel->snap(*frame);
    }
}

void KestrumController::handleFrameReport(const Rect& frame) {
    if (!panel_) return;
    const auto panel = panel_;
    if (pendingLaunchSourceFrame_) {
        const Rect source = *std::exchange(pendingLaunchSourceFrame_, std::nullopt);
        panel->present(source, frame);
    } else {
        panel->snap(frame);
    }
}

void KestrumController::closePanel(bool returnToPreviousApp) {
    // Leaving the active slot may drop the last outside reference to this controller.
    const auto self = shared_from_this();
    tracker_->stopTracking();
    if (auto panel = std::move(panel_)) {
        panel->window().close();
    }
    pendingLaunchSourceFrame_.reset();
    if (activeSlot().get() == this) activeSlot().reset();
    if (returnToPreviousApp) reactivatePreviousFrontmostApplication();
}

void KestrumController::setLocaleIdentifier(std::optional<std::string> localeIdentifier) {
    if (localeIdentifier == localeIdentifier_.get()) return;
    localeIdentifier_.assign(localeIdentifier);
    if (const auto panel = panel_) panel->updateLocaleIdentifier(localeIdentifier);
}

void KestrumController::setDraggingApp(bool dragging) {
    isDraggingApp_.assign(dragging);
    const auto panel = panel_;
    if (!panel) return;
    PanelWindow& window = panel->window();
    window.setIgnoresMouseEvents(dragging);
    window.setAlphaValue(dragging ? kDraggingPanelAlpha : 1.0);
    if (dragging) {
        window.orderBack();
    } else {
        window.orderFrontRegardless();
    }
}

void KestrumController::reopenCurrentPane() {
    const auto pane = currentPane_.get();
    if (!pane) return;
    SystemSettings::open(settingsURL(*pane));
    if (const auto panel = panel_) panel->window().orderFrontRegardless();
}

// MARK: Tracker and frontmost application

void KestrumController::bindTrackerCallbacks() {
    const std::weak_ptr<KestrumController> weak = weak_from_this();
    const std::weak_ptr<MainLoop> loop = platform().mainLoop;
    // Reports are acted upon as separate main-thread steps, in the order they came.
    tracker_->onFrameChange = [weak, loop](const Rect& frame) {
        if (const auto mainLoop = loop.lock()) {
            mainLoop->post([weak, frame] {
                if (const auto self = weak.lock()) self->handleFrameReport(frame);
            });
        }
    };
    tracker_->onTrackingEnded = [weak, loop] {
        if (const auto mainLoop = loop.lock()) {
            mainLoop->post([weak] {
                if (const auto self = weak.lock()) self->closePanel(false);
            });
        }
    };
}

void KestrumController::observeFrontmostApplication() {
    const std::weak_ptr<KestrumController> weak = weak_from_this();
    cancellables_.push_back(platform().workspace->observeApplicationActivation([weak] {
        if (const auto self = weak.lock()) self->updateFrontmostAppState();
    }));
}

void KestrumController::updateFrontmostAppState() {
    const auto frontmost = platform().workspace->frontmostApplication();
    isSettingsFrontmost_.assign(frontmost && frontmost->bundleIdentifier == systemSettingsBundleIdentifier_);
}

void KestrumController::rememberPreviousFrontmostApplication() {
    const auto frontmost = platform().workspace->frontmostApplication();
    if (!frontmost) {
        previousFrontmostApplicationPID_.reset();
        previousFrontmostApplicationBundleIdentifier_.reset();
        return;
    }
    // Coming back to System Settings itself would be pointless: keep whoever was in front before.
    if (frontmost->bundleIdentifier == systemSettingsBundleIdentifier_) return;
    previousFrontmostApplicationPID_ = frontmost->processIdentifier;
    previousFrontmostApplicationBundleIdentifier_ = frontmost->bundleIdentifier;
}

void KestrumController::reactivatePreviousFrontmostApplication() {
    Workspace& workspace = *platform().workspace;
    const auto pid = std::exchange(previousFrontmostApplicationPID_, std::nullopt);
    const auto bundleIdentifier = std::exchange(previousFrontmostApplicationBundleIdentifier_, std::nullopt);
    if (pid) {
        if (const auto running = workspace.runningApplication(*pid)) {
            workspace.activateIgnoringOtherApps(*running);
            return;
        }
    }
    if (bundleIdentifier) {
        const auto candidates = workspace.runningApplications(*bundleIdentifier);
        if (!candidates.empty()) workspace.activateIgnoringOtherApps(candidates.front());
    }
}

}  // namespace kestrum
