#include <dlfcn.h>
#include <mach-o/dyld.h>
#include <stdlib.h>

#include <cstdint>
#include <memory>
#include <string>

#include "MacPorts.hpp"
#include "kestrum/ports/DesktopShellEntry.hpp"
#include "kestrum/ports/HeadlessPanelWindow.hpp"
#include "kestrum/posix/PosixChildProcesses.hpp"
#include "kestrum/posix/PosixOutput.hpp"
#include "kestrum/macos/MacSystemPlatform.hpp"

namespace kestrum::macos {
namespace {

// The helper's own file, for running it again: dyld's path of the main executable (which may
// lead through symbolic links, and is asked for its size first), resolved. Asked only when a
// child is started, so status and open never pay for it.
std::string ownExecutablePath() {
    std::uint32_t size = 0;
    _NSGetExecutablePath(nullptr, &size);
    std::string path(size, '\0');
    if (size == 0 || _NSGetExecutablePath(path.data(), &size) != 0) return {};
    if (const auto end = path.find('\0'); end != std::string::npos) path.resize(end);
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (!resolved) return path;
    std::string result(resolved);
    ::free(resolved);
    return result;
}

}  // namespace

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
    ports.childProcesses = std::make_shared<PosixChildProcesses>(ownExecutablePath);
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
