#pragma once
// The entry point through which a desktop shell loaded at run time (the Qt shell on Linux, the
// AppKit half on macOS) extends the ports being assembled for a run, before they are installed.
#include <functional>
#include <string>

#include "kestrum/ports/Platform.hpp"

namespace kestrum::desktop {

// The shell's entry point, `extern "C"`:
//   int kestrum_desktop_shell_assemble(unsigned interfaceVersion, kestrum::Platform* ports);
// It answers 1 after extending *ports (panel windows, the application running the platform's
// event loop, and whatever else the platform's shell provides), and 0 with *ports as it was
// when it cannot: another interface version, or ports it cannot work with.
inline constexpr const char* desktopShellEntryPoint = "kestrum_desktop_shell_assemble";
using DesktopShellEntry = int (*)(unsigned interfaceVersion, Platform* ports);
// Changes whenever the Platform record or the entry point's contract changes.
inline constexpr unsigned desktopShellInterfaceVersion = 2;
// `extern "C" const unsigned`: the interface version the shell was built for, checked before
// the entry point is called (an entry point of another contract could not even be called safely).
inline constexpr const char* desktopShellVersionSymbol = "kestrum_desktop_shell_interface_version";

// Lets a loaded shell extend `ports`, its symbols looked up by `symbol` (dlsym on its handle).
// Answers what went wrong, or nothing when the ports were extended; they stay as they were
// otherwise. A shell's answer of success is believed only when it kept every port it was given
// and added panel windows and an application of its own.
std::string extendThroughDesktopShell(const std::function<void*(const char*)>& symbol, Platform& ports);

}  // namespace kestrum::desktop
