// The X11 window list and applications against a private X server (Xvfb, no window manager)
// holding a stand-in settings window.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <cstring>
#include <string>

#include "kestrum/desktop/X11Desktop.hpp"

extern char** environ;

namespace kestrum::desktop {
namespace {

const char* const settingsClass = "System Settings\0com.apple.systempreferences";
constexpr std::size_t settingsClassLength = sizeof("System Settings") + sizeof("com.apple.systempreferences") - 1;

class X11DesktopTest : public ::testing::Test {
protected:
    void SetUp() override {
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        std::string fd = std::to_string(ready[1]);
        std::vector<std::string> arguments{"Xvfb", "-displayfd", fd, "-screen", "0", "1440x900x24", "-nolisten", "tcp"};
        std::vector<char*> argv;
        for (auto& argument : arguments) argv.push_back(argument.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        const int spawned = ::posix_spawnp(&server_, "Xvfb", &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(ready[1]);
        if (spawned != 0) {
            ::close(ready[0]);
            server_ = -1;
            GTEST_SKIP() << "Xvfb is not available";
        }
        // The server writes its display number once it accepts connections.
        char number[16] = {};
        const ssize_t count = ::read(ready[0], number, sizeof number - 1);
        ::close(ready[0]);
        ASSERT_GT(count, 0);
        display_ = ":" + std::string(number, static_cast<std::size_t>(count - (number[count - 1] == '\n' ? 1 : 0)));
        client_ = xcb_connect(display_.c_str(), nullptr);
        ASSERT_FALSE(xcb_connection_has_error(client_));
        root_ = xcb_setup_roots_iterator(xcb_get_setup(client_)).data->root;
        desktop_ = X11Desktop::connect(display_);
        ASSERT_NE(desktop_, nullptr);
    }

    void TearDown() override {
        desktop_.reset();
        if (client_) xcb_disconnect(client_);
        if (server_ > 0) {
            ::kill(server_, SIGTERM);
            ::waitpid(server_, nullptr, 0);
        }
    }

    xcb_atom_t atom(const char* name) {
        auto* reply = xcb_intern_atom_reply(client_, xcb_intern_atom(client_, 0, std::strlen(name), name), nullptr);
        const xcb_atom_t value = reply->atom;
        std::free(reply);
        return value;
    }

    xcb_window_t makeWindow(Rect bounds, const char* wmClass, std::size_t classLength, std::uint32_t pid, bool map) {
        const xcb_window_t window = xcb_generate_id(client_);
        xcb_create_window(client_, XCB_COPY_FROM_PARENT, window, root_, static_cast<std::int16_t>(bounds.x()),
                          static_cast<std::int16_t>(bounds.y()), static_cast<std::uint16_t>(bounds.width()),
                          static_cast<std::uint16_t>(bounds.height()), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                          XCB_COPY_FROM_PARENT, 0, nullptr);
        xcb_change_property(client_, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8,
                            static_cast<std::uint32_t>(classLength), wmClass);
        xcb_change_property(client_, XCB_PROP_MODE_REPLACE, window, atom("_NET_WM_PID"), XCB_ATOM_CARDINAL, 32, 1, &pid);
        if (map) xcb_map_window(client_, window);
        xcb_aux_sync();
        return window;
    }

    void setActive(xcb_window_t window) {
        xcb_change_property(client_, XCB_PROP_MODE_REPLACE, root_, atom("_NET_ACTIVE_WINDOW"), XCB_ATOM_WINDOW, 32, 1,
                            &window);
        xcb_aux_sync();
    }

    // Waits for the server to have handled everything sent so far.
    void xcb_aux_sync() { std::free(xcb_get_input_focus_reply(client_, xcb_get_input_focus(client_), nullptr)); }

    pid_t server_ = -1;
    std::string display_;
    xcb_connection_t* client_ = nullptr;
    xcb_window_t root_ = 0;
    std::shared_ptr<X11Desktop> desktop_;
};

const LooseDictionary* entryOf(const LooseValue& list, std::int64_t pid) {
    for (const LooseValue& entry : *list.list()) {
        const auto* dictionary = entry.dictionary();
        const auto owner = dictionary->find("kCGWindowOwnerPID");
        if (owner != dictionary->end() && std::get<std::int64_t>(owner->second.value) == pid) return dictionary;
    }
    return nullptr;
}

TEST_F(X11DesktopTest, ListsTheSettingsWindowWithItsOwnerAndBounds) {
    makeWindow(Rect{100, 50, 900, 600}, settingsClass, settingsClassLength, 4242, true);
    makeWindow(Rect{0, 0, 300, 300}, "editor\0Editor", sizeof("editor\0Editor"), 77, false);
    X11WindowServer server(desktop_, nullptr);

    const auto onScreen = server.copyWindowList(X11WindowServer::onScreenOnly | 16, 0);
    ASSERT_TRUE(onScreen.has_value());
    const LooseDictionary* settings = entryOf(*onScreen, 4242);
    ASSERT_NE(settings, nullptr);
    EXPECT_EQ(std::get<std::int64_t>(settings->at("kCGWindowLayer").value), 0);
    EXPECT_EQ(std::get<double>(settings->at("kCGWindowAlpha").value), 1.0);
    const LooseDictionary* bounds = settings->at("kCGWindowBounds").dictionary();
    ASSERT_NE(bounds, nullptr);
    EXPECT_EQ(std::get<double>(bounds->at("X").value), 100);
    EXPECT_EQ(std::get<double>(bounds->at("Y").value), 50);
    EXPECT_EQ(std::get<double>(bounds->at("Width").value), 900);
    EXPECT_EQ(std::get<double>(bounds->at("Height").value), 600);
    EXPECT_EQ(entryOf(*onScreen, 77), nullptr);  // not mapped

    EXPECT_NE(entryOf(*server.copyWindowList(0, 0), 77), nullptr);
}

TEST_F(X11DesktopTest, FindsApplicationsByClassAndFollowsTheActiveWindow) {
    const xcb_window_t settings = makeWindow(Rect{100, 50, 900, 600}, settingsClass, settingsClassLength, 4242, true);
    const xcb_window_t editor = makeWindow(Rect{0, 0, 300, 300}, "editor\0Editor", sizeof("editor\0Editor"), 77, true);
    X11Workspace workspace(desktop_, nullptr);

    EXPECT_EQ(workspace.runningApplications("com.apple.systempreferences"),
              (std::vector<RunningApplication>{{4242, std::string("com.apple.systempreferences"), ActivationPolicy::regular}}));
    EXPECT_TRUE(workspace.runningApplications("com.example.none").empty());
    EXPECT_EQ(workspace.runningApplication(77)->bundleIdentifier, std::string("Editor"));
    EXPECT_EQ(workspace.frontmostApplication(), std::nullopt);  // no window manager marked one

    int activations = 0;
    QEventLoop loop;
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);
    Subscription subscription = workspace.observeApplicationActivation([&] {
        ++activations;
        loop.quit();
    });
    setActive(settings);
    loop.exec();
    EXPECT_EQ(activations, 1);
    ASSERT_TRUE(workspace.frontmostApplication().has_value());
    EXPECT_EQ(workspace.frontmostApplication()->processIdentifier, 4242);
    EXPECT_EQ(workspace.frontmostApplication()->bundleIdentifier, std::string("com.apple.systempreferences"));

    // Without a window manager, activating raises the application's window to the front.
    ASSERT_EQ(desktop_->windows().front().id, editor);
    workspace.activateIgnoringOtherApps(RunningApplication{4242, std::nullopt, ActivationPolicy::regular});
    xcb_aux_sync();
    EXPECT_EQ(desktop_->windows().front().id, settings);

    subscription.cancel();
    setActive(editor);
    QCoreApplication::processEvents();
    EXPECT_EQ(activations, 1);
}

}  // namespace
}  // namespace kestrum::desktop
