#include "kestrum/desktop/DesktopShellLoader.hpp"

#include <dlfcn.h>

namespace kestrum::desktop {

DesktopShellLoadResult loadDesktopShell(std::string_view directory, Platform& ports) {
    std::string path(directory);
    if (!path.empty() && path.back() != '/') path += '/';
    path += desktopShellFileName;
    // The handle stays open for the life of the process: the shell's code runs until the end.
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* error = ::dlerror();
        return {false, error ? error : "cannot load " + path};
    }
    auto entry = reinterpret_cast<DesktopShellEntry>(::dlsym(handle, desktopShellEntryPoint));
    if (!entry) return {false, std::string("no entry point in ") + path};
    // The shell works on a copy, so that a refusal cannot leave the ports half extended.
    Platform extended = ports;
    if (entry(desktopShellInterfaceVersion, &extended) != 1) return {false, "the desktop shell refused the ports"};
    ports = std::move(extended);
    return {true, {}};
}

void assembleDesktopPorts(std::string_view directory, Platform& ports) {
    loadDesktopShell(directory, ports);
    // Whatever the shell did, a flow needs panels.
    if (!ports.panelWindows) ports.panelWindows = std::make_shared<HeadlessPanelWindowFactory>();
}

}  // namespace kestrum::desktop
