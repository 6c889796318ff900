// A host application on Linux, built against the installed package: it assembles its platform
// from the Linux shells (and the desktop shell beside the helper), reads a permission's state,
// runs an authorize flow until its panel is up, and runs the installed helper. Prints what it
// saw; exits 0 only when everything answered as expected.
#include <sys/wait.h>

#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "kestrum/KestrumButtonState.hpp"
#include "kestrum/KestrumController.hpp"
#include "kestrum/KestrumScreenRecordingStatus.hpp"
#include "kestrum/PermissionStatusRegistry.hpp"
#include "kestrum/desktop/DesktopShellLoader.hpp"
#include "kestrum/linux/IcuTextServices.hpp"
#include "kestrum/linux/LinuxMainLoop.hpp"
#include "kestrum/linux/LinuxSystemPlatform.hpp"

namespace {

int failures = 0;

void expect(bool condition, const std::string& what) {
    std::cout << (condition ? "ok   " : "FAIL ") << what << '\n';
    if (!condition) ++failures;
}

std::string run(const std::string& command) {
    std::string output;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, pipe)) output += buffer;
        ::pclose(pipe);
    }
    return output;
}

}  // namespace

int main() {
    auto loop = std::make_shared<kestrum::LinuxMainLoop>();
    kestrum::Platform ports = kestrum::makeLinuxSystemPlatform(loop);
    ports.textServices = std::make_shared<kestrum::IcuTextServices>();
    const auto shell = kestrum::desktop::loadDesktopShell(KESTRUM_DESKTOP_SHELL_DIR, ports);
    expect(shell.extended, "the desktop shell beside the helper extends the ports" + shell.error);
    kestrum::installPlatform(ports);

    kestrum::KestrumScreenRecordingStatus::registerProvider();
    const auto state = kestrum::PermissionStatusRegistry::provider(kestrum::KestrumPane::microphone)->authorizationState();
    const auto button = kestrum::KestrumButtonState::make(state);
    expect(button.isGranted == (state == kestrum::PermissionAuthorizationState::granted),
           "microphone: " + std::string(kestrum::rawValue(state)) + ", button " + button.titleKey);

    const auto app = kestrum::URL::fileURL("/opt/Tazel/Tazel.app");
    auto controller = kestrum::Kestrum::makeController(kestrum::KestrumConfiguration({app}, false, "de"));
    controller->authorize(kestrum::KestrumPane::accessibility, {}, kestrum::Rect{100, 100, 32, 32});
    loop->scheduleOnce(0.3, [&] {
        expect(controller->currentPane() == kestrum::KestrumPane::accessibility, "the flow is at accessibility");
        expect(controller->panel() != nullptr, "the flow shows its panel");
        expect(controller->droppedApps() == std::vector<kestrum::URL>{app}, "the host's application is offered");
        controller->closePanel(false);
        expect(controller->panel() == nullptr, "closing the flow drops its panel");

        const std::string line = run("'" KESTRUM_HELPER "' status microphone");
        expect(line.rfind("{\"success\":true,\"kind\":\"microphone\",\"status\":\"", 0) == 0,
               "the helper answers: " + line.substr(0, line.find('\n')));
        std::cout.flush();
        kestrum::platform().output->exitProcess(failures == 0 ? 0 : 1);
    });
    kestrum::platform().application->run();
    return 1;  // the flow's task ends the process
}
