#include "kestrum/desktop/X11Desktop.hpp"

#include <xcb/xcb.h>

#include <QCoreApplication>
#include <QMetaObject>
#include <QSocketNotifier>
#include <QThread>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <unordered_set>

#include "kestrum/desktop/QtScreens.hpp"
#include "kestrum/desktop/ScreenSpace.hpp"

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

using PropertyReply = ReplyPtr<xcb_get_property_reply_t>;

xcb_get_property_cookie_t askProperty(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t name,
                                      xcb_atom_t type, std::uint32_t longs = 1024) {
    return xcb_get_property(connection, 0, window, name, type, 0, longs);
}

PropertyReply takeProperty(xcb_connection_t* connection, xcb_get_property_cookie_t cookie) {
    return PropertyReply(xcb_get_property_reply(connection, cookie, nullptr));
}

template <typename Value>
std::vector<Value> propertyValues(const PropertyReply& reply) {
    if (!reply || reply->format != sizeof(Value) * 8) return {};
    const auto* begin = static_cast<const Value*>(xcb_get_property_value(reply.reply));
    const int count = xcb_get_property_value_length(reply.reply) / static_cast<int>(sizeof(Value));
    return std::vector<Value>(begin, begin + std::max(0, count));
}

constexpr const char* atomNames[] = {"_NET_CLIENT_LIST_STACKING", "_NET_ACTIVE_WINDOW",    "_NET_WM_PID",
                                     "_NET_WM_STATE",             "_NET_WM_STATE_ABOVE",   "_NET_WM_WINDOW_OPACITY"};

// What this connection wants to hear of the root window and of every client window.
constexpr std::uint32_t rootEvents = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_PROPERTY_CHANGE;
constexpr std::uint32_t clientEvents = XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_PROPERTY_CHANGE;

// Windows deeper than this below the root are not followed to their top level.
constexpr int maximumNesting = 8;

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

X11Desktop::X11Desktop(xcb_connection_t* connection, std::uint32_t root) : connection_(connection), root_(root) {
    xcb_change_window_attributes(connection_, root_, XCB_CW_EVENT_MASK, &rootEvents);
    internAtoms();
    // Events are taken in as they come while a Qt loop runs, and before every read otherwise.
    if (QCoreApplication::instance()) {
        thread_ = QThread::currentThread();
        notifier_ = std::make_unique<QSocketNotifier>(static_cast<qintptr>(xcb_get_file_descriptor(connection_)),
                                                      QSocketNotifier::Read);
        QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(), [this] { processEvents(); });
    }
}

X11Desktop::~X11Desktop() {
    *alive_ = false;
    notifier_.reset();
    xcb_disconnect(connection_);
}

void X11Desktop::internAtoms() {
    std::vector<xcb_intern_atom_cookie_t> cookies;
    for (const char* name : atomNames) {
        cookies.push_back(xcb_intern_atom(connection_, 0, static_cast<std::uint16_t>(std::strlen(name)), name));
    }
    for (std::size_t i = 0; i < cookies.size(); ++i) {
        ReplyPtr<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(connection_, cookies[i], nullptr));
        atoms_[atomNames[i]] = reply ? reply->atom : static_cast<std::uint32_t>(XCB_ATOM_NONE);
    }
}

std::uint32_t X11Desktop::atom(const char* name) {
    if (const auto found = atoms_.find(name); found != atoms_.end()) return found->second;
    const auto cookie = xcb_intern_atom(connection_, 0, static_cast<std::uint16_t>(std::strlen(name)), name);
    ReplyPtr<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(connection_, cookie, nullptr));
    const std::uint32_t value = reply ? reply->atom : static_cast<std::uint32_t>(XCB_ATOM_NONE);
    atoms_[name] = value;
    return value;
}

// MARK: - Events

bool X11Desktop::takeEvents(bool readSocket) {
    bool activationChanged = false;
    while (xcb_generic_event_t* event =
               readSocket ? xcb_poll_for_event(connection_) : xcb_poll_for_queued_event(connection_)) {
        takeEvent(*event, activationChanged);
        std::free(event);
        // Some client may need asking again; a desktop without events is not looked through.
        clientsStale_ = true;
    }
    return activationChanged;
}

void X11Desktop::markGeometryStale(std::uint32_t window) {
    for (auto& [id, client] : clients_) {
        if (id == window || client.topLevel == window) client.geometryStale = true;
    }
}

