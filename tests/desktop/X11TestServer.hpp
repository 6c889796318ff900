#pragma once
// A private X server for the desktop tests and benchmarks: Xvfb on a display number it picks
// itself (-displayfd), a white root, optionally a window manager (openbox) and a screen
// resolution resource, one xcb connection of our own, and the few X operations the tests share
// (stand-in windows, window lists, properties, waiting for a window to get somewhere).
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <vector>

extern char** environ;

namespace kestrum::x11test {

// Starts a program with its standard output on `stdoutFd` (when not -1) and its standard error
// on /dev/null; -1 when it cannot be started.
inline pid_t spawnProcess(const std::vector<std::string>& arguments, const std::vector<std::string>& environment,
                          int stdoutFd = -1) {
    std::vector<std::string> args = arguments;
    std::vector<char*> argv;
    for (auto& argument : args) argv.push_back(argument.data());
    argv.push_back(nullptr);
    std::vector<std::string> env = environment;
    std::vector<char*> envp;
    for (auto& entry : env) envp.push_back(entry.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (stdoutFd >= 0) {
        posix_spawn_file_actions_adddup2(&actions, stdoutFd, STDOUT_FILENO);
    } else {
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    }
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const bool search = args.front().find('/') == std::string::npos;
    const int result = search ? ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data())
                              : ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    return result == 0 ? pid : -1;
}

inline void endProcess(pid_t& pid, int signal = SIGTERM) {
    if (pid <= 0) return;
    ::kill(pid, signal);
    ::waitpid(pid, nullptr, 0);
    pid = -1;
}

// A started program whose standard output is read line by line.
class Child {
public:
    Child() = default;
    Child(const std::vector<std::string>& arguments, const std::vector<std::string>& environment) {
        int out[2];
        if (::pipe(out) != 0) return;
        pid_ = spawnProcess(arguments, environment, out[1]);
        ::close(out[1]);
        output_ = out[0];
    }
    ~Child() {
        endProcess(pid_, SIGKILL);
        if (output_ >= 0) ::close(output_);
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    pid_t pid() const { return pid_; }
    // The wait status once the program has ended by itself (it is then collected), or nothing
    // when it still runs after `timeout`.
    std::optional<int> waitForExit(std::chrono::milliseconds timeout) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (pid_ > 0) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return status;
            }
            if (std::chrono::steady_clock::now() > deadline) break;
            ::poll(nullptr, 0, 10);
        }
        return std::nullopt;
    }
    // The next line (without its line feed), or nothing when none came within the time.
    std::optional<std::string> readLine(std::chrono::milliseconds timeout = std::chrono::seconds(20)) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (true) {
            if (const auto end = buffer_.find('\n'); end != std::string::npos) {
                std::string line = buffer_.substr(0, end);
                buffer_.erase(0, end + 1);
                return line;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                                    std::chrono::steady_clock::now());
            pollfd descriptor{output_, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&descriptor, 1, static_cast<int>(left.count())) <= 0) return std::nullopt;
            std::array<char, 4096> chunk{};
            const ssize_t count = ::read(output_, chunk.data(), chunk.size());
            if (count <= 0) return std::nullopt;
            buffer_.append(chunk.data(), static_cast<std::size_t>(count));
        }
    }

private:
    pid_t pid_ = -1;
    int output_ = -1;
    std::string buffer_;
};

// A top-level window as the tests see it: root coordinates of the client window.
struct WindowGeometry {
    int x = 0, y = 0, width = 0, height = 0;
    xcb_window_t id = 0;
    bool operator==(const WindowGeometry&) const = default;
};

class XServer {
public:
    struct Options {
        int width = 1440;
        int height = 900;
        bool windowManager = false;
        std::optional<int> dpi;  // Xft.dpi in the server's resource database
    };

