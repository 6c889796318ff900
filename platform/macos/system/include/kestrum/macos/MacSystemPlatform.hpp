#pragma once
// The macOS shell's half that the helper links: every port but the panel windows, over
// Foundation, CoreFoundation, ApplicationServices (accessibility, window list, displays),
// libdispatch and POSIX. AppKit (workspace, running applications, screens) and AVFoundation
// (audio capture) are loaded the first time one of those ports is asked, so status starts
// without them. The application it provides runs the main run loop without NSApplication;
// the AppKit half (libKestrumDesktop.dylib) puts its own in, with the panel windows, for authorize.
#include <string_view>

#include "kestrum/ports/Platform.hpp"

namespace kestrum::macos {

Platform makeMacSystemPlatform();

// In a child that the child-process port started (its environment names its parent), ends the
// process with SIGKILL when that parent ends, however it ends: a reading never outlives the helper
// that waits for it. Does nothing in any other process. Call first thing.
void endWithParentProcess();

// The AppKit half, found as the core library is: through the helper's run paths (beside the
// helper, or in the enclosing application's Contents/Frameworks).
inline constexpr std::string_view desktopShellPath = "@rpath/libKestrumDesktop.dylib";

// Lets the AppKit half extend `ports` through its entry point (kestrum/ports/DesktopShellEntry.hpp)
// and, when it cannot be loaded or refuses, puts in panels that render nothing, so that the
// flow still runs and writes its line. True when the AppKit half extended the ports. Main
// thread, before the ports are installed.
bool assembleDesktopPorts(Platform& ports);

}  // namespace kestrum::macos
