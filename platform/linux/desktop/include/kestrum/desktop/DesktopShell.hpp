#pragma once
// Installing the Qt desktop shell into the process's platform.
#include <memory>

#include "kestrum/ports/WindowServer.hpp"

class QApplication;

namespace kestrum::desktop {

// The process's QApplication, made on first use. Without a display (neither DISPLAY nor
// WAYLAND_DISPLAY set, or an X display that cannot be reached, and no platform chosen
// explicitly) it uses the off-screen platform.
// Qt's own messages are dropped: the helper writes nothing but its line.
QApplication& ensureQtApplication();

// Replaces the application (Qt's loop driving the installed LinuxMainLoop), the panel windows,
// the text services and the screens of platform(), and on an X11 desktop the window list and
// the running and active applications; keeps every other port. A running
// LinuxApplication is asked to stop so that the Qt application takes over the process.
// False (and nothing changed) when the installed main loop is not a LinuxMainLoop.
bool installDesktopShell();

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

// The entry point the helper looks up after loading the shell: installDesktopShell(), 1 on
// success and 0 otherwise.
extern "C" int kestrum_install_desktop_shell();
