// The whole authorize flow on an X11 desktop (a private Xvfb, no window manager) beside a
// stand-in settings window: the helper's panel flies in and docks below that window, starting
// at the right edge of its sidebar. A screenshot of the screen is kept as a test artefact.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <sys/inotify.h>
#include <xcb/xcb.h>

#include <gtest/gtest.h>

#include "HelperEnvironment.hpp"

#include <QDir>
#include <QImage>
#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

extern char** environ;

namespace {


struct Geometry {
    int x, y, width, height;
    xcb_window_t id = 0;
};

pid_t spawn(const std::vector<std::string>& arguments, const std::vector<std::string>& environment, int stdoutFd,
            bool search) {
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
    if (stdoutFd >= 0) posix_spawn_file_actions_adddup2(&actions, stdoutFd, STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int result = search ? ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data())
                              : ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    return result == 0 ? pid : -1;
}

std::vector<std::string> environmentWith(const std::string& display) {
    std::vector<std::string> result = kestrum::desktop::environmentWithoutDisplay();
    result.push_back("DISPLAY=" + display);
    return result;
}

class AuthorizeDesktopTest : public ::testing::Test {
protected:
    void SetUp() override {
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        server_ = spawn({"Xvfb", "-displayfd", std::to_string(ready[1]), "-screen", "0", "1440x900x24", "-nolisten",
                         "tcp"},
                        environmentWith(""), -1, true);
        ::close(ready[1]);
        if (server_ < 0) {
            ::close(ready[0]);
            GTEST_SKIP() << "Xvfb is not available";
        }
        std::array<char, 16> number{};
        const ssize_t count = ::read(ready[0], number.data(), number.size() - 1);
        ::close(ready[0]);
        ASSERT_GT(count, 0);
        std::string digits(number.data(), static_cast<std::size_t>(count));
        while (!digits.empty() && (digits.back() == '\n' || digits.back() == '\0')) digits.pop_back();
        display_ = ":" + digits;
        connection_ = xcb_connect(display_.c_str(), nullptr);
        ASSERT_FALSE(xcb_connection_has_error(connection_)) << display_;
        root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
        // Configure notifications of every top-level window wake the waits below.
        const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(connection_, root_, XCB_CW_EVENT_MASK, &mask);
    }

    void TearDown() override {
        if (helper_ > 0) {
            ::kill(helper_, SIGKILL);
            ::waitpid(helper_, nullptr, 0);
        }
        if (connection_) xcb_disconnect(connection_);
        if (server_ > 0) {
            ::kill(server_, SIGTERM);
            ::waitpid(server_, nullptr, 0);
        }
    }

    xcb_atom_t atom(const char* name) {
        auto* reply =
            xcb_intern_atom_reply(connection_, xcb_intern_atom(connection_, 0, std::strlen(name), name), nullptr);
        const xcb_atom_t value = reply->atom;
        std::free(reply);
        return value;
    }

    std::vector<std::uint32_t> cardinals(xcb_window_t window, const char* name, xcb_atom_t type) {
        auto* reply = xcb_get_property_reply(
            connection_, xcb_get_property(connection_, 0, window, atom(name), type, 0, 64), nullptr);
        std::vector<std::uint32_t> values;
        if (reply && reply->format == 32) {
            const auto* begin = static_cast<const std::uint32_t*>(xcb_get_property_value(reply));
            values.assign(begin, begin + xcb_get_property_value_length(reply) / 4);
        }
        std::free(reply);
        return values;
    }

