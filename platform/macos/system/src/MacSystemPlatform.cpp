#include <dlfcn.h>

#include <memory>
#include <string>

#include "MacPorts.hpp"
#include "kestrum/ports/DesktopShellEntry.hpp"
#include "kestrum/ports/HeadlessPanelWindow.hpp"
#include "kestrum/posix/PosixOutput.hpp"
#include "kestrum/macos/MacSystemPlatform.hpp"

namespace kestrum::macos {

Platform makeMacSystemPlatform() {
    Platform ports;
    ports.workspace = makeWorkspace();
    ports.accessibility = makeAccessibility();
    ports.windowServer = makeWindowServer();
    ports.permissionQueries = makePermissionQueries();
    ports.fileSystem = makeFileSystem();
    ports.mainLoop = makeMainLoop();
    ports.application = makeSystemApplication();
    ports.textServices = makeTextServices();
    ports.output = std::make_shared<PosixOutput>();
    return ports;
}

namespace {

bool extendWithDesktopShell(Platform& ports) {
    // Stays loaded for the life of the process: its code runs until the end.
    void* handle = ::dlopen(std::string(desktopShellPath).c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) return false;
    return desktop::extendThroughDesktopShell([handle](const char* name) { return ::dlsym(handle, name); }, ports).empty();
}

}  // namespace

bool assembleDesktopPorts(Platform& ports) {
    const bool extended = extendWithDesktopShell(ports);
    // Whatever the shell did, a flow needs panels.
    if (!ports.panelWindows) ports.panelWindows = std::make_shared<desktop::HeadlessPanelWindowFactory>();
    return extended;
}

}  // namespace kestrum::macos
