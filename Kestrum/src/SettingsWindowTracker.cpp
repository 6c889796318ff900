#include "kestrum/SettingsWindowTracker.hpp"

#include <cmath>
#include <string_view>

#include "kestrum/SystemSettingsApplication.hpp"
#include "kestrum/WindowFrames.hpp"
#include "kestrum/ports/Platform.hpp"

namespace kestrum {
namespace {

constexpr std::string_view kMainWindowChanged = "AXMainWindowChanged";
constexpr std::string_view kFocusedWindowChanged = "AXFocusedWindowChanged";
constexpr std::string_view kMoved = "AXMoved";
constexpr std::string_view kResized = "AXResized";

bool isUsable(double value) { return std::isfinite(value); }

// The first instance whose activation policy is not prohibited, else the first; null for none.
const RunningApplication* settingsApplicationAmong(const std::vector<RunningApplication>& applications) {
    if (applications.empty()) return nullptr;
    const RunningApplication* choice = &applications.front();
    for (const auto& application : applications) {
        if (choice->activationPolicy == ActivationPolicy::prohibited &&
            application.activationPolicy != ActivationPolicy::prohibited) {
            choice = &application;
        }
    }
    return choice;
}

}  // namespace

std::shared_ptr<SettingsWindowTracker> SettingsWindowTracker::create() {
    const auto& ports = platform();
    return create(Ports{ports.workspace, ports.accessibility, ports.windowServer, ports.mainLoop});
}

std::shared_ptr<SettingsWindowTracker> SettingsWindowTracker::create(Ports ports) {
    return std::shared_ptr<SettingsWindowTracker>(new SettingsWindowTracker(std::move(ports)));
}

SettingsWindowTracker::SettingsWindowTracker(Ports ports)
    : bundleIdentifier(kSystemSettingsBundleIdentifier), ports_(std::move(ports)) {}

SettingsWindowTracker::~SettingsWindowTracker() {
    // The observers were registered with this object's address as their context; take their
    // sources out of the run loop before that address becomes invalid.
    removeRunLoopSources();
    if (pollTimer_) pollTimer_->invalidate();
}

void SettingsWindowTracker::startTracking(bool promptIfNeeded) {
    if (promptIfNeeded) {
        // Only the prompt matters here; tracking goes on whatever the answer.
        (void)ports_.accessibility->isProcessTrustedWithPrompt();
    }
    stopTracking();

    // The tick holds the tracker weakly and runs the step as its own task, never inside the
    // timer callback.
    const std::weak_ptr<SettingsWindowTracker> weak = weak_from_this();
    const std::weak_ptr<MainLoop> weakLoop = ports_.mainLoop;
    pollTimer_ = ports_.mainLoop->scheduleRepeating(pollInterval, RunLoopMode::defaultMode, [weak, weakLoop] {
        if (weak.expired()) return;
        const auto loop = weakLoop.lock();
        if (!loop) return;
        loop->post([weak] {
            if (const auto self = weak.lock()) self->attachIfNeeded();
        });
    });
    pollTimer_->setTolerance(pollTolerance);

    attachIfNeeded();
}

void SettingsWindowTracker::stopTracking() {
    if (pollTimer_) {
        pollTimer_->invalidate();
        pollTimer_.reset();
    }
    removeRunLoopSources();
    appObserver_.reset();
    windowObserver_.reset();
    observedWindow_.reset();
    currentFrame_.reset();
    hasActiveTrackingTarget_ = false;
    missingAppPollCount_ = 0;
    ++run_;
}

void SettingsWindowTracker::removeRunLoopSources() {
    if (appObserver_) appObserver_->removeFromMainRunLoop();
    if (windowObserver_) windowObserver_->removeFromMainRunLoop();
}

std::optional<RunningApplication> SettingsWindowTracker::runningSettingsApplication() const {
    const auto applications = ports_.workspace->runningApplications(bundleIdentifier);
    const RunningApplication* choice = settingsApplicationAmong(applications);
    return choice ? std::optional<RunningApplication>(*choice) : std::nullopt;
}

void SettingsWindowTracker::attachIfNeeded() {
    const auto applications = ports_.workspace->runningApplications(bundleIdentifier);
    const RunningApplication* application = settingsApplicationAmong(applications);
    if (!application) {
        finishTrackingIfNeededBecauseAppExited();
        return;
    }
    hasActiveTrackingTarget_ = true;
    missingAppPollCount_ = 0;
    const std::int32_t pid = application->processIdentifier;
    const std::uint64_t run = run_;

    if (const auto frame = windowServerFrames_.read(*ports_.windowServer, pid)) {
        report(*frame);
        if (run_ != run) return;  // the owner ended the run from its callback
    }

    auto& accessibility = *ports_.accessibility;
    if (!accessibility.isProcessTrusted()) return;

    const ElementRef applicationElement = accessibility.applicationElement(pid);
    if (!appObserver_) {
        appObserver_ = makeObserver(pid);
        if (appObserver_) {
            appObserver_->addNotification(applicationElement, kMainWindowChanged, this);
            appObserver_->addNotification(applicationElement, kFocusedWindowChanged, this);
            appObserver_->addToMainRunLoop();
        }
    }

    const ElementRef window = mainWindow(accessibility, applicationElement);
    if (!window) return;

    if (observedWindow_ && accessibility.elementsEqual(observedWindow_, window)) {
        updateCurrentFrame();
        return;
    }
    observedWindow_ = window;
    updateWindowObserver(pid, window);
    updateCurrentFrame();
}

std::unique_ptr<AccessibilityObserver> SettingsWindowTracker::makeObserver(std::int32_t processIdentifier) {
    return ports_.accessibility->createObserver(processIdentifier, &SettingsWindowTracker::notificationCallback);
}

void SettingsWindowTracker::updateWindowObserver(std::int32_t processIdentifier, const ElementRef& window) {
    if (windowObserver_) windowObserver_->removeFromMainRunLoop();
    windowObserver_ = makeObserver(processIdentifier);
    if (!windowObserver_) return;
    windowObserver_->addNotification(window, kMoved, this);
    windowObserver_->addNotification(window, kResized, this);
    windowObserver_->addToMainRunLoop();
}

void SettingsWindowTracker::updateCurrentFrame() {
    if (!observedWindow_) return;
    auto& accessibility = *ports_.accessibility;
    const auto position = pointValue(accessibility, "AXPosition", observedWindow_);
    if (!position) return;
    const auto size = sizeValue(accessibility, "AXSize", observedWindow_);
    if (!size) return;
    // A frame that is not a set of finite numbers, or has a negative size, is no frame:
    // reporting it would move the panel nowhere (and NaN never equals itself, so it would be
    // reported again on every step).
    if (!isUsable(position->x) || !isUsable(position->y) || !isUsable(size->width) || !isUsable(size->height) ||
        size->width < 0 || size->height < 0) {
        return;
    }
    report(appKitFrame(*ports_.windowServer, Rect{*position, *size}));
}

void SettingsWindowTracker::finishTrackingIfNeededBecauseAppExited() {
    // Misses count only once System Settings has been seen in this run.
    if (!hasActiveTrackingTarget_ && !currentFrame_) return;
    ++missingAppPollCount_;
    if (missingAppPollCount_ < missingAppThreshold) return;
    stopTracking();
    // A copy: the owner may release this tracker from inside its handler.
    if (auto ended = onTrackingEnded) ended();
}

void SettingsWindowTracker::report(const Rect& frame) {
    if (currentFrame_ && *currentFrame_ == frame) return;
    currentFrame_ = frame;
    if (auto changed = onFrameChange) changed(frame);
}

void SettingsWindowTracker::notificationCallback(void* context) {
    if (!context) return;
    auto* tracker = static_cast<SettingsWindowTracker*>(context);
    // Sources leave the run loop before the tracker goes, so the address is still good here;
    // the strong reference keeps it alive until the deferred step has run.
    auto self = tracker->weak_from_this().lock();
    if (!self) return;
    const auto loop = self->ports_.mainLoop;
    loop->post([self = std::move(self)] { self->attachIfNeeded(); });
}

}  // namespace kestrum
