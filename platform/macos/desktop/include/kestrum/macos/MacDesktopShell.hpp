#pragma once
// The AppKit half of the macOS shell (libKestrumDesktop.dylib): the NSApplication, the floating
// panel window, its content and the application card. The helper loads it only for authorize;
// it links the core library of the process that loads it and carries no copy of its own.
#include "kestrum/ports/DesktopShellEntry.hpp"

// The entry point the helper looks up (kestrum/ports/DesktopShellEntry.hpp): for the helper's
// interface version, puts the AppKit application (whose event loop also serves the main queue
// and the main run loop the system half's main loop uses) and the panel windows into *ports and
// answers 1; 0 otherwise. Main thread, before the ports are installed.
extern "C" int kestrum_desktop_shell_assemble(unsigned interfaceVersion, kestrum::Platform* ports);
// The interface version the AppKit half was built for, read by the helper before it calls the
// entry point.
extern "C" const unsigned kestrum_desktop_shell_interface_version;
