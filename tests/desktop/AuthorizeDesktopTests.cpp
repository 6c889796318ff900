// The whole authorize flow on an X11 desktop (a private Xvfb) beside a stand-in settings window:
// the panel docks below that window at the right edge of its sidebar, also with a scale factor;
// its corners show what is behind it without a compositing manager; and a drag of the card with
// real pointer events drops the bundle into another process. Screenshots are kept as artefacts.
#include <sys/inotify.h>
#include <xcb/shape.h>
#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <algorithm>
#include <array>
#include <filesystem>
#include <map>
#include <memory>
#include <thread>

#include "HelperEnvironment.hpp"
#include "X11TestServer.hpp"

namespace {

using kestrum::x11test::Child;
using kestrum::x11test::WindowGeometry;
using kestrum::x11test::XServer;

constexpr std::uint32_t opaque = 0xFFFFFFFF;

class AuthorizeDesktopTest : public ::testing::Test {
protected:
    bool startServer(XServer::Options options) {
        server_ = std::make_unique<XServer>(options);
        return server_->started();
    }

    std::unique_ptr<Child> startHelper(const std::string& app, const std::vector<std::string>& extraEnvironment = {}) {
        auto environment = server_->environment(extraEnvironment);
        kestrum::desktop::addThreadSanitizerSuppressions(environment);
        auto helper = std::make_unique<Child>(
            std::vector<std::string>{kestrum::desktop::helperUnderTest(), "authorize", "accessibility", "--app-url", app}, environment);
        const auto line = helper->readLine();
        EXPECT_TRUE(line.has_value());
        EXPECT_EQ(line.value_or("").rfind(R"({"success":true,"kind":"accessibility","status":)", 0), 0u) << *line;
        return helper;
    }

    // Docked: 230 right of the window's left edge, as wide as the rest of the window, its top
    // edge 3 below the window's bottom edge (as the tracker reports frames), all times `scale`.
    std::optional<WindowGeometry> waitUntilDocked(pid_t helper, const WindowGeometry& settings, int scale = 1) {
        return server_->waitForWindow(helper, [&](const WindowGeometry& g) {
            return g.x == settings.x + 230 * scale && g.width == settings.width - 230 * scale &&
                   g.y == settings.y + settings.height + 3 * scale;
        });
    }

    QImage screenshot(const std::string& name) {
        xcb_connection_t* connection = server_->connection();
        const auto root = server_->geometry(server_->root());
        auto* image = xcb_get_image_reply(connection,
                                          xcb_get_image(connection, XCB_IMAGE_FORMAT_Z_PIXMAP, server_->root(), 0, 0,
                                                        static_cast<std::uint16_t>(root->width),
                                                        static_cast<std::uint16_t>(root->height), ~0u),
                                          nullptr);
        if (!image) return {};
        const QImage picture =
            QImage(xcb_get_image_data(image), root->width, root->height, QImage::Format_RGB32).copy();
        std::free(image);
        QDir().mkpath(QStringLiteral(KESTRUM_ARTIFACTS_DIR));
        picture.save(QStringLiteral(KESTRUM_ARTIFACTS_DIR) + QLatin1Char('/') + QString::fromStdString(name));
        return picture;
    }

    std::uint32_t opacity(xcb_window_t window) {
        const auto values = server_->cardinals(window, "_NET_WM_WINDOW_OPACITY", XCB_ATOM_CARDINAL);
        return values.empty() ? opaque : values.front();
    }

    bool hasState(xcb_window_t window, const char* state) {
        const auto states = server_->cardinals(window, "_NET_WM_STATE", XCB_ATOM_ATOM);
        return std::find(states.begin(), states.end(), server_->atom(state)) != states.end();
    }

    // Whether the window takes the pointer anywhere (an empty input shape lets it through).
    bool takesPointer(xcb_window_t window) {
        xcb_connection_t* connection = server_->connection();
        auto* reply = xcb_shape_get_rectangles_reply(
            connection, xcb_shape_get_rectangles(connection, window, XCB_SHAPE_SK_INPUT), nullptr);
        const bool takes = reply && xcb_shape_get_rectangles_rectangles_length(reply) > 0;
        std::free(reply);
        return takes;
    }

    // Whether `upper` is stacked above `lower`.
    bool stackedAbove(xcb_window_t upper, xcb_window_t lower) {
        const auto clients = server_->clientsBottomToTop();
        const auto upperAt = std::find(clients.begin(), clients.end(), upper);
        const auto lowerAt = std::find(clients.begin(), clients.end(), lower);
        return upperAt != clients.end() && lowerAt != clients.end() && upperAt > lowerAt;
    }

