// The X11 window list and applications against a private X server (no window manager) holding a
// stand-in settings window.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <thread>

#include "X11TestServer.hpp"
#include "kestrum/SettingsWindowTracker.hpp"
#include "kestrum/desktop/X11Desktop.hpp"
#include "kestrum/fakes/FakeAccessibility.hpp"
#include "kestrum/fakes/FakeMainLoop.hpp"
#include "kestrum/fakes/FakeWindowServer.hpp"

namespace kestrum::desktop {
namespace {

using x11test::WindowGeometry;
using x11test::XServer;

constexpr const char* settingsClass = "com.apple.systempreferences";

class X11DesktopTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!server_.started()) GTEST_SKIP() << "Xvfb is not available";
        desktop_ = X11Desktop::connect(server_.display());
        ASSERT_NE(desktop_, nullptr);
    }

    void setActive(xcb_window_t window) {
        xcb_change_property(server_.connection(), XCB_PROP_MODE_REPLACE, server_.root(),
                            server_.atom("_NET_ACTIVE_WINDOW"), XCB_ATOM_WINDOW, 32, 1, &window);
        server_.sync();
    }

    // Requests the desktop's connection sent while `work` ran (a no-op request before and after
    // brackets them by their sequence numbers).
    unsigned requestsDuring(const std::function<void()>& work) {
        const unsigned before = xcb_no_operation(desktop_->connection()).sequence;
        work();
        const unsigned after = xcb_no_operation(desktop_->connection()).sequence;
        xcb_flush(desktop_->connection());
        return after - before - 1;
    }

    XServer server_{XServer::Options{}};
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
    server_.makeWindow({100, 50, 900, 600}, "System Settings", settingsClass, 4242);
    server_.makeWindow({0, 0, 300, 300}, "editor", "Editor", 77, false);
    X11WindowServer windowServer(desktop_, nullptr);

    const auto onScreen = windowServer.copyWindowList(X11WindowServer::onScreenOnly | 16, 0);
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

    EXPECT_NE(entryOf(*windowServer.copyWindowList(0, 0), 77), nullptr);
}

TEST_F(X11DesktopTest, FindsApplicationsByClassAndFollowsTheActiveWindow) {
    const xcb_window_t settings = server_.makeWindow({100, 50, 900, 600}, "System Settings", settingsClass, 4242);
    const xcb_window_t editor = server_.makeWindow({0, 0, 300, 300}, "editor", "Editor", 77);
    X11Workspace workspace(desktop_, nullptr);

    EXPECT_EQ(workspace.runningApplications(settingsClass),
              (std::vector<RunningApplication>{{4242, std::string(settingsClass), ActivationPolicy::regular}}));
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
    EXPECT_EQ(workspace.frontmostApplication()->bundleIdentifier, std::string(settingsClass));

    // An activation that a read outside Qt's loop took in before the notifier could (as a
    // tracker step may) is told all the same, once the loop runs.
    setActive(editor);
    EXPECT_TRUE(server_.waitUntil([&] {
        const auto front = workspace.frontmostApplication();
        return front && front->processIdentifier == 77;
    }));
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);
    loop.exec();
    EXPECT_EQ(activations, 2);

    // Without a window manager, activating raises the application's window to the front.
    ASSERT_EQ(desktop_->windows().front().id, editor);
    workspace.activateIgnoringOtherApps(RunningApplication{4242, std::nullopt, ActivationPolicy::regular});
    server_.sync();
    EXPECT_TRUE(server_.waitUntil([&] { return desktop_->windows().front().id == settings; }));

    subscription.cancel();
    setActive(settings);
    QCoreApplication::processEvents();
    EXPECT_EQ(activations, 2);
}

TEST_F(X11DesktopTest, TheListIsKeptFromEventsSoAStepOnAnUnchangedDesktopSendsNoRequest) {
    for (int i = 0; i < 20; ++i) {
        server_.makeWindow({10 * i, 10 * i, 400, 300}, "stand-in", "StandIn" + std::to_string(i),
                           static_cast<std::uint32_t>(1000 + i));
    }
    const xcb_window_t settings = server_.makeWindow({100, 50, 900, 600}, "System Settings", settingsClass, 4242);

    // The tracker as the helper runs it, on this desktop's window list; one 1440 x 900 screen.
    auto loop = std::make_shared<fakes::FakeMainLoop>();
    auto screens = std::make_shared<fakes::FakeWindowServer>();
    screens->addScreen(1, Rect{0, 0, 1440, 900}, Rect{0, 0, 1440, 900}, Rect{0, 0, 1440, 900});
    auto tracker = SettingsWindowTracker::create(
        {std::make_shared<X11Workspace>(desktop_, nullptr), std::make_shared<fakes::FakeAccessibility>(),
         std::make_shared<X11WindowServer>(desktop_, screens), loop});
    std::vector<Rect> reported;
    tracker->onFrameChange = [&](const Rect& frame) { reported.push_back(frame); };
    tracker->startTracking(false);
    ASSERT_EQ(reported, (std::vector<Rect>{{100, 247, 900, 600}}));

    EXPECT_EQ(requestsDuring([&] { loop->advance(SettingsWindowTracker::pollInterval * 3); }), 0u);

    // A move is seen in the next step, asking for that window's place alone.
    server_.moveWindow(settings, 140, 50);
    server_.sync();
    unsigned requests = 0;
    for (int attempt = 0; attempt < 100 && reported.size() == 1; ++attempt) {
        requests += requestsDuring([&] { loop->advance(SettingsWindowTracker::pollInterval); });
        if (reported.size() == 1) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(reported.back(), (Rect{140, 247, 900, 600}));
    EXPECT_LE(requests, 4u);
    EXPECT_EQ(requestsDuring([&] { loop->advance(SettingsWindowTracker::pollInterval); }), 0u);

    // A changed owner and a window gone are seen too.
    const std::uint32_t other = 4343;
    xcb_change_property(server_.connection(), XCB_PROP_MODE_REPLACE, settings, server_.atom("_NET_WM_PID"),
                        XCB_ATOM_CARDINAL, 32, 1, &other);
    server_.sync();
    X11Workspace workspace(desktop_, nullptr);
    EXPECT_TRUE(server_.waitUntil([&] {
        const auto running = workspace.runningApplications(settingsClass);
        return running.size() == 1 && running.front().processIdentifier == 4343;
    }));
    xcb_destroy_window(server_.connection(), settings);
    server_.sync();
    EXPECT_TRUE(server_.waitUntil([&] { return workspace.runningApplications(settingsClass).empty(); }));
    EXPECT_EQ(desktop_->windows().size(), 20u);
}

}  // namespace
}  // namespace kestrum::desktop
