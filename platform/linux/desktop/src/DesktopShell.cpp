#include "kestrum/desktop/DesktopShell.hpp"

#include <QApplication>
#include <string>

#include "FontPreparation.hpp"
#include "QtPlatforms.hpp"

#include "kestrum/desktop/DesktopShellLoader.hpp"
#include "kestrum/desktop/QtApplication.hpp"
#include "kestrum/desktop/QtPanelWindow.hpp"
#include "kestrum/desktop/QtScreens.hpp"
#include "kestrum/desktop/ScreenSpace.hpp"
#include "kestrum/desktop/X11Desktop.hpp"
#include "kestrum/linux/IcuTextServices.hpp"
#include "kestrum/linux/LinuxMainLoop.hpp"
#include "kestrum/linux/StartupWatch.hpp"

namespace kestrum::desktop {
namespace {

// Where a restart goes when Qt is about to end the process; chosen with the platforms.
std::string& fatalFallback() {
    static std::string platforms;
    return platforms;
}

// The helper writes nothing but its line: Qt's messages are dropped. A fatal one ends the
// process next; before the helper has answered, a fresh start on the fallback answers instead.
void handleQtMessage(QtMsgType type, const QMessageLogContext&, const QString&) {
    if (type == QtFatalMsg && !fatalFallback().empty()) StartupWatch::restart(fatalFallback());
}

}  // namespace

QApplication& ensureQtApplication() {
    if (auto* existing = qobject_cast<QApplication*>(QCoreApplication::instance())) return *existing;
    const QtPlatformChoice choice = chooseQtPlatforms();
    fatalFallback() = choice.fallback;
    qInstallMessageHandler(handleQtMessage);
    QtEnvironment::dropUnusableSettings();
    // A display (or a session bus) that stops answering must not hold the helper's line back.
    if (choice.platforms != offscreenPlatform) StartupWatch::restartWhenStalled(std::string(offscreenPlatform));
    // Qt keeps references to these for the application's life. The platforms go on the command
    // line, which Qt prefers to QT_QPA_PLATFORM: the environment that the URL opener inherits
    // stays as the user set it.
    static std::string platforms = choice.platforms;
    static char name[] = "KestrumHelper";
    static char platformOption[] = "-platform";
    static char* argv[] = {name, platformOption, platforms.data(), nullptr};
    static int argc = 3;
    // Lives until the process ends; its destruction at exit would outlive the windows' owners.
    auto* application = new QApplication(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    return *application;
}

bool assembleDesktopShell(Platform& ports) {
    auto loop = std::dynamic_pointer_cast<LinuxMainLoop>(ports.mainLoop);
    if (!loop || !QtEnvironment::enoughDescriptors()) return false;
    // While Qt starts (and on X11 waits on the display server), the fonts are read beside it; the
    // first text laid out is the first panel's, which waits for them (QtPanelWindowFactory).
    fonts::beginPreparing();
    ensureQtApplication();
    fonts::applicationStarted();

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

extern "C" const unsigned kestrum_desktop_shell_interface_version = kestrum::desktop::desktopShellInterfaceVersion;

extern "C" int kestrum_desktop_shell_assemble(unsigned interfaceVersion, kestrum::Platform* ports) {
    using namespace kestrum::desktop;
    if (interfaceVersion != desktopShellInterfaceVersion || !ports) return 0;
    return assembleDesktopShell(*ports) ? 1 : 0;
}
