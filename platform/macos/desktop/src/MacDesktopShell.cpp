#include "kestrum/macos/MacDesktopShell.hpp"

#include "MacDesktopPorts.hpp"

extern "C" int kestrum_extend_platform(kestrum::Platform* ports) {
    if (!ports) return 0;
    ports->application = kestrum::macos::makeApplication();
    ports->panelWindows = kestrum::macos::makePanelWindowFactory();
    return 1;
}
