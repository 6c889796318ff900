#include "kestrum/desktop/DesktopShell.hpp"

#include <xcb/xcb.h>

#include <QApplication>
#include <cstdlib>

#include "kestrum/desktop/DesktopShellLoader.hpp"
#include "kestrum/desktop/QtApplication.hpp"
#include "kestrum/desktop/QtPanelWindow.hpp"
#include "kestrum/desktop/QtScreens.hpp"
#include "kestrum/desktop/ScreenSpace.hpp"
#include "kestrum/desktop/X11Desktop.hpp"
#include "kestrum/linux/IcuTextServices.hpp"
#include "kestrum/linux/LinuxMainLoop.hpp"

namespace kestrum::desktop {
namespace {

void dropMessage(QtMsgType, const QMessageLogContext&, const QString&) {}

bool hasEnvironment(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}

bool x11DisplayReachable() {
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    const bool reachable = connection && !xcb_connection_has_error(connection);
    if (connection) xcb_disconnect(connection);
    return reachable;
}

}  // namespace

QApplication& ensureQtApplication() {
    if (auto* existing = qobject_cast<QApplication*>(QCoreApplication::instance())) return *existing;
    qInstallMessageHandler(dropMessage);
    // Qt ends the process when its platform cannot start; so a display that is named but cannot
    // be reached, like none at all, means the off-screen platform.
    if (!hasEnvironment("QT_QPA_PLATFORM")) {
        if (hasEnvironment("WAYLAND_DISPLAY")) {
            qputenv("QT_QPA_PLATFORM", "wayland;xcb;offscreen");
        } else if (!hasEnvironment("DISPLAY") || !x11DisplayReachable()) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
        }
    }
    // Qt keeps references to both for the application's life.
    static int argc = 1;
    static char name[] = "KestrumHelper";
    static char* argv[] = {name, nullptr};
    // Lives until the process ends; its destruction at exit would outlive the windows' owners.
    auto* application = new QApplication(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    return *application;
}

bool assembleDesktopShell(Platform& ports) {
    auto loop = std::dynamic_pointer_cast<LinuxMainLoop>(ports.mainLoop);
    if (!loop) return false;
    ensureQtApplication();

    ports.application = std::make_shared<QtApplication>(loop);
    ports.panelWindows = std::make_shared<QtPanelWindowFactory>();
    ports.textServices = std::make_shared<IcuTextServices>();
    std::shared_ptr<WindowServer> windows = ports.windowServer;
    // On an X11 desktop other applications' windows and the active one can be known.
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        if (auto desktop = X11Desktop::connect()) {
            windows = std::make_shared<X11WindowServer>(desktop, windows);
            ports.workspace = std::make_shared<X11Workspace>(desktop, ports.workspace);
        }
    }
    ports.windowServer = std::make_shared<QtScreensWindowServer>(windows);
    return true;
}

std::optional<LooseValue> QtScreensWindowServer::copyWindowList(std::uint32_t options,
                                                                std::uint32_t relativeToWindow) {
    return inner_ ? inner_->copyWindowList(options, relativeToWindow) : std::nullopt;
}

Rect QtScreensWindowServer::displayBounds(std::uint32_t displayIdentifier) {
    const auto& bounds = qtScreens().displayBounds;
    if (displayIdentifier >= 1 && displayIdentifier <= bounds.size()) return bounds[displayIdentifier - 1];
    return inner_ ? inner_->displayBounds(displayIdentifier) : Rect{};
}

std::vector<ScreenDescription> QtScreensWindowServer::screens() { return qtScreens().descriptions; }

}  // namespace kestrum::desktop

extern "C" int kestrum_desktop_shell_assemble(unsigned interfaceVersion, kestrum::Platform* ports) {
    using namespace kestrum::desktop;
    if (interfaceVersion != desktopShellInterfaceVersion || !ports) return 0;
    return assembleDesktopShell(*ports) ? 1 : 0;
}
