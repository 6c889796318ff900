#pragma once
// Follows the System Settings window while a flow is on screen: a 30 Hz poll of the window
// server's list plus accessibility notifications, each running one step that reports every
// changed frame (bottom-left global coordinates) and notices when System Settings has gone.
// Everything runs on the main thread.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "kestrum/Geometry.hpp"
#include "kestrum/WindowFrames.hpp"
#include "kestrum/ports/Accessibility.hpp"
#include "kestrum/ports/MainLoop.hpp"
#include "kestrum/ports/WindowServer.hpp"
#include "kestrum/ports/Workspace.hpp"

namespace kestrum {

class SettingsWindowTracker : public std::enable_shared_from_this<SettingsWindowTracker> {
public:
    static constexpr double pollInterval = 1.0 / 30.0;
    static constexpr double pollTolerance = 1.0 / 120.0;
    static constexpr int missingAppThreshold = 12;

    // The ports the tracker talks through.
    struct Ports {
        std::shared_ptr<Workspace> workspace;
        std::shared_ptr<Accessibility> accessibility;
        std::shared_ptr<WindowServer> windowServer;
        std::shared_ptr<MainLoop> mainLoop;
    };

    // Ports from kestrum::platform(). Nothing runs until startTracking().
    static std::shared_ptr<SettingsWindowTracker> create();
    static std::shared_ptr<SettingsWindowTracker> create(Ports ports);

    // Takes the observers' event sources out of the run loop first, so that no notification
    // can reach a destroyed tracker through its unowned context value.
    ~SettingsWindowTracker();
    SettingsWindowTracker(const SettingsWindowTracker&) = delete;
    SettingsWindowTracker& operator=(const SettingsWindowTracker&) = delete;

    // Starts a new tracking run (ending any current one); with promptIfNeeded the system is
    // first asked to prompt for accessibility access. Runs the first step at once.
    void startTracking(bool promptIfNeeded);
    // Ends the tracking run and resets the state; calls no callback. Safe at any time.
    void stopTracking();

    // The frame most recently reported, bottom-left global coordinates.
    const std::optional<Rect>& currentFrame() const { return currentFrame_; }

    // Told of every new frame, synchronously inside the step that changed currentFrame().
    std::function<void(const Rect&)> onFrameChange;
    // Told once per run, after the reset, when System Settings has been missing for
    // missingAppThreshold steps in a row.
    std::function<void()> onTrackingEnded;

    const std::string bundleIdentifier;

    // One step: find System Settings, read its frame from the window server and (when
    // trusted) from the accessibility interface, and report what changed. Every poll tick
    // and every notification runs it as its own task (one still waiting when tracking stops
    // runs afterwards as an ordinary step). Should the owner stop tracking from inside
    // onFrameChange, the step ends there.
    void attachIfNeeded();

    // State of the current run, for observers of the tracker.
    bool isTracking() const { return pollTimer_ != nullptr; }
    bool hasActiveTrackingTarget() const { return hasActiveTrackingTarget_; }
    int missingAppPollCount() const { return missingAppPollCount_; }
    bool hasAppObserver() const { return appObserver_ != nullptr; }
    bool hasWindowObserver() const { return windowObserver_ != nullptr; }
    const ElementRef& observedWindow() const { return observedWindow_; }

    // The instance of System Settings to follow: the first one listed whose activation
    // policy is not prohibited, or the first one when all are.
    std::optional<RunningApplication> runningSettingsApplication() const;

private:
    explicit SettingsWindowTracker(Ports ports);

    // The one callback of every observer; `context` is the tracker, not owned.
    static void notificationCallback(void* context);

    std::unique_ptr<AccessibilityObserver> makeObserver(std::int32_t processIdentifier);
    void updateWindowObserver(std::int32_t processIdentifier, const ElementRef& window);
    void updateCurrentFrame();
    void finishTrackingIfNeededBecauseAppExited();
    void report(const Rect& frame);
    void removeRunLoopSources();

    Ports ports_;
    WindowServerFrameReader windowServerFrames_;
    std::optional<Rect> currentFrame_;
    std::unique_ptr<AccessibilityObserver> appObserver_;
    std::unique_ptr<AccessibilityObserver> windowObserver_;
    ElementRef observedWindow_;
    std::shared_ptr<Timer> pollTimer_;
    bool hasActiveTrackingTarget_ = false;
    int missingAppPollCount_ = 0;
    // Counts stopTracking() calls, so that a step notices when its owner stopped tracking from a callback.
    std::uint64_t run_ = 0;
};

}  // namespace kestrum
