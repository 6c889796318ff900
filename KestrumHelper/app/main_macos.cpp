// The helper's entry point on macOS: assembles the ports of the platform once (the system half,
// and for authorize the AppKit half), installs them, posts the one task that runs the command
// and runs the application's event loop.
#include <signal.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "kestrum/helper/KestrumHelperRunner.hpp"
#include "kestrum/posix/PosixOutput.hpp"
#include "kestrum/macos/MacSystemPlatform.hpp"

int main(int argc, char** argv) {
    // A reading of a waiting helper ends with that helper.
    kestrum::macos::endWithParentProcess();
    // A host may start the helper with standard output closed; keep its number from being
    // reused by a descriptor the line must never reach.
    kestrum::reserveStandardDescriptors();
    // A host that stops reading must not end the helper; failed writes are ignored instead.
    ::signal(SIGPIPE, SIG_IGN);

    kestrum::Platform ports = kestrum::macos::makeMacSystemPlatform();
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    auto parsed = kestrum::parseCommand(arguments, *ports.fileSystem);
    // From here on nothing that a framework logs reaches the host; the helper's own message does.
    ports.output = std::make_shared<kestrum::PosixOutput>(STDOUT_FILENO, kestrum::setStandardErrorAside());
    // authorize shows its panel through the AppKit half; status and open never load it.
    if (const auto* command = std::get_if<kestrum::HelperCommand>(&parsed);
        command && command->action() == kestrum::HelperAction::authorize) {
        kestrum::macos::assembleDesktopPorts(ports);
    }
    kestrum::installPlatform(std::move(ports));
    kestrum::helperKeepAliveSeconds = 300;

    auto runner = std::make_shared<kestrum::KestrumHelperRunner>();
    kestrum::platform().mainLoop->post([runner, parsed = std::move(parsed)] { runner->run(parsed); });
    kestrum::platform().application->run();
    return 0;
}
