#pragma once
// The AppKit half of the macOS shell (libKestrumDesktop.dylib): the NSApplication, the floating
// panel window, its content and the application card. The helper loads it only for authorize;
// it uses the core of the process that loads it and carries no copy of its own.
#include "kestrum/ports/Platform.hpp"

// Adds the AppKit ports (application, panel windows) to the record being assembled; 1 on
// success. Main thread, before the record is installed.
extern "C" int kestrum_extend_platform(kestrum::Platform* ports);