    // A stand-in settings window: the settings application's class, a process id, mapped.
    void makeSettingsWindow(Geometry g) {
        const xcb_window_t window = xcb_generate_id(connection_);
        const std::uint32_t background = 0xDDDDDD;
        xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window, root_, static_cast<std::int16_t>(g.x),
                          static_cast<std::int16_t>(g.y), static_cast<std::uint16_t>(g.width),
                          static_cast<std::uint16_t>(g.height), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                          XCB_COPY_FROM_PARENT, XCB_CW_BACK_PIXEL, &background);
        static const char wmClass[] = "System Settings\0com.apple.systempreferences";
        xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8,
                            sizeof wmClass, wmClass);
        const std::uint32_t pid = static_cast<std::uint32_t>(::getpid());
        xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window, atom("_NET_WM_PID"), XCB_ATOM_CARDINAL, 32, 1,
                            &pid);
        xcb_map_window(connection_, window);
        xcb_flush(connection_);
    }

    // The mapped top-level windows of a process.
    std::vector<Geometry> windowsOf(pid_t pid) {
        std::vector<Geometry> result;
        auto* tree = xcb_query_tree_reply(connection_, xcb_query_tree(connection_, root_), nullptr);
        if (!tree) return result;
        const xcb_window_t* children = xcb_query_tree_children(tree);
        for (int i = 0; i < xcb_query_tree_children_length(tree); ++i) {
            auto* owner = xcb_get_property_reply(
                connection_, xcb_get_property(connection_, 0, children[i], atom("_NET_WM_PID"), XCB_ATOM_CARDINAL, 0, 1),
                nullptr);
            auto* attributes =
                xcb_get_window_attributes_reply(connection_, xcb_get_window_attributes(connection_, children[i]), nullptr);
            auto* geometry = xcb_get_geometry_reply(connection_, xcb_get_geometry(connection_, children[i]), nullptr);
            if (owner && xcb_get_property_value_length(owner) == 4 && attributes && geometry &&
                attributes->map_state == XCB_MAP_STATE_VIEWABLE &&
                *static_cast<std::uint32_t*>(xcb_get_property_value(owner)) == static_cast<std::uint32_t>(pid)) {
                result.push_back({geometry->x, geometry->y, geometry->width, geometry->height, children[i]});
            }
            std::free(owner);
            std::free(attributes);
            std::free(geometry);
        }
        std::free(tree);
        return result;
    }

    // Waits, event by event, until the process shows one window that satisfies `done`.
    std::optional<Geometry> waitForWindow(pid_t pid, const std::function<bool(const Geometry&)>& done) {
        for (int round = 0; round < 2000; ++round) {
            for (const Geometry& g : windowsOf(pid)) {
                if (done(g)) return g;
            }
            pollfd descriptor{xcb_get_file_descriptor(connection_), POLLIN, 0};
            if (::poll(&descriptor, 1, 10000) <= 0) return std::nullopt;
            while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) std::free(event);
        }
        return std::nullopt;
    }

    void saveScreenshot(const std::string& name) {
        auto* image = xcb_get_image_reply(
            connection_, xcb_get_image(connection_, XCB_IMAGE_FORMAT_Z_PIXMAP, root_, 0, 0, 1440, 900, ~0u), nullptr);
        if (!image) return;
        const QImage picture(xcb_get_image_data(image), 1440, 900, QImage::Format_RGB32);
        QDir().mkpath(QStringLiteral(KESTRUM_ARTIFACTS_DIR));
        picture.copy().save(QStringLiteral(KESTRUM_ARTIFACTS_DIR) + QLatin1Char('/') + QString::fromStdString(name));
        std::free(image);
    }

    // Starts authorize for accessibility on the private display (ending a helper started before),
    // with the given variables replacing the environment's, and answers its line.
    std::string startHelper(const std::vector<std::string>& extraEnvironment = {}) {
        if (helper_ > 0) {
            ::kill(helper_, SIGKILL);
            ::waitpid(helper_, nullptr, 0);
        }
        auto environment = environmentWith(display_);
        for (const auto& entry : extraEnvironment) {
            const std::string name = entry.substr(0, entry.find('=') + 1);
            std::erase_if(environment, [&](const std::string& e) { return e.rfind(name, 0) == 0; });
            environment.push_back(entry);
        }
        int out[2];
        if (::pipe(out) != 0) return {};
        helper_ = spawn({kestrum::desktop::helperUnderTest(), "authorize", "accessibility", "--app-url",
                         "/Applications/Tazel.app"},
                        environment, out[1], false);
        ::close(out[1]);
        std::array<char, 256> line{};
        const ssize_t count = helper_ > 0 ? ::read(out[0], line.data(), line.size()) : 0;
        ::close(out[0]);
        return std::string(line.data(), static_cast<std::size_t>(std::max<ssize_t>(count, 0)));
    }

    // Docked below a 900 x 600 settings window at (100, 50): 230 points right of the window's left
    // edge, as wide as the rest of the window, the panel's top edge on the window's bottom edge
    // (650) as the tracker reports it, 3 points lower.
    std::optional<Geometry> waitUntilDocked() {
        return waitForWindow(helper_, [](const Geometry& g) { return g.x == 330 && g.width == 670 && g.y == 653; });
    }

    // The pixels of a rectangle of the screen once two looks a little apart agree (the panel has
    // finished drawing).
    std::string settledPixels(const Geometry& g) {
        std::string previous;
        for (int attempt = 0; attempt < 50; ++attempt) {
            auto* image = xcb_get_image_reply(
                connection_,
                xcb_get_image(connection_, XCB_IMAGE_FORMAT_Z_PIXMAP, root_, static_cast<std::int16_t>(g.x),
                              static_cast<std::int16_t>(g.y), static_cast<std::uint16_t>(g.width),
                              static_cast<std::uint16_t>(g.height), ~0u),
                nullptr);
            std::string pixels;
            if (image) {
                pixels.assign(reinterpret_cast<const char*>(xcb_get_image_data(image)),
                              static_cast<std::size_t>(xcb_get_image_data_length(image)));
                std::free(image);
            }
            if (!pixels.empty() && pixels == previous) return pixels;
            previous = pixels;
            ::usleep(100000);
        }
        return previous;
    }

    pid_t server_ = -1;
    pid_t helper_ = -1;
    std::string display_;
    xcb_connection_t* connection_ = nullptr;
    xcb_window_t root_ = 0;
};

