#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <string>
#include <thread>
#include <vector>

#include "kestrum/desktop/DesktopShell.hpp"
#include "kestrum/desktop/DesktopShellLoader.hpp"
#include "kestrum/desktop/QtApplication.hpp"
#include "kestrum/desktop/QtPanelWindow.hpp"
#include "kestrum/linux/IcuTextServices.hpp"
#include "kestrum/linux/LinuxSystemPlatform.hpp"

namespace kestrum::desktop {
namespace {

// A test that would otherwise hang fails instead: the loop is left with code 1.
void failAfter(QObject& context, int milliseconds) {
    QTimer::singleShot(milliseconds, &context, [] { QCoreApplication::exit(1); });
}

TEST(QtApplication, RunsTheMainLoopsWorkInItsOrder) {
    auto loop = std::make_shared<LinuxMainLoop>();
    QtApplication application(loop);
    QObject guard;
    failAfter(guard, 5000);
    std::vector<std::string> order;
    loop->post([&] { order.push_back("first"); });
    loop->scheduleOnce(0, [&] { order.push_back("due timer"); });
    loop->post([&] {
        order.push_back("second");
        loop->scheduleOnce(0.02, [&] {
            order.push_back("later timer");
            application.terminate();
        });
    });
    std::thread poster([&] { loop->post([&] { order.push_back("from a thread"); }); });
    poster.join();

    application.run();
    EXPECT_EQ(order, (std::vector<std::string>{"first", "second", "from a thread", "due timer", "later timer"}));
    EXPECT_EQ(application.lastExitCode(), 0);
    EXPECT_TRUE(application.hasTerminated());
}

TEST(QtApplication, TimersScheduledFromQtEventsWakeTheLoop) {
    auto loop = std::make_shared<LinuxMainLoop>();
    QtApplication application(loop);
    QObject guard;
    failAfter(guard, 5000);
    int ticks = 0;
    std::shared_ptr<Timer> repeating;
    // Outside any dispatch of the loop, as a mouse event handler would schedule it.
    QTimer::singleShot(0, &guard, [&] {
        repeating = loop->scheduleRepeating(0.005, RunLoopMode::common, [&] {
            if (++ticks == 3) {
                repeating->invalidate();
                application.terminate();
            }
        });
    });
    application.run();
    EXPECT_EQ(ticks, 3);
    EXPECT_EQ(application.lastExitCode(), 0);
}

TEST(QtApplication, TerminationBeforeRunningEndsAtOnce) {
    QtApplication application(std::make_shared<LinuxMainLoop>());
    application.setActivationPolicy(ActivationPolicy::accessory);
    application.terminate();
    application.run();
    EXPECT_EQ(application.lastExitCode(), 0);
    EXPECT_EQ(application.activationPolicy(), ActivationPolicy::accessory);
}

TEST(DesktopShell, ExtendsTheSystemPortsWithoutADisplayAndKeepsTheOthers) {
    const Platform system = makeLinuxSystemPlatform(std::make_shared<LinuxMainLoop>());
    Platform ports = system;
    ASSERT_TRUE(assembleDesktopShell(ports));
    EXPECT_NE(dynamic_cast<QtApplication*>(ports.application.get()), nullptr);
    EXPECT_NE(dynamic_cast<QtPanelWindowFactory*>(ports.panelWindows.get()), nullptr);
    EXPECT_NE(dynamic_cast<QtScreensWindowServer*>(ports.windowServer.get()), nullptr);
    EXPECT_NE(dynamic_cast<IcuTextServices*>(ports.textServices.get()), nullptr);
    EXPECT_EQ(ports.mainLoop, system.mainLoop);
    EXPECT_EQ(ports.workspace, system.workspace);
    EXPECT_EQ(ports.output, system.output);
    EXPECT_EQ(ports.fileSystem, system.fileSystem);

    // The desktop's screens, in bottom-left coordinates with their display numbers.
    const auto screens = ports.windowServer->screens();
    ASSERT_FALSE(screens.empty());
    const QRect primary = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(screens.front().frame, (Rect{0, 0, double(primary.width()), double(primary.height())}));
    ASSERT_TRUE(screens.front().displayNumber.has_value());
    EXPECT_EQ(std::get<std::int64_t>(screens.front().displayNumber->value), 1);
    EXPECT_EQ(ports.windowServer->displayBounds(1), (Rect{0, 0, double(primary.width()), double(primary.height())}));
}

// The loader's way in: the shell beside the test, its versioned entry point, and the headless
// fallback when the folder holds no shell. Refusals leave the ports as they were.
TEST(DesktopShell, TheLoaderExtendsThePortsOrFallsBackToHeadlessPanels) {
    const Platform system = makeLinuxSystemPlatform(std::make_shared<LinuxMainLoop>());
    Platform ports = system;
    const auto loaded = loadDesktopShell(KESTRUM_DESKTOP_SHELL_DIR, ports);
    EXPECT_TRUE(loaded.extended) << loaded.error;
    EXPECT_NE(dynamic_cast<QtPanelWindowFactory*>(ports.panelWindows.get()), nullptr);

    Platform refused = system;
    EXPECT_EQ(kestrum_desktop_shell_assemble(desktopShellInterfaceVersion + 1, &refused), 0);
    Platform withoutLoop = system;
    withoutLoop.mainLoop = nullptr;
    EXPECT_EQ(kestrum_desktop_shell_assemble(desktopShellInterfaceVersion, &withoutLoop), 0);
    for (const Platform* unchanged : {&refused, &withoutLoop}) {
        EXPECT_EQ(unchanged->application, system.application);
        EXPECT_EQ(unchanged->panelWindows, nullptr);
    }

    Platform headless = system;
    EXPECT_FALSE(loadDesktopShell("/nonexistent", headless).extended);
    EXPECT_EQ(headless.panelWindows, nullptr);
    assembleDesktopPorts("/nonexistent", headless);
    EXPECT_NE(dynamic_cast<HeadlessPanelWindowFactory*>(headless.panelWindows.get()), nullptr);
    EXPECT_EQ(headless.application, system.application);
}

}  // namespace
}  // namespace kestrum::desktop
