#include "kestrum/linux/LinuxSystemPlatform.hpp"

#include "kestrum/linux/HeadlessPorts.hpp"
#include "kestrum/linux/LinuxApplication.hpp"
#include "kestrum/linux/LinuxPermissionQueries.hpp"
#include "kestrum/linux/LinuxWorkspace.hpp"
#include "kestrum/posix/PosixFileSystem.hpp"
#include "kestrum/posix/PosixOutput.hpp"

namespace kestrum {

Platform makeLinuxSystemPlatform(std::shared_ptr<LinuxMainLoop> loop) {
    Platform ports;
    ports.workspace = std::make_shared<LinuxWorkspace>("xdg-open", loop);
    ports.accessibility = std::make_shared<HeadlessAccessibility>();
    ports.windowServer = std::make_shared<HeadlessWindowServer>();
    ports.permissionQueries = std::make_shared<LinuxPermissionQueries>();
    ports.fileSystem = std::make_shared<PosixFileSystem>();
    ports.application = std::make_shared<LinuxApplication>(loop);
    ports.mainLoop = std::move(loop);
    ports.output = std::make_shared<PosixOutput>();
    return ports;
}

}  // namespace kestrum
