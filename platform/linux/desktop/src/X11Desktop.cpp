#include "kestrum/desktop/X11Desktop.hpp"

#include <xcb/xcb.h>

#include <QMetaObject>
#include <QSocketNotifier>
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "kestrum/desktop/QtPanelWindow.hpp"

namespace kestrum::desktop {
namespace {

// Replies of xcb are malloc'ed; this frees them.
template <typename Reply>
struct ReplyPtr {
    Reply* reply;
    explicit ReplyPtr(Reply* r) : reply(r) {}
    ~ReplyPtr() { std::free(reply); }
    ReplyPtr(const ReplyPtr&) = delete;
    ReplyPtr& operator=(const ReplyPtr&) = delete;
    Reply* operator->() const { return reply; }
    explicit operator bool() const { return reply != nullptr; }
};

ReplyPtr<xcb_get_property_reply_t> property(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t name,
                                            xcb_atom_t type, std::uint32_t longs = 1024) {
    const auto cookie = xcb_get_property(connection, 0, window, name, type, 0, longs);
    return ReplyPtr<xcb_get_property_reply_t>(xcb_get_property_reply(connection, cookie, nullptr));
}

template <typename Value>
std::vector<Value> propertyValues(const ReplyPtr<xcb_get_property_reply_t>& reply) {
    if (!reply || reply->format != sizeof(Value) * 8) return {};
    const auto* begin = static_cast<const Value*>(xcb_get_property_value(reply.reply));
    const int count = xcb_get_property_value_length(reply.reply) / static_cast<int>(sizeof(Value));
    return std::vector<Value>(begin, begin + std::max(0, count));
}

}  // namespace

std::shared_ptr<X11Desktop> X11Desktop::connect(const std::string& displayName) {
    int screenNumber = 0;
    xcb_connection_t* connection = xcb_connect(displayName.empty() ? nullptr : displayName.c_str(), &screenNumber);
    if (!connection || xcb_connection_has_error(connection)) {
        if (connection) xcb_disconnect(connection);
        return nullptr;
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screenNumber && screens.rem; ++i) xcb_screen_next(&screens);
    if (!screens.rem) {
        xcb_disconnect(connection);
        return nullptr;
    }
    return std::shared_ptr<X11Desktop>(new X11Desktop(connection, screens.data->root));
}

X11Desktop::X11Desktop(xcb_connection_t* connection, std::uint32_t root) : connection_(connection), root_(root) {}

X11Desktop::~X11Desktop() {
    *alive_ = false;
    notifier_.reset();
    xcb_disconnect(connection_);
}

std::uint32_t X11Desktop::atom(const char* name) {
    if (const auto found = atoms_.find(name); found != atoms_.end()) return found->second;
    const auto cookie = xcb_intern_atom(connection_, 0, static_cast<std::uint16_t>(std::strlen(name)), name);
    ReplyPtr<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(connection_, cookie, nullptr));
    const std::uint32_t value = reply ? reply->atom : static_cast<std::uint32_t>(XCB_ATOM_NONE);
    atoms_[name] = value;
    return value;
}

std::optional<X11Window> X11Desktop::describe(std::uint32_t id) {
    ReplyPtr<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(connection_, xcb_get_window_attributes(connection_, id), nullptr));
    if (!attributes || attributes->override_redirect) return std::nullopt;  // gone, or a menu or tooltip
    X11Window window;
    window.id = id;
    window.viewable = attributes->map_state == XCB_MAP_STATE_VIEWABLE;

    const auto wmClass = property(connection_, id, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING);
    if (wmClass && wmClass->format == 8) {
        const char* text = static_cast<const char*>(xcb_get_property_value(wmClass.reply));
        const std::string both(text, static_cast<std::size_t>(xcb_get_property_value_length(wmClass.reply)));
        const auto separator = both.find('\0');
        window.instanceName = both.substr(0, separator);
        if (separator != std::string::npos) {
            window.className = both.substr(separator + 1);
            if (const auto end = window.className.find('\0'); end != std::string::npos) window.className.resize(end);
        }
    }
    if (const auto pids = propertyValues<std::uint32_t>(property(connection_, id, atom("_NET_WM_PID"), XCB_ATOM_CARDINAL));
        !pids.empty()) {
        window.processIdentifier = static_cast<std::int32_t>(pids.front());
    }
    const auto states = propertyValues<std::uint32_t>(property(connection_, id, atom("_NET_WM_STATE"), XCB_ATOM_ATOM));
    window.above = std::find(states.begin(), states.end(), atom("_NET_WM_STATE_ABOVE")) != states.end();
    if (const auto opacity =
            propertyValues<std::uint32_t>(property(connection_, id, atom("_NET_WM_WINDOW_OPACITY"), XCB_ATOM_CARDINAL));
        !opacity.empty()) {
        window.opacity = static_cast<double>(opacity.front()) / 0xFFFFFFFFu;
    }

    ReplyPtr<xcb_get_geometry_reply_t> geometry(xcb_get_geometry_reply(connection_, xcb_get_geometry(connection_, id), nullptr));
    ReplyPtr<xcb_translate_coordinates_reply_t> origin(xcb_translate_coordinates_reply(
        connection_, xcb_translate_coordinates(connection_, id, root_, 0, 0), nullptr));
    if (!geometry || !origin) return std::nullopt;
    window.bounds = Rect{double(origin->dst_x), double(origin->dst_y), double(geometry->width), double(geometry->height)};
    return window;
}

