#pragma once
// The flow controller: runs authorization flows for a host application. It opens System
// Settings at a permission's pane, shows the floating panel, docks it below the System Settings
// window as the tracker reports that window's frames, follows the frontmost application and
// closes the flow, optionally giving the focus back to the application that was in front.
//
// Everything here belongs to the main thread.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "kestrum/Geometry.hpp"
#include "kestrum/KestrumConfiguration.hpp"
#include "kestrum/KestrumPane.hpp"
#include "kestrum/Observable.hpp"
#include "kestrum/Subscription.hpp"
#include "kestrum/URL.hpp"

namespace kestrum {

class FloatingDropPanel;
class SettingsWindowTracker;

class KestrumController : public std::enable_shared_from_this<KestrumController> {
    struct Token {};

public:
    // Makes a controller: seeds the dropped applications from the configuration, takes its locale,
    // then reads the frontmost application, binds the tracker's callbacks and starts observing
    // application activation. Opens nothing, starts no tracking and makes no panel.
    static std::shared_ptr<KestrumController> create(KestrumConfiguration configuration);

    KestrumController(Token, KestrumConfiguration configuration);
    ~KestrumController();
    KestrumController(const KestrumController&) = delete;
    KestrumController& operator=(const KestrumController&) = delete;

    // Observable state. Every assignment announces on objectWillChange first (also when the value
    // is unchanged), then stores; observers re-read what they show.
    const std::vector<URL>& droppedApps() const { return droppedApps_.get(); }
    const std::optional<KestrumPane>& currentPane() const { return currentPane_.get(); }
    const std::optional<std::string>& localeIdentifier() const { return localeIdentifier_.get(); }
    bool isSettingsFrontmost() const { return isSettingsFrontmost_.get(); }
    bool isDraggingApp() const { return isDraggingApp_.get(); }

    [[nodiscard]] Subscription observeObjectWillChange(std::function<void()> handler);
    // Each stream gives the current value at once, then every assigned value at the moment of
    // assignment (before the stored value changes).
    [[nodiscard]] Subscription subscribeDroppedApps(std::function<void(const std::vector<URL>&)> handler);
    [[nodiscard]] Subscription subscribeCurrentPane(std::function<void(const std::optional<KestrumPane>&)> handler);
    [[nodiscard]] Subscription subscribeLocaleIdentifier(
        std::function<void(const std::optional<std::string>&)> handler);

    // Told of every application newly appended to droppedApps, right after the append.
    std::function<void(const URL&)> onDrop;

    const KestrumConfiguration& configuration() const { return configuration_; }

    // The flow.
    // Closes another controller's flow, remembers the frontmost application, sets the pane and the
    // launch source, merges the suggested applications, opens the pane; for panes with a floating
    // panel, becomes the active controller, shows the panel and (re)starts tracking.
    void authorize(KestrumPane pane, const std::vector<URL>& suggestedAppURLs,
                   std::optional<Rect> sourceFrameInScreen);
    // Shows or moves the panel according to the current state (makes it when there is none).
    void showPanel();
    // Ends the flow: stops tracking, closes and drops the panel, leaves the active slot; with true,
    // also gives the focus back to the remembered application. Safe in every state.
    void closePanel(bool returnToPreviousApp);
    // Changes the locale of the flow's texts; does nothing when the value is the same.
    void setLocaleIdentifier(std::optional<std::string> localeIdentifier);
    // The user started (true) or finished (false) dragging the application card.
    void setDraggingApp(bool dragging);
    // Opens System Settings at the current pane again and brings the panel forward.
    void reopenCurrentPane();

    // Dropped applications. Only application bundles (path extension "app", any case) are kept,
    // in standardized form, each application once, in order of arrival.
    void registerDroppedApp(const URL& url);
    void mergeDroppedApps(const std::vector<URL>& urls);
    // Back to the configuration's required applications (announces even when unchanged).
    void resetDroppedApps();
    // The first dropped application, else the main bundle when it is an application bundle.
    std::optional<URL> preferredAppURL() const;

    // The panel while a flow is visible, else null.
    FloatingDropPanel* panel() const { return panel_.get(); }
    // Where the next launch animation starts, until a window frame is known.
    const std::optional<Rect>& pendingLaunchSourceFrame() const { return pendingLaunchSourceFrame_; }

    // The controller whose panel flow is active in this process, if any.
    static std::shared_ptr<KestrumController> activeController();

private:
    void completeConstruction();
    void updateFrontmostAppState();
    void bindTrackerCallbacks();
    void observeFrontmostApplication();
    void rememberPreviousFrontmostApplication();
    void reactivatePreviousFrontmostApplication();
    void handleFrameReport(const Rect& frame);
    void appendDroppedApp(const URL& standardizedURL);
    std::vector<URL> uniqueAppURLs(const std::vector<URL>& urls) const;
    bool containsApp(const std::vector<URL>& list, const URL& url) const;
    std::string comparablePath(const URL& url) const;

    const std::string systemSettingsBundleIdentifier_;
    Signal<> objectWillChange_;
    Published<std::vector<URL>> droppedApps_;
    Published<std::optional<KestrumPane>> currentPane_;
    Published<bool> isSettingsFrontmost_;
    Published<bool> isDraggingApp_;
    Published<std::optional<std::string>> localeIdentifier_;
    const KestrumConfiguration configuration_;
    const std::shared_ptr<SettingsWindowTracker> tracker_;
    std::shared_ptr<FloatingDropPanel> panel_;
    std::optional<Rect> pendingLaunchSourceFrame_;
    std::optional<std::int32_t> previousFrontmostApplicationPID_;
    std::optional<std::string> previousFrontmostApplicationBundleIdentifier_;
    std::vector<Subscription> cancellables_;
};

namespace Kestrum {
// A new controller, made exactly as KestrumController::create makes it.
std::shared_ptr<KestrumController> makeController(KestrumConfiguration configuration);
}  // namespace Kestrum

}  // namespace kestrum