void X11Desktop::takeEvent(const xcb_generic_event_t& event, bool& activationChanged) {
    switch (event.response_type & 0x7F) {
    case XCB_PROPERTY_NOTIFY: {
        const auto& change = reinterpret_cast<const xcb_property_notify_event_t&>(event);
        if (change.window == root_) {
            if (change.atom == atoms_["_NET_CLIENT_LIST_STACKING"]) listStale_ = true;
            if (change.atom == atoms_["_NET_ACTIVE_WINDOW"]) {
                activeStale_ = true;
                activationChanged = true;
            }
        } else if (const auto client = clients_.find(change.window); client != clients_.end()) {
            if (change.atom == XCB_ATOM_WM_CLASS || change.atom == atoms_["_NET_WM_PID"] ||
                change.atom == atoms_["_NET_WM_STATE"] || change.atom == atoms_["_NET_WM_WINDOW_OPACITY"]) {
                client->second.propertiesStale = true;
            }
        }
        break;
    }
    case XCB_CONFIGURE_NOTIFY: {
        const auto& configure = reinterpret_cast<const xcb_configure_notify_event_t&>(event);
        markGeometryStale(configure.window);
        // Without a window manager the stacking order is the root's children's order.
        if (!managed_ && configure.event == root_) listStale_ = true;
        break;
    }
    case XCB_MAP_NOTIFY:
    case XCB_UNMAP_NOTIFY: {
        // Both events keep the window in the same place of their layout.
        const auto& map = reinterpret_cast<const xcb_map_notify_event_t&>(event);
        for (auto& [id, client] : clients_) {
            if (id == map.window || client.topLevel == map.window) client.propertiesStale = true;
        }
        break;
    }
    case XCB_DESTROY_NOTIFY: {
        const auto& destroyed = reinterpret_cast<const xcb_destroy_notify_event_t&>(event);
        if (clients_.erase(destroyed.window) > 0) listStale_ = true;
        for (auto& [id, client] : clients_) {
            if (client.topLevel == destroyed.window) client.topLevelStale = true;
        }
        break;
    }
    case XCB_REPARENT_NOTIFY: {
        const auto& reparent = reinterpret_cast<const xcb_reparent_notify_event_t&>(event);
        if (const auto client = clients_.find(reparent.window); client != clients_.end()) {
            client->second.topLevelStale = true;
            client->second.geometryStale = true;
        }
        if (!managed_) listStale_ = true;
        break;
    }
    case XCB_CREATE_NOTIFY:
    case XCB_CIRCULATE_NOTIFY:
        if (!managed_) listStale_ = true;
        break;
    default:
        break;
    }
}

void X11Desktop::processEvents() {
    if (takeEvents(true)) tellObservers();
}

void X11Desktop::tellObservers() {
    // Handlers may subscribe or cancel while being told.
    std::vector<std::function<void()>> handlers;
    for (const auto& [id, handler] : observers_) handlers.push_back(handler);
    for (const auto& handler : handlers) handler();
}

// An activation seen outside the notifier (read from the socket before a read of the list, or
// while replies were awaited) is told to observers later, never from inside a read.
void X11Desktop::notifyLater() {
    if (observers_.empty() || !notifier_) return;
    const std::weak_ptr<bool> alive = alive_;
    QMetaObject::invokeMethod(
        notifier_.get(),
        [this, alive] {
            if (alive.lock()) tellObservers();
        },
        Qt::QueuedConnection);
}

bool X11Desktop::readsSocketItself() const {
    // While a Qt loop runs, the notifier takes in whatever arrives; a read would find nothing.
    return !notifier_ || thread_->loopLevel() == 0;
}

// MARK: - Kept state

void X11Desktop::refreshList() {
    listStale_ = false;
    // The window manager's list, bottom to top; without a window manager the root's children.
    std::vector<std::uint32_t> order = propertyValues<std::uint32_t>(takeProperty(
        connection_, askProperty(connection_, root_, atoms_["_NET_CLIENT_LIST_STACKING"], XCB_ATOM_WINDOW, 65536)));
    managed_ = !order.empty();
    if (!managed_) {
        ReplyPtr<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(connection_, xcb_query_tree(connection_, root_), nullptr));
        if (tree) {
            const xcb_window_t* children = xcb_query_tree_children(tree.reply);
            order.assign(children, children + xcb_query_tree_children_length(tree.reply));
        }
    }
    const std::unordered_set<std::uint32_t> listed(order.begin(), order.end());
    std::erase_if(clients_, [&](const auto& entry) { return !listed.contains(entry.first); });
    for (const std::uint32_t id : order) {
        if (clients_.try_emplace(id).second) {
            // Told of its changes from now on; what it is now is asked for next.
            xcb_change_window_attributes(connection_, id, XCB_CW_EVENT_MASK, &clientEvents);
        }
    }
    order_ = std::move(order);
    listedStale_ = true;
    clientsStale_ = true;
}