std::vector<X11Window> X11Desktop::windows() {
    // The window manager's list, bottom to top; without a window manager the root's children.
    std::vector<std::uint32_t> stacking =
        propertyValues<std::uint32_t>(property(connection_, root_, atom("_NET_CLIENT_LIST_STACKING"), XCB_ATOM_WINDOW));
    const bool managed = !stacking.empty();
    if (!managed) {
        ReplyPtr<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(connection_, xcb_query_tree(connection_, root_), nullptr));
        if (tree) {
            const xcb_window_t* children = xcb_query_tree_children(tree.reply);
            stacking.assign(children, children + xcb_query_tree_children_length(tree.reply));
        }
    }
    std::vector<X11Window> result;
    for (auto it = stacking.rbegin(); it != stacking.rend(); ++it) {
        auto window = describe(*it);
        // Unmanaged top-level windows count only when they name their application.
        if (window && (managed || !window->className.empty() || !window->instanceName.empty())) {
            result.push_back(std::move(*window));
        }
    }
    if (!observers_.empty()) {
        // Replies may have queued events that the descriptor will not announce again.
        const std::weak_ptr<bool> alive = alive_;
        QMetaObject::invokeMethod(notifier_.get(), [this, alive] {
            if (alive.lock()) processEvents();
        }, Qt::QueuedConnection);
    }
    return result;
}

std::optional<X11Window> X11Desktop::activeWindow() {
    const auto active = propertyValues<std::uint32_t>(property(connection_, root_, atom("_NET_ACTIVE_WINDOW"), XCB_ATOM_WINDOW));
    if (active.empty() || active.front() == XCB_WINDOW_NONE) return std::nullopt;
    return describe(active.front());
}

void X11Desktop::activate(std::uint32_t window) {
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = atom("_NET_ACTIVE_WINDOW");
    message.data.data32[0] = 2;  // from a pager: the window manager does not hold it back
    message.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(connection_, 0, root_, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&message));
    // Without a window manager nobody handles the message: raise the window ourselves.
    const std::uint32_t above = XCB_STACK_MODE_ABOVE;
    xcb_configure_window(connection_, window, XCB_CONFIG_WINDOW_STACK_MODE, &above);
    xcb_flush(connection_);
}

Subscription X11Desktop::observeActivation(std::function<void()> handler) {
    if (!notifier_) {
        ReplyPtr<xcb_get_window_attributes_reply_t> attributes(
            xcb_get_window_attributes_reply(connection_, xcb_get_window_attributes(connection_, root_), nullptr));
        // Our own event mask on the root, widened: other clients' masks are their own.
        const std::uint32_t mask = (attributes ? attributes->your_event_mask : 0) | XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_change_window_attributes(connection_, root_, XCB_CW_EVENT_MASK, &mask);
        xcb_flush(connection_);
        notifier_ = std::make_unique<QSocketNotifier>(static_cast<qintptr>(xcb_get_file_descriptor(connection_)),
                                                      QSocketNotifier::Read);
        QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(), [this] { processEvents(); });
    }
    const int id = nextObserver_++;
    observers_[id] = std::move(handler);
    const std::weak_ptr<bool> alive = alive_;
    return Subscription([this, alive, id] {
        if (alive.lock()) observers_.erase(id);
    });
}

