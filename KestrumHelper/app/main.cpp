// The helper's entry point: assembles the ports of the platform once (the Linux system shell,
// and for authorize the desktop shell beside the executable), installs them, posts the one task
// that runs the command and runs the application's event loop.
#include <malloc.h>
#include <signal.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "kestrum/ResourceBundle.hpp"
#include "kestrum/desktop/DesktopShellLoader.hpp"
#include "kestrum/helper/KestrumHelperRunner.hpp"
#include "kestrum/linux/LinuxMainLoop.hpp"
#include "kestrum/linux/LinuxSystemPlatform.hpp"
#include "kestrum/posix/PosixOutput.hpp"
#include "kestrum/linux/StartupWatch.hpp"

#ifdef KESTRUM_TEST_BUILD_KEEP_ALIVE_SECONDS
namespace kestrum::testbuild {
// Defined by the test build alone (tests/e2e/TestBuildAnswers.cpp): what the tests choose.
void adjustPorts(Platform& ports);
double keepAliveSeconds(double built);
}  // namespace kestrum::testbuild
#endif

int main(int argc, char** argv) {
    // A reading of a waiting helper ends with that helper.
    kestrum::endWithParentProcess();
    // A host may start the helper with standard output closed; keep its number from being
    // reused by a descriptor the line must never reach.
    kestrum::reserveStandardDescriptors();
    // A host that stops reading must not end the helper; failed writes are ignored instead.
    ::signal(SIGPIPE, SIG_IGN);

    kestrum::Platform ports = kestrum::makeLinuxSystemPlatform(std::make_shared<kestrum::LinuxMainLoop>());
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) arguments.emplace_back(argv[i]);
    auto parsed = kestrum::parseCommand(arguments, *ports.fileSystem);
    // From here on nothing that a library prints reaches the host; the helper's own message does.
    ports.output = std::make_shared<kestrum::PosixOutput>(STDOUT_FILENO, kestrum::setStandardErrorAside());
    // authorize shows its panel through the desktop shell beside the executable; status and
    // open never load it. A desktop that stalls or fails while it starts restarts the helper
    // on the off-screen platform rather than hold its line back.
    if (const auto* command = std::get_if<kestrum::HelperCommand>(&parsed);
        command && command->action() == kestrum::HelperAction::authorize) {
        // The threads authorize starts (the start-up watch, the fonts read beside Qt's start, the
        // opener's reaper) allocate little: one malloc arena keeps that in the main heap rather
        // than in a fresh arena for each.
        ::mallopt(M_ARENA_MAX, 1);
        kestrum::StartupWatch::arm({argv, argv + argc}, ports);
        kestrum::desktop::assembleDesktopPorts(ports.fileSystem->mainBundlePath(), ports);
    }
#ifdef KESTRUM_TEST_BUILD_KEEP_ALIVE_SECONDS
    kestrum::testbuild::adjustPorts(ports);
#endif
    kestrum::installPlatform(std::move(ports));
#ifdef KESTRUM_TEST_BUILD_KEEP_ALIVE_SECONDS
    // A test build: authorize ends within a test's time (or the one a test chooses), and the tests
    // control the build tree's bundle path and the permission answers.
    kestrum::helperKeepAliveSeconds = kestrum::testbuild::keepAliveSeconds(KESTRUM_TEST_BUILD_KEEP_ALIVE_SECONDS);
    kestrum::setResourceBundleBuildPath(KESTRUM_TEST_BUILD_RESOURCE_BUNDLE_PATH);
#else
    kestrum::helperKeepAliveSeconds = 300;
#endif

    auto runner = std::make_shared<kestrum::KestrumHelperRunner>();
    kestrum::platform().mainLoop->post([runner, parsed = std::move(parsed)] { runner->run(parsed); });
    kestrum::platform().application->run();
    return 0;
}