    explicit XServer(Options options) : options_(options) {
        int ready[2];
        if (::pipe(ready) != 0) return;
        const std::string screen = std::to_string(options.width) + "x" + std::to_string(options.height) + "x24";
        server_ = spawnProcess({"Xvfb", "-displayfd", std::to_string(ready[1]), "-screen", "0", screen, "-nolisten",
                                "tcp", "-wr"},
                               baseEnvironment());
        ::close(ready[1]);
        if (server_ < 0) {
            ::close(ready[0]);
            return;
        }
        // The server writes its display number once it accepts connections.
        std::array<char, 16> number{};
        const ssize_t count = ::read(ready[0], number.data(), number.size() - 1);
        ::close(ready[0]);
        if (count <= 0) return;
        std::string digits(number.data(), static_cast<std::size_t>(count));
        while (!digits.empty() && (digits.back() == '\n' || digits.back() == '\0')) digits.pop_back();
        display_ = ":" + digits;
        connection_ = xcb_connect(display_.c_str(), nullptr);
        if (xcb_connection_has_error(connection_)) return;
        const xcb_screen_t* screenData = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
        root_ = screenData->root;
        // Structure changes of every top-level window wake the waits below.
        const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_change_window_attributes(connection_, root_, XCB_CW_EVENT_MASK, &mask);
        if (options.dpi) {
            const std::string resources = "Xft.dpi:\t" + std::to_string(*options.dpi) + "\n";
            xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, root_, XCB_ATOM_RESOURCE_MANAGER, XCB_ATOM_STRING,
                                8, static_cast<std::uint32_t>(resources.size()), resources.data());
        }
        sync();
        if (options.windowManager && !startWindowManager()) return;
        started_ = true;
    }

    ~XServer() {
        endProcess(windowManager_);
        if (connection_) xcb_disconnect(connection_);
        endProcess(server_);
    }
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

    bool started() const { return started_; }
    const std::string& display() const { return display_; }
    xcb_connection_t* connection() const { return connection_; }
    xcb_window_t root() const { return root_; }
    pid_t serverProcess() const { return server_; }

    // This process's environment without any display or platform choice, with this server as
    // the display; the variables of `extra` replace those of the same name.
    std::vector<std::string> environment(const std::vector<std::string>& extra = {}) const {
        std::vector<std::string> result = baseEnvironment();
        result.push_back("DISPLAY=" + display_);
        for (const auto& entry : extra) {
            const std::string name = entry.substr(0, entry.find('=') + 1);
            std::erase_if(result, [&](const std::string& e) { return e.rfind(name, 0) == 0; });
            result.push_back(entry);
        }
        return result;
    }

    static std::vector<std::string> baseEnvironment() {
        std::vector<std::string> result;
        for (char** entry = environ; *entry; ++entry) {
            const std::string text(*entry);
            if (text.rfind("DISPLAY=", 0) == 0 || text.rfind("WAYLAND_DISPLAY=", 0) == 0 ||
                text.rfind("QT_QPA_PLATFORM=", 0) == 0 || text.rfind("QT_SCALE_FACTOR=", 0) == 0) {
                continue;
            }
            result.push_back(text);
        }
        return result;
    }

    xcb_atom_t atom(const char* name) const {
        auto* reply = xcb_intern_atom_reply(
            connection_, xcb_intern_atom(connection_, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
        const xcb_atom_t value = reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
        std::free(reply);
        return value;
    }

    std::vector<std::uint32_t> cardinals(xcb_window_t window, const char* name, xcb_atom_t type) const {
        auto* reply = xcb_get_property_reply(connection_, xcb_get_property(connection_, 0, window, atom(name), type, 0, 1024),
                                             nullptr);
        std::vector<std::uint32_t> values;
        if (reply && reply->format == 32) {
            const auto* begin = static_cast<const std::uint32_t*>(xcb_get_property_value(reply));
            values.assign(begin, begin + xcb_get_property_value_length(reply) / 4);
        }
        std::free(reply);
        return values;
    }

    // Waits until the server has handled everything sent so far.
    void sync() const { std::free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr)); }

    // A stand-in application window: WM_CLASS "instance\0class", a process id, a grey background,
    // placed where asked also under a window manager.
    xcb_window_t makeWindow(WindowGeometry g, const std::string& instance, const std::string& windowClass,
                            std::uint32_t pid, bool map = true) const {
        const xcb_window_t window = xcb_generate_id(connection_);
        const std::uint32_t values[] = {0xDDDDDD, XCB_EVENT_MASK_STRUCTURE_NOTIFY};
        xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window, root_, static_cast<std::int16_t>(g.x),
                          static_cast<std::int16_t>(g.y), static_cast<std::uint16_t>(g.width),
                          static_cast<std::uint16_t>(g.height), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT,
                          XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK, values);
        const std::string wmClass = instance + '\0' + windowClass + '\0';
        xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8,
                            static_cast<std::uint32_t>(wmClass.size()), wmClass.data());
        xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window, atom("_NET_WM_PID"), XCB_ATOM_CARDINAL, 32, 1,
                            &pid);
        // WM_NORMAL_HINTS with a user-given position and size (flags 1 and 2), so that a window
        // manager keeps the place.
        std::array<std::uint32_t, 18> hints{};
        hints[0] = 1 | 2;
        hints[1] = static_cast<std::uint32_t>(g.x);
        hints[2] = static_cast<std::uint32_t>(g.y);
        hints[3] = static_cast<std::uint32_t>(g.width);
        hints[4] = static_cast<std::uint32_t>(g.height);
        xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NORMAL_HINTS,
                            XCB_ATOM_WM_SIZE_HINTS, 32, static_cast<std::uint32_t>(hints.size()), hints.data());
        if (map) xcb_map_window(connection_, window);
        sync();
        return window;
    }

    // Moves a top-level window (through the window manager when there is one).
    void moveWindow(xcb_window_t window, int x, int y) const {
        const std::uint32_t position[] = {static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y)};
        xcb_configure_window(connection_, window, XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y, position);
        xcb_flush(connection_);
    }

    // The client windows, bottom to top: the window manager's list, or the root's children.
    std::vector<xcb_window_t> clientsBottomToTop() const {
        std::vector<xcb_window_t> clients;
        for (const std::uint32_t id : cardinals(root_, "_NET_CLIENT_LIST_STACKING", XCB_ATOM_WINDOW)) clients.push_back(id);
        if (!clients.empty()) return clients;
        auto* tree = xcb_query_tree_reply(connection_, xcb_query_tree(connection_, root_), nullptr);
        if (tree) {
            const xcb_window_t* children = xcb_query_tree_children(tree);
            clients.assign(children, children + xcb_query_tree_children_length(tree));
        }
        std::free(tree);
        return clients;
    }

    std::optional<WindowGeometry> geometry(xcb_window_t window) const {
        auto* geometry = xcb_get_geometry_reply(connection_, xcb_get_geometry(connection_, window), nullptr);
        auto* origin = xcb_translate_coordinates_reply(connection_, xcb_translate_coordinates(connection_, window, root_, 0, 0),
                                                       nullptr);
        std::optional<WindowGeometry> result;
        if (geometry && origin) result = WindowGeometry{origin->dst_x, origin->dst_y, geometry->width, geometry->height, window};
        std::free(geometry);
        std::free(origin);
        return result;
    }

    // The viewable client windows of a process, bottom to top.
    std::vector<WindowGeometry> windowsOf(pid_t pid) const {
        std::vector<WindowGeometry> result;
        for (const xcb_window_t window : clientsBottomToTop()) {
            const auto owner = cardinals(window, "_NET_WM_PID", XCB_ATOM_CARDINAL);
            if (owner.size() != 1 || owner.front() != static_cast<std::uint32_t>(pid)) continue;
            auto* attributes = xcb_get_window_attributes_reply(connection_, xcb_get_window_attributes(connection_, window),
                                                               nullptr);
            const bool viewable = attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
            std::free(attributes);
            if (!viewable) continue;
            if (const auto g = geometry(window)) result.push_back(*g);
        }
        return result;
    }

    // Waits, event by event, until `done` holds; false after `timeout`.
    bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = std::chrono::seconds(20)) const {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (!done()) {
            if (std::chrono::steady_clock::now() >= deadline) return false;
            // Some changes (a client's own properties) send us no event: look again now and then.
            pollfd descriptor{xcb_get_file_descriptor(connection_), POLLIN, 0};
            ::poll(&descriptor, 1, 50);
            while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) std::free(event);
        }
        return true;
    }

    // Waits until the process shows a window that satisfies `done`.
    std::optional<WindowGeometry> waitForWindow(pid_t pid, const std::function<bool(const WindowGeometry&)>& done) const {
        std::optional<WindowGeometry> found;
        waitUntil([&] {
            for (const WindowGeometry& g : windowsOf(pid)) {
                if (done(g)) {
                    found = g;
                    return true;
                }
            }
            return false;
        });
        return found;
    }

    // Everything a process shows, for failure messages.
    std::string describeWindowsOf(pid_t pid) const {
        std::string shown;
        for (const WindowGeometry& g : windowsOf(pid)) {
            shown += " (" + std::to_string(g.x) + ", " + std::to_string(g.y) + ", " + std::to_string(g.width) + ", " +
                     std::to_string(g.height) + ")";
        }
        return shown.empty() ? " none" : shown;
    }

