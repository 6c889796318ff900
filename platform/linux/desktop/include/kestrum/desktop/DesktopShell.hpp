#pragma once
// The Qt desktop shell's part of the platform assembled for a run.
#include <memory>

#include "kestrum/ports/Platform.hpp"
#include "kestrum/ports/WindowServer.hpp"

class QApplication;

namespace kestrum::desktop {

// The process's QApplication, made on first use, on the first platform that starts: those named
// by QT_QPA_PLATFORM, then X11 when DISPLAY is set (also beside WAYLAND_DISPLAY), Wayland when
// only WAYLAND_DISPLAY is, and the off-screen platform last. Qt's own messages are dropped: the
// helper writes nothing but its line. While the helper's start-up watch is armed, a start-up
// that stalls or that Qt ends fatally restarts the helper on other platforms.
QApplication& ensureQtApplication();

// Puts into `ports` the application (Qt's loop driving the ports' LinuxMainLoop), the panel
// windows, the text services and the screens, and on an X11 desktop the window list and the
// running and active applications; keeps every other port. Makes the QApplication. False (and
// nothing changed) when the ports' main loop is not a LinuxMainLoop, or when too few
// descriptors are free for Qt to start.
bool assembleDesktopShell(Platform& ports);

// The window server of the shell it wraps, with the desktop's screens from Qt (frames in
// bottom-left global coordinates, display numbers 1, 2, ... in Qt's order, primary first).
class QtScreensWindowServer final : public WindowServer {
public:
    explicit QtScreensWindowServer(std::shared_ptr<WindowServer> inner) : inner_(std::move(inner)) {}
    std::optional<LooseValue> copyWindowList(std::uint32_t options, std::uint32_t relativeToWindow) override;
    Rect displayBounds(std::uint32_t displayIdentifier) override;
    std::vector<ScreenDescription> screens() override;

private:
    std::shared_ptr<WindowServer> inner_;
};

}  // namespace kestrum::desktop

// The entry point the loader looks up (see DesktopShellLoader.hpp): assembleDesktopShell() for
// the loader's interface version, 1 on success and 0 otherwise.
extern "C" int kestrum_desktop_shell_assemble(unsigned interfaceVersion, kestrum::Platform* ports);
// The interface version the entry point was built for, read by the loader before it calls it.
extern "C" const unsigned kestrum_desktop_shell_interface_version;
