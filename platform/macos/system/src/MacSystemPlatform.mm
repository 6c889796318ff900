#import <Foundation/Foundation.h>

#include <dlfcn.h>

#include <string>

#include "MacPorts.hpp"
#include "kestrum/linux/PosixOutput.hpp"
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

bool extendWithDesktopShell(Platform& ports) {
    NSString* folder = [NSBundle mainBundle].executablePath.stringByDeletingLastPathComponent;
    if (!folder) return false;
    NSString* file = [[NSString alloc] initWithBytes:desktopShellFileName.data()
                                              length:desktopShellFileName.size()
                                            encoding:NSUTF8StringEncoding];
    const std::string path = [folder stringByAppendingPathComponent:file].fileSystemRepresentation;
    // Stays loaded for the life of the process: its code runs until the end.
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) return false;
    using Entry = int (*)(Platform*);
    auto entry = reinterpret_cast<Entry>(::dlsym(handle, desktopShellEntryPoint));
    if (!entry) return false;
    Platform extended = ports;
    if (entry(&extended) != 1) return false;
    ports = std::move(extended);
    return true;
}

}  // namespace kestrum::macos