    void pointer(std::uint8_t type, int x, int y, std::uint8_t button = 0) {
        xcb_connection_t* connection = server_->connection();
        if (type == XCB_MOTION_NOTIFY) {
            xcb_test_fake_input(connection, XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, server_->root(),
                                static_cast<std::int16_t>(x), static_cast<std::int16_t>(y), 0);
        } else {
            xcb_test_fake_input(connection, type, button, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        }
        server_->sync();
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
    }

    // The pixels of a rectangle of the screen once two looks a little apart agree (the panel has
    // finished drawing).
    std::string settledPixels(const WindowGeometry& g) {
        xcb_connection_t* connection = server_->connection();
        std::string previous;
        for (int attempt = 0; attempt < 50; ++attempt) {
            auto* image = xcb_get_image_reply(
                connection,
                xcb_get_image(connection, XCB_IMAGE_FORMAT_Z_PIXMAP, server_->root(), static_cast<std::int16_t>(g.x),
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
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return previous;
    }

    std::unique_ptr<XServer> server_;
};

struct ScaleCase {
    const char* name;
    int scale;
    std::vector<std::string> environment;
    std::optional<int> dpi;
};

TEST_F(AuthorizeDesktopTest, ThePanelDocksBelowTheSettingsWindowAtItsSidebarEdgeAtAnyScale) {
    const std::vector<ScaleCase> cases{
        {"unscaled", 1, {}, std::nullopt},
        {"scale_factor_2", 2, {"QT_SCALE_FACTOR=2"}, std::nullopt},
        {"xft_dpi_192", 2, {}, 192},
    };
    for (const ScaleCase& scaled : cases) {
        SCOPED_TRACE(scaled.name);
        const int f = scaled.scale;
        XServer::Options options;
        options.width = 1440 * f;
        options.height = 900 * f;
        options.dpi = scaled.dpi;
        if (!startServer(options)) GTEST_SKIP() << "Xvfb is not available";
        // 900 x 600 points at (100, 50) on a 1440 x 900 point screen; no window manager.
        const WindowGeometry settings{100 * f, 50 * f, 900 * f, 600 * f};
        server_->makeWindow(settings, "System Settings", "com.apple.systempreferences",
                            static_cast<std::uint32_t>(::getpid()));
        const auto helper = startHelper("/Applications/Tazel.app", scaled.environment);

        const auto docked = waitUntilDocked(helper->pid(), settings, f);
        // The last frame of the launch has been drawn by then.
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        const QImage shown = screenshot(std::string("authorize_xvfb_") + scaled.name + ".png");
        ASSERT_TRUE(docked.has_value()) << "the helper's windows:" << server_->describeWindowsOf(helper->pid());
        EXPECT_GE(docked->height, 96 * f);

        // Without a compositing manager the window is cut to its rounded shape: its corner shows
        // the white screen behind it, its middle the panel.
        const QRgb corner = shown.pixel(docked->x + 1, docked->y + 1) & 0xFFFFFF;
        const QRgb middle = shown.pixel(docked->x + docked->width / 2, docked->y + docked->height / 2) & 0xFFFFFF;
        EXPECT_EQ(corner, 0xFFFFFFu);
        EXPECT_NE(middle, 0xFFFFFFu);

        // On every workspace, above other windows, without a taskbar or pager entry.
        EXPECT_EQ(server_->cardinals(docked->id, "_NET_WM_DESKTOP", XCB_ATOM_CARDINAL),
                  (std::vector<std::uint32_t>{0xFFFFFFFF}));
        for (const char* state : {"_NET_WM_STATE_STICKY", "_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER",
                                  "_NET_WM_STATE_ABOVE"}) {
            EXPECT_TRUE(hasState(docked->id, state)) << state;
        }
    }
}

TEST_F(AuthorizeDesktopTest, DraggingTheCardDropsTheBundleIntoAnotherApplication) {
    XServer::Options options;
    options.windowManager = true;
    if (!startServer(options)) GTEST_SKIP() << "Xvfb or openbox is not available";
    auto standInEnvironment = server_->environment();
    kestrum::desktop::addThreadSanitizerSuppressions(standInEnvironment);
    Child standIn({KESTRUM_STAND_IN_PATH, "--frame", "100,50,900,600"}, standInEnvironment);
    ASSERT_EQ(standIn.readLine(), "ready");
    const auto settings = server_->waitForWindow(standIn.pid(), [](const WindowGeometry&) { return true; });
    ASSERT_TRUE(settings.has_value());
    const auto helper = startHelper("/tmp/Kestrum Apps/Tazel.app");
    const auto panel = waitUntilDocked(helper->pid(), *settings);
    ASSERT_TRUE(panel.has_value()) << "the helper's windows:" << server_->describeWindowsOf(helper->pid());
    EXPECT_TRUE(stackedAbove(panel->id, settings->id));

    // Press on the card (the bottom of the panel, above its 12-point margin) and move up.
    const int cardY = panel->y + panel->height - 12 - 44;
    pointer(XCB_MOTION_NOTIFY, panel->x + 60, cardY);
    pointer(XCB_BUTTON_PRESS, 0, 0, 1);
    for (int step = 1; step <= 4; ++step) pointer(XCB_MOTION_NOTIFY, panel->x + 60, cardY - 8 * step);

    // While the drag runs the panel is see-through, lets the pointer through and lies below the
    // settings window, no longer kept above.
    const std::uint32_t dragging = static_cast<std::uint32_t>(0.72 * opaque + 0.5);
    EXPECT_TRUE(server_->waitUntil([&] { return opacity(panel->id) == dragging; })) << opacity(panel->id);
    EXPECT_FALSE(takesPointer(panel->id));
    EXPECT_TRUE(server_->waitUntil([&] { return stackedAbove(settings->id, panel->id); }));
    EXPECT_FALSE(hasState(panel->id, "_NET_WM_STATE_ABOVE"));
    screenshot("authorize_drag.png");

    // Into the permission list of the settings window, and let go.
    const int targetX = settings->x + 500;
    const int targetY = settings->y + 120;
    for (int step = 1; step <= 8; ++step) {
        pointer(XCB_MOTION_NOTIFY, panel->x + 60 + (targetX - panel->x - 60) * step / 8,
                cardY - 32 + (targetY - cardY + 32) * step / 8);
    }
    pointer(XCB_BUTTON_RELEASE, 0, 0, 1);

    std::map<std::string, std::string> received;
    std::optional<std::string> dropLine = standIn.readLine();
    for (auto line = standIn.readLine(); line && *line != "end"; line = standIn.readLine()) {
        const auto equals = line->find('=');
        received[line->substr(0, equals)] = line->substr(equals + 1);
    }
    EXPECT_EQ(dropLine, "drop possible=copy action=copy");
    EXPECT_EQ(received["text/uri-list"], "file:///tmp/Kestrum%20Apps/Tazel.app\\r\\n");
    EXPECT_EQ(received["text/plain"], "/tmp/Kestrum Apps/Tazel.app");

    // Afterwards: opaque, clickable, kept above and in front again.
    EXPECT_TRUE(server_->waitUntil([&] { return opacity(panel->id) == opaque; })) << opacity(panel->id);
    EXPECT_TRUE(takesPointer(panel->id));
    EXPECT_TRUE(server_->waitUntil([&] { return stackedAbove(panel->id, settings->id); }));
    EXPECT_TRUE(server_->waitUntil([&] { return hasState(panel->id, "_NET_WM_STATE_ABOVE"); }));
}

// The panel's texts come from the string tables of the bundle beside the helper, in the user's
// language: a German session reads the German table there and shows other words than an English
// one.
TEST_F(AuthorizeDesktopTest, ThePanelShowsTheUsersLanguageFromTheBundleBesideTheHelper) {
    if (!startServer({})) GTEST_SKIP() << "Xvfb is not available";
    const WindowGeometry settings{100, 50, 900, 600};
    server_->makeWindow(settings, "System Settings", "com.apple.systempreferences",
                        static_cast<std::uint32_t>(::getpid()));
    const std::string table = std::filesystem::path(kestrum::desktop::helperUnderTest()).parent_path() /
                              "Kestrum_Kestrum.bundle" / "de.lproj";
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(::inotify_add_watch(watch, table.c_str(), IN_OPEN), 0) << table;

    std::map<std::string, std::string> panels;
    for (const char* language : {"de_DE.UTF-8", "en_US.UTF-8"}) {
        const auto helper = startHelper("/Applications/Tazel.app",
                                        {"LANG=" + std::string(language), "LC_ALL=", "LC_MESSAGES=", "LANGUAGE="});
        const auto docked = waitUntilDocked(helper->pid(), settings);
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