TEST_F(AuthorizeDesktopTest, ThePanelDocksBelowTheSettingsWindowAtItsSidebarEdge) {
    // 900 x 600 at (100, 50) on a 1440 x 900 screen.
    makeSettingsWindow({100, 50, 900, 600});
    const std::string written = startHelper();
    EXPECT_EQ(written.rfind("{\"success\":true,\"kind\":\"accessibility\",\"status\":", 0), 0u) << written;

    const auto docked = waitUntilDocked();
    saveScreenshot("authorize_xvfb.png");
    std::string shown;
    for (const Geometry& g : windowsOf(helper_)) {
        shown += " (" + std::to_string(g.x) + ", " + std::to_string(g.y) + ", " + std::to_string(g.width) + ", " +
                 std::to_string(g.height) + ")";
    }
    for (const Geometry& g : windowsOf(::getpid())) {
        shown += " settings (" + std::to_string(g.x) + ", " + std::to_string(g.y) + ", " + std::to_string(g.width) + ", " +
                 std::to_string(g.height) + ")";
    }
    ASSERT_TRUE(docked.has_value()) << "the helper's windows:" << shown;
    EXPECT_GE(docked->height, 96);

    // On every workspace, above other windows, without a taskbar or pager entry.
    EXPECT_EQ(cardinals(docked->id, "_NET_WM_DESKTOP", XCB_ATOM_CARDINAL), (std::vector<std::uint32_t>{0xFFFFFFFF}));
    const auto states = cardinals(docked->id, "_NET_WM_STATE", XCB_ATOM_ATOM);
    for (const char* state : {"_NET_WM_STATE_STICKY", "_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER",
                              "_NET_WM_STATE_ABOVE"}) {
        EXPECT_NE(std::find(states.begin(), states.end(), atom(state)), states.end()) << state;
    }
}

// The panel's texts come from the string tables of the bundle beside the helper, in the user's
// language: a German session reads the German table there and shows other words than an English
// one.
TEST_F(AuthorizeDesktopTest, ThePanelShowsTheUsersLanguageFromTheBundleBesideTheHelper) {
    makeSettingsWindow({100, 50, 900, 600});
    const std::string table = std::filesystem::path(kestrum::desktop::helperUnderTest()).parent_path() /
                              "Kestrum_Kestrum.bundle" / "de.lproj";
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(::inotify_add_watch(watch, table.c_str(), IN_OPEN), 0) << table;

    std::map<std::string, std::string> panels;
    for (const char* language : {"de_DE.UTF-8", "en_US.UTF-8"}) {
        const std::string line =
            startHelper({"LANG=" + std::string(language), "LC_ALL=", "LC_MESSAGES=", "LANGUAGE="});
        ASSERT_EQ(line.rfind("{\"success\":true", 0), 0u) << language << ": " << line;
        const auto docked = waitUntilDocked();
        ASSERT_TRUE(docked.has_value()) << language;
        panels[language] = settledPixels(*docked);
        ASSERT_FALSE(panels[language].empty());
        if (panels.size() == 1) {
            // The German table beside the helper was opened.
            std::array<char, 4096> events{};
            EXPECT_GT(::read(watch, events.data(), events.size()), 0) << table;
        }
    }
    ::close(watch);
    EXPECT_TRUE(panels["de_DE.UTF-8"] != panels["en_US.UTF-8"]) << "the German and the English panels look the same";
}

}  // namespace
