#pragma once
// Other applications' windows on an X11 desktop, through its own connection to the X server:
// the window list (owner process, layer, opacity, bounds), which application is active,
// activating one, and the activation notifications. An application's bundle identifier is its
// windows' WM_CLASS (class or instance name), so a stand-in settings application can be found.
//
// The list is kept, not read: the desktop tells this connection of every change (windows
// created, destroyed, mapped, moved, restacked, reparented, their properties changed), and only
// what changed is asked for again, all requests sent together before the first reply is awaited.
// Reading the list of an unchanged desktop sends the X server nothing.
#include <xcb/xcb.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "kestrum/desktop/ScreenSpace.hpp"
#include "kestrum/ports/WindowServer.hpp"
#include "kestrum/ports/Workspace.hpp"

class QSocketNotifier;
class QThread;

namespace kestrum::desktop {

struct X11Window {
    std::uint32_t id = 0;
    std::int32_t processIdentifier = 0;  // 0 when the window names no process
    std::string instanceName;            // WM_CLASS, first part
    std::string className;               // WM_CLASS, second part
    bool viewable = false;
    bool above = false;                  // kept above ordinary windows
    double opacity = 1;
    Rect bounds;                         // root coordinates in device pixels (top-left origin)
    friend bool operator==(const X11Window&, const X11Window&) = default;
};

class X11Desktop {
public:
    // Connects to the display (the environment's DISPLAY when empty); null when that fails.
    static std::shared_ptr<X11Desktop> connect(const std::string& displayName = {});
    ~X11Desktop();
    X11Desktop(const X11Desktop&) = delete;
    X11Desktop& operator=(const X11Desktop&) = delete;

    // Top-level application windows, front to back; valid until the next call.
    const std::vector<X11Window>& windows();
    // Changes whenever windows() answers something new.
    std::uint64_t generation() const { return generation_; }
    // The window the window manager marks active, if any.
    std::optional<X11Window> activeWindow();
    // Asks the window manager to activate the window (as a pager would, past focus-stealing rules).
    void activate(std::uint32_t window);
    // Called on the main thread whenever the active window changes; needs a running Qt loop.
    Subscription observeActivation(std::function<void()> handler);
    // Takes in what the X server announced and tells observers of activation changes.
    void processEvents();

    xcb_connection_t* connection() const { return connection_; }
    std::uint32_t root() const { return root_; }

private:
    // What is known of one client window, and what of it must be asked for again.
    struct Client {
        std::optional<X11Window> window;  // absent until described, or when it cannot be
        std::uint32_t topLevel = 0;       // the root's child that holds it (a frame, or itself)
        bool propertiesStale = true;
        bool geometryStale = true;
        bool topLevelStale = true;
    };

    X11Desktop(xcb_connection_t* connection, std::uint32_t root);
    std::uint32_t atom(const char* name);
    void internAtoms();
    // Applies queued events to the kept state; true when the active window changed.
    bool takeEvents(bool readSocket);
    void takeEvent(const xcb_generic_event_t& event, bool& activationChanged);
    void markGeometryStale(std::uint32_t window);
    // Brings the kept state up to date with the fewest requests.
    void refresh();
    void refreshList();
    // Asks for what is stale of these clients.
    void refreshClients(const std::vector<std::uint32_t>& ids);
    // Whether a read must take in what the X server sent (no running Qt loop does it).
    bool readsSocketItself() const;
    void tellObservers();
    void notifyLater();

    xcb_connection_t* connection_;
    std::uint32_t root_;
    std::map<std::string, std::uint32_t> atoms_;
    std::unique_ptr<QSocketNotifier> notifier_;
    QThread* thread_ = nullptr;  // where the notifier and this desktop live
    std::map<int, std::function<void()>> observers_;
    int nextObserver_ = 0;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);

    // Clients bottom to top: the window manager's stacking list, or the root's children.
    std::vector<std::uint32_t> order_;
    std::unordered_map<std::uint32_t, Client> clients_;
    bool managed_ = false;
    bool listStale_ = true;
    // Some client may have something stale (events came since the clients were last asked).
    bool clientsStale_ = true;
    std::optional<std::uint32_t> active_;
    bool activeStale_ = true;
    // What windows() answers, made again only after something changed.
    std::vector<X11Window> listed_;
    bool listedStale_ = true;
    std::uint64_t generation_ = 0;
};

// The window list as the core reads it: entries with owner process, layer (0 for ordinary
// windows, 3 for windows kept above), opacity and bounds in top-left global coordinates
// (logical pixels, as Qt places the panel).
class X11WindowServer final : public WindowServer {
public:
    // Option bit: on-screen windows only.
    static constexpr std::uint32_t onScreenOnly = 1;
    X11WindowServer(std::shared_ptr<X11Desktop> desktop, std::shared_ptr<WindowServer> inner)
        : desktop_(std::move(desktop)), inner_(std::move(inner)) {}
    std::optional<LooseValue> copyWindowList(std::uint32_t options, std::uint32_t relativeToWindow) override;
    Rect displayBounds(std::uint32_t displayIdentifier) override;
    std::vector<ScreenDescription> screens() override;

private:
    std::shared_ptr<X11Desktop> desktop_;
    std::shared_ptr<WindowServer> inner_;
    // The last answer and what it was made from: an unchanged desktop gets it again (its
    // dictionaries are shared, not copied), and a window that did not change keeps its entry.
    struct Answer {
        std::uint64_t generation = 0;
        std::uint32_t options = 0;
        std::uint64_t screens = 0;  // QtScreenState::generation
        LooseValue list;
    };
    struct Entry {
        X11Window window;
        LooseValue value;
        std::uint64_t generation = 0;
    };
    std::optional<Answer> answer_;
    std::unordered_map<std::uint32_t, Entry> entries_;
};

// Running applications and activation from the X11 desktop; launching and opening URLs stay
// with the workspace it wraps.
class X11Workspace final : public Workspace {
public:
    X11Workspace(std::shared_ptr<X11Desktop> desktop, std::shared_ptr<Workspace> inner)
        : desktop_(std::move(desktop)), inner_(std::move(inner)) {}
    void launchApplication(const URL& applicationURL) override;
    bool openURL(const URL& url) override;
    std::vector<RunningApplication> runningApplications(std::string_view bundleIdentifier) override;
    std::optional<RunningApplication> runningApplication(std::int32_t processIdentifier) override;
    void activateIgnoringOtherApps(const RunningApplication& application) override;
    std::optional<RunningApplication> frontmostApplication() override;
    Subscription observeApplicationActivation(std::function<void()> handler) override;

private:
    std::shared_ptr<X11Desktop> desktop_;
    std::shared_ptr<Workspace> inner_;
    // The last answer of runningApplications() and the list it was made from.
    struct Running {
        std::uint64_t generation = 0;
        std::string bundleIdentifier;
        std::vector<RunningApplication> applications;
    };
    std::optional<Running> running_;
};

}  // namespace kestrum::desktop
