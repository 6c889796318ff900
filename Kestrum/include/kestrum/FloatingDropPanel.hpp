#pragma once
// The small floating panel shown while an authorization flow runs. It docks below the System
// Settings window, starting at the right edge of its sidebar, sizes itself to the height its
// content needs, and moves in one of three ways: a launch animation along an upward arc with a
// spring easing (present), an immediate move or a new destination of a running launch (snap),
// or an immediate placement at a source rectangle (show).
//
// All geometry is in bottom-left global coordinates. Everything runs on the main thread.
#include <memory>
#include <optional>
#include <string>

#include "kestrum/Geometry.hpp"
#include "kestrum/Subscription.hpp"
#include "kestrum/ports/MainLoop.hpp"
#include "kestrum/ports/PanelWindow.hpp"

namespace kestrum {

class KestrumController;

class FloatingDropPanel : public PanelWindowDelegate, public std::enable_shared_from_this<FloatingDropPanel> {
    struct Token {};

public:
    static constexpr double initialPanelWidth = 420;
    // Width of the System Settings sidebar: the panel starts this far right of the window's left edge.
    static constexpr double sidebarWidth = 230;
    // Minimum distance from the edges of the usable screen area.
    static constexpr double screenInset = 12;
    static constexpr double minimumPanelHeight = 96;
    static constexpr double minimumPanelWidth = 240;
    // Height offered to the content when it is measured.
    static constexpr double sizingHeightLimit = 4096;
    static constexpr double animationDuration = 0.72;
    // Response time of the spring easing.
    static constexpr double animationResponse = 0.72;
    static constexpr double initialAlpha = 0.9;
    // Smallest size of the launch start rectangle relative to the panel.
    static constexpr double minimumLaunchScale = 0.58;
    static constexpr double launchStepInterval = 1.0 / 60.0;

    // Makes and configures the window (420 points wide, the content's height) for the controller,
    // which it holds weakly; does not show it. The window comes from platform().panelWindows.
    static std::shared_ptr<FloatingDropPanel> create(const std::shared_ptr<KestrumController>& controller);

    FloatingDropPanel(Token, const std::shared_ptr<KestrumController>& controller);
    ~FloatingDropPanel() override;
    FloatingDropPanel(const FloatingDropPanel&) = delete;
    FloatingDropPanel& operator=(const FloatingDropPanel&) = delete;

    // The docked position for a System Settings window frame.
    Rect targetFrame(const Rect& settingsFrame);
    // Launch animation from the source rectangle to the docked position for the window frame;
    // an empty source goes straight to the docked position.
    void present(const Rect& source, const Rect& settingsFrame);
    // One frame of the launch animation, computed from the clock; finishes exactly on the
    // destination once the animation's time is over.
    void stepLaunchAnimation();
    // Immediate move to the docked position, or during a launch a new destination of it.
    void snap(const Rect& settingsFrame);
    // Immediate placement at the source rectangle, fully opaque (ends a running launch).
    void show(const Rect& source);
    // Re-renders the content in another locale and adjusts the height; the position stays.
    void updateLocaleIdentifier(const std::optional<std::string>& localeIdentifier);

    // A point on the launch arc: the size moves linearly, the centre along a quadratic curve
    // lifted above the higher of the two centres.
    static Rect curvedFrame(const Rect& from, const Rect& to, double progress);
    // The critically damped spring's progress after `elapsed` seconds, in [0, 1].
    static double launchProgress(double elapsed);
    // How the content is drawn in a frame whose height is less than the content needs at the
    // frame's width (during the launch, or while the panel waits at the pointer): laid out at
    // the frame's size divided by this scale and drawn at the scale, so that nothing is cut off.
    // Laid out wider, the content needs no more height, so it fits. 1 when the frame suffices.
    static double contentScale(Size frame, double fittingHeight);

    // The window, for the plain operations the controller performs on it. The panel owns it; the
    // close button ends the flow, so the window can be released from inside that delegate call.
    PanelWindow& window() { return *window_; }
    const PanelWindow& window() const { return *window_; }

    bool isAnimatingLaunch() const { return isAnimatingLaunch_; }
    const Rect& launchFromFrame() const { return launchFromFrame_; }
    const Rect& launchToFrame() const { return launchToFrame_; }
    double launchStartTime() const { return launchStartTime_; }
    const std::optional<std::string>& localeIdentifier() const { return localeIdentifier_; }

    // PanelWindowDelegate
    void panelReceivedMouseDown() override;
    void panelBecameKeyOrMain() override;
    void settingsButtonPressed() override;
    void closeButtonPressed() override;
    void dragStateChanged(bool dragging) override;

private:
    void observeController();
    void render();
    void scheduleRender();
    double measureHeight(double width);
    void invalidateLaunchTimer();
    void bringSettingsAndPanelForward();

    std::weak_ptr<KestrumController> panelController_;
    std::shared_ptr<MainLoop> mainLoop_;
    std::unique_ptr<PanelWindow> window_;
    std::shared_ptr<Timer> launchTimer_;
    double launchStartTime_ = 0;
    Rect launchFromFrame_{};
    Rect launchToFrame_{};
    bool isAnimatingLaunch_ = false;
    std::optional<std::string> localeIdentifier_;
    bool renderScheduled_ = false;
    Subscription controllerChanges_;
};

}  // namespace kestrum
