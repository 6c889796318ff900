// The helper's entry point: installs the Linux shell's ports, posts the one task that runs the
// command and runs the application's event loop.
#include <signal.h>

#include <memory>
#include <string>
#include <vector>

#include "kestrum/ResourceBundle.hpp"
#include "kestrum/desktop/DesktopShellLoader.hpp"
#include "kestrum/helper/AuthorizePorts.hpp"
#include "kestrum/helper/KestrumHelperRunner.hpp"
#include "kestrum/linux/LinuxMainLoop.hpp"
#include "kestrum/linux/LinuxSystemPlatform.hpp"
#include "kestrum/linux/PosixOutput.hpp"

int main(int argc, char** argv) {
    // A host may start the helper with standard output closed; keep its number from being
    // reused by a descriptor the line must never reach.
    kestrum::reserveStandardDescriptors();
    // A host that stops reading must not end the helper; failed writes are ignored instead.
    ::signal(SIGPIPE, SIG_IGN);

    kestrum::installPlatform(kestrum::makeLinuxSystemPlatform(std::make_shared<kestrum::LinuxMainLoop>()));
#ifdef KESTRUM_TEST_BUILD_KEEP_ALIVE_SECONDS
    // A test build: authorize ends within a test's time, and the tests control the build tree's
    // bundle path.
    kestrum::helperKeepAliveSeconds = KESTRUM_TEST_BUILD_KEEP_ALIVE_SECONDS;
    kestrum::setResourceBundleBuildPath(KESTRUM_TEST_BUILD_RESOURCE_BUNDLE_PATH);
#else
    kestrum::helperKeepAliveSeconds = 300;
#endif
    // authorize shows its panel through the desktop shell beside the executable.
    kestrum::prepareAuthorizePorts = [] {
        kestrum::desktop::prepareDesktopShell(kestrum::platform().fileSystem->mainBundlePath());
    };

    auto runner = std::make_shared<kestrum::KestrumHelperRunner>();
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) arguments.emplace_back(argv[i]);
    kestrum::platform().mainLoop->post([runner, arguments] { runner->run(arguments); });

    // The desktop shell may install an application of its own while the first loop runs and
    // stop that loop; its application then takes over the process.
    std::shared_ptr<kestrum::Application> ran;
    for (;;) {
        auto application = kestrum::platform().application;
        if (!application || application == ran) break;
        ran = application;
        application->run();
    }
    return 0;
}
