#include "kestrum/desktop/DesktopShellLoader.hpp"

#include <dlfcn.h>

#include "kestrum/ports/Platform.hpp"

namespace kestrum::desktop {

DesktopShellLoadResult loadDesktopShell(std::string_view directory) {
    std::string path(directory);
    if (!path.empty() && path.back() != '/') path += '/';
    path += desktopShellFileName;
    // The handle stays open for the life of the process: the shell's code runs until the end.
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* error = ::dlerror();
        return {false, error ? error : "cannot load " + path};
    }
    using Entry = int (*)();
    auto entry = reinterpret_cast<Entry>(::dlsym(handle, desktopShellEntryPoint));
    if (!entry) return {false, std::string("no entry point in ") + path};
    if (entry() != 1) return {false, "the desktop shell refused the installed main loop"};
    return {true, {}};
}

void prepareDesktopShell(std::string_view directory) {
    if (loadDesktopShell(directory).installed) return;
    if (platform().panelWindows) return;
    Platform ports = platform();
    ports.panelWindows = std::make_shared<HeadlessPanelWindowFactory>();
    installPlatform(ports);
}

}  // namespace kestrum::desktop