void X11Desktop::refreshClients(const std::vector<std::uint32_t>& ids) {
    struct Asked {
        std::uint32_t id;
        Client* client;
        xcb_get_window_attributes_cookie_t attributes{};
        xcb_get_property_cookie_t wmClass{}, pid{}, state{}, opacity{};
        xcb_get_geometry_cookie_t geometry{};
        xcb_translate_coordinates_cookie_t origin{};
        xcb_query_tree_cookie_t tree{};
        bool properties = false, bounds = false, topLevel = false;
    };
    std::vector<Asked> asked;
    for (const std::uint32_t id : ids) {
        Client& client = clients_[id];
        if (!client.propertiesStale && !client.geometryStale && !client.topLevelStale) continue;
        Asked& a = asked.emplace_back(Asked{id, &client});
        if ((a.properties = client.propertiesStale)) {
            a.attributes = xcb_get_window_attributes(connection_, id);
            a.wmClass = askProperty(connection_, id, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING);
            a.pid = askProperty(connection_, id, atoms_["_NET_WM_PID"], XCB_ATOM_CARDINAL, 1);
            a.state = askProperty(connection_, id, atoms_["_NET_WM_STATE"], XCB_ATOM_ATOM);
            a.opacity = askProperty(connection_, id, atoms_["_NET_WM_WINDOW_OPACITY"], XCB_ATOM_CARDINAL, 1);
        }
        if ((a.bounds = client.geometryStale)) {
            a.geometry = xcb_get_geometry(connection_, id);
            a.origin = xcb_translate_coordinates(connection_, id, root_, 0, 0);
        }
        if ((a.topLevel = client.topLevelStale)) a.tree = xcb_query_tree(connection_, id);
    }
    if (asked.empty()) return;
    listedStale_ = true;

    // The replies, in the order asked. A window that went away meanwhile answers nothing; it
    // stays undescribed until its destruction is seen.
    std::vector<std::pair<Client*, std::uint32_t>> climbing;  // client, the parent reached so far
    for (Asked& a : asked) {
        Client& client = *a.client;
        if (!client.window) {
            client.window.emplace();
            client.window->id = a.id;
        }
        X11Window& window = *client.window;
        bool gone = false;
        if (a.properties) {
            client.propertiesStale = false;
            ReplyPtr<xcb_get_window_attributes_reply_t> attributes(
                xcb_get_window_attributes_reply(connection_, a.attributes, nullptr));
            const PropertyReply wmClass = takeProperty(connection_, a.wmClass);
            const auto pids = propertyValues<std::uint32_t>(takeProperty(connection_, a.pid));
            const auto states = propertyValues<std::uint32_t>(takeProperty(connection_, a.state));
            const auto opacity = propertyValues<std::uint32_t>(takeProperty(connection_, a.opacity));
            // Gone, or a menu or tooltip (they never count as application windows).
            gone = !attributes || attributes->override_redirect;
            if (attributes) window.viewable = attributes->map_state == XCB_MAP_STATE_VIEWABLE;
            window.instanceName.clear();
            window.className.clear();
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
            window.processIdentifier = pids.empty() ? 0 : static_cast<std::int32_t>(pids.front());
            window.above = std::find(states.begin(), states.end(), atoms_["_NET_WM_STATE_ABOVE"]) != states.end();
            window.opacity = opacity.empty() ? 1.0 : static_cast<double>(opacity.front()) / 0xFFFFFFFFu;
        }
        if (a.bounds) {
            client.geometryStale = false;
            ReplyPtr<xcb_get_geometry_reply_t> geometry(xcb_get_geometry_reply(connection_, a.geometry, nullptr));
            ReplyPtr<xcb_translate_coordinates_reply_t> origin(
                xcb_translate_coordinates_reply(connection_, a.origin, nullptr));
            if (geometry && origin) {
                window.bounds = Rect{double(origin->dst_x), double(origin->dst_y), double(geometry->width),
                                     double(geometry->height)};
            } else {
                gone = true;
            }
        }
        if (a.topLevel) {
            client.topLevelStale = false;
            ReplyPtr<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(connection_, a.tree, nullptr));
            client.topLevel = a.id;
            if (tree && tree->parent != root_) climbing.emplace_back(&client, tree->parent);
        }
        if (gone) client.window.reset();
    }
    // Frames of a window manager: up to the root's child, one level for all clients at a time.
    for (int level = 0; level < maximumNesting && !climbing.empty(); ++level) {
        std::vector<xcb_query_tree_cookie_t> cookies;
        for (const auto& [client, parent] : climbing) cookies.push_back(xcb_query_tree(connection_, parent));
        std::vector<std::pair<Client*, std::uint32_t>> next;
        for (std::size_t i = 0; i < climbing.size(); ++i) {
            ReplyPtr<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(connection_, cookies[i], nullptr));
            auto [client, parent] = climbing[i];
            client->topLevel = parent;
            if (tree && tree->parent != root_ && tree->parent != XCB_WINDOW_NONE) next.emplace_back(client, tree->parent);
        }
        climbing = std::move(next);
    }
}

