#pragma once
// The macOS shell's half that the helper links: every port but the panel windows, over
// Foundation, CoreFoundation, ApplicationServices (accessibility, window list, displays),
// libdispatch and POSIX. AppKit (workspace, running applications, screens) and AVFoundation
// (audio capture) are loaded the first time one of those ports is asked, so status starts
// without them. The application it provides runs the main run loop without NSApplication;
// the AppKit half (libKestrumDesktop.dylib) replaces it, with the panel windows, for authorize.
#include <string_view>

#include "kestrum/ports/Platform.hpp"

namespace kestrum::macos {

Platform makeMacSystemPlatform();

// The AppKit half's file name and the entry point it exports:
//   extern "C" int kestrum_extend_platform(kestrum::Platform* ports);
// which adds its ports to the record being assembled and answers 1 (0 when it cannot).
inline constexpr std::string_view desktopShellFileName = "libKestrumDesktop.dylib";
inline constexpr const char* desktopShellEntryPoint = "kestrum_extend_platform";

// Loads the AppKit half from the executable's folder (beside the helper in Contents/Helpers
// or Contents/MacOS) and lets it extend `ports`; false (and `ports` unchanged) when it cannot
// be loaded. Main thread, before the platform is installed.
bool extendWithDesktopShell(Platform& ports);

}  // namespace kestrum::macos
