#include "kestrum/macos/MacDesktopShell.hpp"

#include <type_traits>

#include "MacDesktopPorts.hpp"

static_assert(std::is_same_v<decltype(&kestrum_desktop_shell_assemble), kestrum::desktop::DesktopShellEntry>);

extern "C" const unsigned kestrum_desktop_shell_interface_version = kestrum::desktop::desktopShellInterfaceVersion;

extern "C" int kestrum_desktop_shell_assemble(unsigned interfaceVersion, kestrum::Platform* ports) {
    if (interfaceVersion != kestrum::desktop::desktopShellInterfaceVersion || !ports) return 0;
    ports->application = kestrum::macos::makeApplication();
    ports->panelWindows = kestrum::macos::makePanelWindowFactory();
    return 1;
}