void X11Desktop::refresh() {
    bool activationChanged = readsSocketItself() && takeEvents(true);
    if (listStale_ || clientsStale_) {
        if (listStale_) refreshList();
        if (clientsStale_) {
            clientsStale_ = false;
            refreshClients(order_);
        }
        // Events that arrived while the replies were awaited are queued, not announced.
        if (takeEvents(false)) activationChanged = true;
    }
    if (activationChanged) notifyLater();
}

const std::vector<X11Window>& X11Desktop::windows() {
    refresh();
    if (!listedStale_) return listed_;
    listedStale_ = false;
    ++generation_;
    listed_.clear();
    for (auto it = order_.rbegin(); it != order_.rend(); ++it) {
        const auto client = clients_.find(*it);
        if (client == clients_.end() || !client->second.window) continue;
        const X11Window& window = *client->second.window;
        // Unmanaged top-level windows count only when they name their application.
        if (managed_ || !window.className.empty() || !window.instanceName.empty()) listed_.push_back(window);
    }
    return listed_;
}

std::optional<X11Window> X11Desktop::activeWindow() {
    refresh();
    if (activeStale_) {
        activeStale_ = false;
        const auto active = propertyValues<std::uint32_t>(
            takeProperty(connection_, askProperty(connection_, root_, atoms_["_NET_ACTIVE_WINDOW"], XCB_ATOM_WINDOW, 1)));
        active_ = active.empty() || active.front() == XCB_WINDOW_NONE ? std::nullopt
                                                                       : std::optional<std::uint32_t>(active.front());
        if (takeEvents(false)) notifyLater();
    }
    if (!active_) return std::nullopt;
    if (const auto client = clients_.find(*active_); client != clients_.end()) return client->second.window;
    // Not a listed client (a window manager that marks its own windows active): asked once.
    refreshClients({*active_});
    if (takeEvents(false)) notifyLater();
    const auto described = clients_[*active_].window;
    clients_.erase(*active_);
    return described;
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
    // A round trip, not just a flush: the flow may end the process next, and under load an
    // activation still unread by the server when the process ended was often never carried out
    // (the focus stayed where it was). Once the server has answered, it has taken the request.
    ReplyPtr<xcb_get_input_focus_reply_t> taken(
        xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
}

Subscription X11Desktop::observeActivation(std::function<void()> handler) {
    const int id = nextObserver_++;
    observers_[id] = std::move(handler);
    const std::weak_ptr<bool> alive = alive_;
    return Subscription([this, alive, id] {
        if (alive.lock()) observers_.erase(id);
    });
}

// MARK: - Window server

std::optional<LooseValue> X11WindowServer::copyWindowList(std::uint32_t options, std::uint32_t) {
    const std::vector<X11Window>& windows = desktop_->windows();
    const std::uint64_t generation = desktop_->generation();
    const QtScreenState& screens = qtScreens();
    const bool sameScreens = answer_ && answer_->screens == screens.generation;
    if (sameScreens && answer_->generation == generation && answer_->options == options) return answer_->list;
    if (!sameScreens) entries_.clear();
    const Rect& primary = screens.primary;

    LooseList list;
    for (const X11Window& window : windows) {
        if ((options & onScreenOnly) && !window.viewable) continue;
        Entry& entry = entries_[window.id];
        entry.generation = generation;
        if (entry.value.dictionary() && entry.window == window) {
            list.push_back(entry.value);
            continue;
        }
        const Rect bounds = logicalFromDevice(window.bounds, screens.scales);
        LooseDictionary values;
        if (window.processIdentifier != 0) values["kCGWindowOwnerPID"] = LooseValue(window.processIdentifier);
        values["kCGWindowLayer"] = LooseValue(window.above ? 3 : 0);
        values["kCGWindowAlpha"] = LooseValue(window.opacity);
        values["kCGWindowBounds"] = LooseValue(LooseDictionary{{"X", LooseValue(bounds.x() - primary.x())},
                                                               {"Y", LooseValue(bounds.y() - primary.y())},
                                                               {"Width", LooseValue(bounds.width())},
                                                               {"Height", LooseValue(bounds.height())}});
        entry.window = window;
        entry.value = LooseValue(std::move(values));
        list.push_back(entry.value);
    }
    std::erase_if(entries_, [&](const auto& kept) { return kept.second.generation != generation; });
    answer_ = Answer{generation, options, screens.generation, LooseValue(std::move(list))};
    return answer_->list;
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
    const std::vector<X11Window>& windows = desktop_->windows();
    // Asked on every tracker step: an unchanged list gives the last answer without a look.
    if (running_ && running_->generation == desktop_->generation() && running_->bundleIdentifier == bundleIdentifier) {
        return running_->applications;
    }
    std::vector<RunningApplication> result;
    for (const X11Window& window : windows) {
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
    running_ = Running{desktop_->generation(), std::string(bundleIdentifier), result};
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