private:
    bool startWindowManager() {
        windowManager_ = spawnProcess({"openbox", "--sm-disable"}, environment());
        if (windowManager_ < 0) return false;
        // It announces itself on the root window before it handles windows; a probe window that
        // it has taken into its client list shows it does. A request that came too early is lost,
        // so the probe is mapped again until then.
        if (!waitUntil([this] { return !cardinals(root_, "_NET_SUPPORTING_WM_CHECK", XCB_ATOM_WINDOW).empty(); })) {
            return false;
        }
        const xcb_window_t probe = makeWindow({0, 0, 10, 10}, "probe", "probe", 0, false);
        bool managed = false;
        for (int attempt = 0; attempt < 80 && !managed; ++attempt) {
            xcb_unmap_window(connection_, probe);
            xcb_map_window(connection_, probe);
            xcb_flush(connection_);
            managed = waitUntil(
                [&] {
                    const auto clients = cardinals(root_, "_NET_CLIENT_LIST", XCB_ATOM_WINDOW);
                    return std::find(clients.begin(), clients.end(), probe) != clients.end();
                },
                std::chrono::milliseconds(250));
        }
        xcb_destroy_window(connection_, probe);
        sync();
        return managed;
    }

    Options options_;
    pid_t server_ = -1;
    pid_t windowManager_ = -1;
    std::string display_;
    xcb_connection_t* connection_ = nullptr;
    xcb_window_t root_ = 0;
    bool started_ = false;
};

}  // namespace kestrum::x11test
