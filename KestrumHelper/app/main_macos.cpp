// The helper's entry point on macOS: assembles the platform once (the system half, and for
// authorize the AppKit half from beside the executable), posts the one task that runs the
// command and runs the application's event loop.
#include <signal.h>

#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "kestrum/desktop/DesktopShellLoader.hpp"
#include "kestrum/helper/HelperCommand.hpp"
#include "kestrum/helper/KestrumHelperRunner.hpp"
#include "kestrum/linux/PosixOutput.hpp"
#include "kestrum/macos/MacSystemPlatform.hpp"

namespace {

// Only a well-formed authorize shows a panel; every other command ends before one is needed.
bool showsPanel(const std::vector<std::string>& arguments) {
    const auto parsed = kestrum::parseCommand(arguments);
    const auto* command = std::get_if<kestrum::HelperCommand>(&parsed);
    return command && command->action() == kestrum::HelperAction::authorize;
}

}  // namespace

int main(int argc, char** argv) {
    // A host may start the helper with standard output closed; keep its number from being
    // reused by a descriptor the line must never reach.
    kestrum::reserveStandardDescriptors();
    // A host that stops reading must not end the helper; failed writes are ignored instead.
    ::signal(SIGPIPE, SIG_IGN);

    const std::vector<std::string> arguments(argv + 1, argv + argc);
    kestrum::Platform ports = kestrum::macos::makeMacSystemPlatform();
    // Parsing resolves a relative app path against the current directory through the ports.
    kestrum::installPlatform(ports);
    if (showsPanel(arguments)) {
        if (!kestrum::macos::extendWithDesktopShell(ports)) {
            // Without the AppKit half the flow still runs and writes its line.
            ports.panelWindows = std::make_shared<kestrum::desktop::HeadlessPanelWindowFactory>();
        }
        kestrum::installPlatform(ports);
    }
    kestrum::helperKeepAliveSeconds = 300;

    auto runner = std::make_shared<kestrum::KestrumHelperRunner>();
    ports.mainLoop->post([runner, arguments] { runner->run(arguments); });
    ports.application->run();
    return 0;
}