void X11Desktop::processEvents() {
    bool activationChanged = false;
    const std::uint32_t activeAtom = atom("_NET_ACTIVE_WINDOW");
    while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
        if ((event->response_type & 0x7F) == XCB_PROPERTY_NOTIFY) {
            const auto* change = reinterpret_cast<const xcb_property_notify_event_t*>(event);
            if (change->window == root_ && change->atom == activeAtom) activationChanged = true;
        }
        std::free(event);
    }
    if (!activationChanged) return;
    // Handlers may subscribe or cancel while being told.
    std::vector<std::function<void()>> handlers;
    for (const auto& [id, handler] : observers_) handlers.push_back(handler);
    for (const auto& handler : handlers) handler();
}

// MARK: - Window server

std::optional<LooseValue> X11WindowServer::copyWindowList(std::uint32_t options, std::uint32_t) {
    const Rect primary = primaryScreenGeometry();
    LooseList entries;
    for (const X11Window& window : desktop_->windows()) {
        if ((options & onScreenOnly) && !window.viewable) continue;
        LooseDictionary entry;
        entry["kCGWindowNumber"] = LooseValue(static_cast<std::int64_t>(window.id));
        if (window.processIdentifier != 0) entry["kCGWindowOwnerPID"] = LooseValue(window.processIdentifier);
        if (!window.className.empty()) entry["kCGWindowOwnerName"] = LooseValue(window.className);
        entry["kCGWindowLayer"] = LooseValue(window.above ? 3 : 0);
        entry["kCGWindowAlpha"] = LooseValue(window.opacity);
        entry["kCGWindowBounds"] = LooseValue(LooseDictionary{{"X", LooseValue(window.bounds.x() - primary.x())},
                                                              {"Y", LooseValue(window.bounds.y() - primary.y())},
                                                              {"Width", LooseValue(window.bounds.width())},
                                                              {"Height", LooseValue(window.bounds.height())}});
        entries.emplace_back(std::move(entry));
    }
    return LooseValue(std::move(entries));
}

Rect X11WindowServer::displayBounds(std::uint32_t displayIdentifier) {
    return inner_ ? inner_->displayBounds(displayIdentifier) : Rect{};
}

std::vector<ScreenDescription> X11WindowServer::screens() { return inner_ ? inner_->screens() : std::vector<ScreenDescription>{}; }

// MARK: - Workspace

namespace {
std::optional<std::string> bundleIdentifierOf(const X11Window& window) {
    if (!window.className.empty()) return window.className;
    if (!window.instanceName.empty()) return window.instanceName;
    return std::nullopt;
}
}  // namespace

void X11Workspace::launchApplication(const URL& applicationURL) {
    if (inner_) inner_->launchApplication(applicationURL);
}

bool X11Workspace::openURL(const URL& url) { return inner_ && inner_->openURL(url); }

std::vector<RunningApplication> X11Workspace::runningApplications(std::string_view bundleIdentifier) {
    std::vector<RunningApplication> result;
    for (const X11Window& window : desktop_->windows()) {
        if (window.processIdentifier == 0) continue;
        if (window.className != bundleIdentifier && window.instanceName != bundleIdentifier) continue;
        const bool known = std::any_of(result.begin(), result.end(), [&](const RunningApplication& application) {
            return application.processIdentifier == window.processIdentifier;
        });
        if (!known) {
            result.push_back(RunningApplication{window.processIdentifier, std::string(bundleIdentifier),
                                                ActivationPolicy::regular});
        }
    }
    return result;
}

std::optional<RunningApplication> X11Workspace::runningApplication(std::int32_t processIdentifier) {
    for (const X11Window& window : desktop_->windows()) {
        if (window.processIdentifier == processIdentifier) {
            return RunningApplication{processIdentifier, bundleIdentifierOf(window), ActivationPolicy::regular};
        }
    }
    return inner_ ? inner_->runningApplication(processIdentifier) : std::nullopt;
}

void X11Workspace::activateIgnoringOtherApps(const RunningApplication& application) {
    for (const X11Window& window : desktop_->windows()) {
        if (window.processIdentifier == application.processIdentifier && window.viewable) {
            desktop_->activate(window.id);
            return;
        }
    }
}

std::optional<RunningApplication> X11Workspace::frontmostApplication() {
    const auto active = desktop_->activeWindow();
    if (!active || active->processIdentifier == 0) return inner_ ? inner_->frontmostApplication() : std::nullopt;
    return RunningApplication{active->processIdentifier, bundleIdentifierOf(*active), ActivationPolicy::regular};
}

Subscription X11Workspace::observeApplicationActivation(std::function<void()> handler) {
    return desktop_->observeActivation(std::move(handler));
}

}  // namespace kestrum::desktop
