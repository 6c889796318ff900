// The authorize action run in this process on the Qt application: the line comes at once, the
// panel shows, and after the keep-alive the panel closes without the focus going back and the
// event loop ends with exit code 0.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>
#include <QTimer>
#include <QWidget>

#include "kestrum/KestrumController.hpp"
#include "kestrum/desktop/QtApplication.hpp"
#include "kestrum/desktop/QtPanelWindow.hpp"
#include "kestrum/fakes/FakePlatform.hpp"
#include "kestrum/helper/KestrumHelperRunner.hpp"
#include "kestrum/posix/PosixFileSystem.hpp"

namespace kestrum::desktop {
namespace {

int visiblePanels() {
    int count = 0;
    for (const QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->isVisible() && widget->windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus)) ++count;
    }
    return count;
}

class AuthorizeKeepAliveTest : public ::testing::Test {
protected:
    AuthorizeKeepAliveTest() {
        Platform ports = platform();
        ports.mainLoop = loop;
        ports.application = application;
        ports.panelWindows = std::make_shared<QtPanelWindowFactory>();
        // The library's string tables are read from the build tree.
        ports.fileSystem = std::make_shared<PosixFileSystem>();
        installPlatform(ports);
        // The previously active application, which closing with the focus returned would activate.
        fake.workspace->frontmost = RunningApplication{4242, std::string("com.example.editor"), ActivationPolicy::regular};
        fake.workspace->running = {*fake.workspace->frontmost};
    }
    ~AuthorizeKeepAliveTest() override { helperKeepAliveSeconds = 300; }

    fakes::FakePlatform fake;
    std::shared_ptr<LinuxMainLoop> loop = std::make_shared<LinuxMainLoop>();
    std::shared_ptr<QtApplication> application = std::make_shared<QtApplication>(loop);
    std::shared_ptr<KestrumHelperRunner> runner = std::make_shared<KestrumHelperRunner>();
};

TEST_F(AuthorizeKeepAliveTest, LineAtOnceThenThePanelClosesWithoutTheFocusAndTheLoopEndsWithZero) {
    helperKeepAliveSeconds = 0.2;
    application->setActivationPolicy(ActivationPolicy::regular);
    QObject guard;
    QTimer::singleShot(5000, &guard, [] { QCoreApplication::exit(1); });

    int panelsWhileRunning = -1;
    std::string lineWhileRunning;
    loop->post([&] {
        runner->run({"authorize", "accessibility", "--app-url", "/Applications/Tazel.app"});
        lineWhileRunning = fake.output->standardOutput;
        // The next step, well before the keep-alive is due: the flow is on screen.
        loop->post([&] { panelsWhileRunning = visiblePanels(); });
    });
    application->run();

    EXPECT_EQ(lineWhileRunning, "{\"success\":true,\"kind\":\"accessibility\",\"status\":\"notGranted\"}\n");
    EXPECT_EQ(application->activationPolicy(), ActivationPolicy::accessory);
    EXPECT_EQ(panelsWhileRunning, 1);

    EXPECT_EQ(application->lastExitCode(), 0);
    EXPECT_TRUE(application->hasTerminated());
    ASSERT_NE(runner->controller, nullptr);
    EXPECT_EQ(runner->controller->panel(), nullptr);
    EXPECT_EQ(visiblePanels(), 0);
    EXPECT_TRUE(fake.workspace->activatedPIDs.empty());
    EXPECT_EQ(fake.output->standardOutput, lineWhileRunning);  // nothing written afterwards
    EXPECT_EQ(fake.output->standardError, "");
    EXPECT_FALSE(fake.output->exitCode.has_value());  // ended by the loop, not by an exit call
}

TEST_F(AuthorizeKeepAliveTest, StartsAtThePointerReadsTheDelayWhenScheduledAndEndsWithoutTheRunner) {
    helperKeepAliveSeconds = 0.05;
    // The pointer at (500, 300) in the system's bottom-left space.
    QCursor::setPos(500, static_cast<int>(primaryScreenGeometry().height()) - 300);
    QObject guard;
    QTimer::singleShot(5000, &guard, [] { QCoreApplication::exit(1); });
    std::optional<Rect> source;
    loop->post([&] {
        runner->run({"authorize", "fullDiskAccess", "--app-url", "/Applications/Tazel.app"});
        source = runner->controller->pendingLaunchSourceFrame();
        helperKeepAliveSeconds = 60;  // too late for this action
        runner.reset();               // the work item only holds the runner weakly
    });
    application->run();
    EXPECT_EQ(source, (Rect{484, 284, 32, 32}));
    EXPECT_EQ(fake.output->standardOutput, "{\"success\":true,\"kind\":\"fullDiskAccess\"}\n");
    EXPECT_EQ(application->lastExitCode(), 0);
}

}  // namespace
}  // namespace kestrum::desktop
