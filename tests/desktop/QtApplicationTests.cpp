#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <string>
#include <thread>
#include <vector>

#include "kestrum/desktop/DesktopShell.hpp"
#include "kestrum/desktop/QtApplication.hpp"
#include "kestrum/desktop/QtPanelWindow.hpp"
#include "kestrum/linux/IcuTextServices.hpp"
#include "kestrum/linux/LinuxApplication.hpp"
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

TEST(DesktopShell, TakesOverFromTheLoopWithoutADisplayAndKeepsTheOtherPorts) {
    auto loop = std::make_shared<LinuxMainLoop>();
    installPlatform(makeLinuxSystemPlatform(loop));
    const Platform before = platform();
    bool installed = false;
    loop->post([&] { installed = installDesktopShell(); });
    // The first loop is asked to stop by the installation, so this returns.
    before.application->run();

    ASSERT_TRUE(installed);
    const Platform& after = platform();
    EXPECT_NE(dynamic_cast<QtApplication*>(after.application.get()), nullptr);
    EXPECT_NE(dynamic_cast<QtPanelWindowFactory*>(after.panelWindows.get()), nullptr);
    EXPECT_NE(dynamic_cast<QtScreensWindowServer*>(after.windowServer.get()), nullptr);
    EXPECT_NE(dynamic_cast<IcuTextServices*>(after.textServices.get()), nullptr);
    EXPECT_EQ(after.mainLoop, before.mainLoop);
    EXPECT_EQ(after.workspace, before.workspace);
    EXPECT_EQ(after.output, before.output);
    EXPECT_EQ(after.fileSystem, before.fileSystem);

    // The desktop's screens, in bottom-left coordinates with their display numbers.
    const auto screens = after.windowServer->screens();
    ASSERT_FALSE(screens.empty());
    const QRect primary = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(screens.front().frame, (Rect{0, 0, double(primary.width()), double(primary.height())}));
    ASSERT_TRUE(screens.front().displayNumber.has_value());
    EXPECT_EQ(std::get<std::int64_t>(screens.front().displayNumber->value), 1);
    EXPECT_EQ(after.windowServer->displayBounds(1), (Rect{0, 0, double(primary.width()), double(primary.height())}));
    installPlatform(Platform{});
}

TEST(DesktopShell, RefusesAMainLoopItCannotDrive) {
    installPlatform(Platform{});
    EXPECT_FALSE(installDesktopShell());
    EXPECT_EQ(platform().application, nullptr);
}

}  // namespace
}  // namespace kestrum::desktop
