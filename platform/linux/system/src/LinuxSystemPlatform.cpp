#include "kestrum/linux/LinuxSystemPlatform.hpp"

#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <cstdlib>

#include "kestrum/linux/HeadlessPorts.hpp"
#include "kestrum/linux/LinuxApplication.hpp"
#include "kestrum/linux/LinuxPermissionQueries.hpp"
#include "kestrum/linux/LinuxWorkspace.hpp"
#include "kestrum/posix/PosixChildProcesses.hpp"
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
    ports.childProcesses = std::make_shared<PosixChildProcesses>([] { return std::string("/proc/self/exe"); });
    return ports;
}

void endWithParentProcess() {
    const char* named = std::getenv(parentProcessVariable);
    if (!named) return;
    const long parent = std::strtol(named, nullptr, 10);
    ::unsetenv(parentProcessVariable);  // for this process only
    // Only the process that started this one: a stray value changes nothing.
    if (parent <= 1 || ::getppid() != parent) return;
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) ::raise(SIGKILL);  // it ended just before
}

}  // namespace kestrum
