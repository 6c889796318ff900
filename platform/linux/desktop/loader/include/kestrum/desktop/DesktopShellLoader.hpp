#pragma once
// Loads the Qt desktop shell (libKestrumDesktop.so) from a folder and lets it extend the ports
// being assembled for a run. The shell links the same core library as whoever loads it, so both
// share one platform() and one main loop.
#include <memory>
#include <string>
#include <string_view>

#include "kestrum/ports/DesktopShellEntry.hpp"
#include "kestrum/ports/HeadlessPanelWindow.hpp"
#include "kestrum/ports/Platform.hpp"

namespace kestrum::desktop {

inline constexpr std::string_view desktopShellFileName = "libKestrumDesktop.so";

// The shell's entry point (kestrum/ports/DesktopShellEntry.hpp) extends *ports with panel
// windows, the application running Qt's event loop, text services, screens, and on X11 the
// window list and the workspace; it refuses a main loop it cannot drive.

struct DesktopShellLoadResult {
    bool extended = false;
    std::string error;  // what failed, when not extended
};

// Loads the shell from `directory` and lets its entry point extend `ports`, which stay as they
// were when anything fails. A damaged shell is refused, not loaded: the file must be a regular
// ELF shared object of this machine whose headers and segments lie within the file (a truncated
// one would end the process with SIGBUS once mapped), it must be built for this interface
// version, and its entry point must answer success with every port still there and panel
// windows and an application of its own added. Loading it twice is harmless.
DesktopShellLoadResult loadDesktopShell(std::string_view directory, Platform& ports);

// Ports with which a flow can show its panel: the shell from `directory`, and panels that render
// nothing when there are still none (the shell could not be loaded), so that the flow (and the
// process) goes on without a display of its own.
void assembleDesktopPorts(std::string_view directory, Platform& ports);

}  // namespace kestrum::desktop
