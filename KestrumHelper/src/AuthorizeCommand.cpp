#include "AuthorizeCommand.hpp"

#include <memory>
#include <string>

#include "kestrum/KestrumController.hpp"
#include "kestrum/PermissionStatusRegistry.hpp"
#include "kestrum/helper/KestrumHelperRunner.hpp"
#include "kestrum/ports/Platform.hpp"

namespace kestrum {

namespace {
// The launch animation starts from a square of this side centred on the pointer.
constexpr double pointerSquareSide = 32;
}  // namespace

void runAuthorize(KestrumHelperRunner& runner, KestrumPane pane, const URL& appURL) {
    const auto application = platform().application;

    runner.controller = KestrumController::create(KestrumConfiguration({appURL}, false, std::nullopt));
    application->setActivationPolicy(ActivationPolicy::accessory);
    const Point pointer = application->mouseLocation();
    const Rect source{pointer.x - pointerSquareSide / 2, pointer.y - pointerSquareSide / 2, pointerSquareSide,
                      pointerSquareSide};
    runner.controller->authorize(pane, {appURL}, source);

    // The keep-alive is armed before the line is written: a host that never reads the line
    // must not keep the process beyond it. The work item must neither keep the runner alive nor
    // fail once it is gone. The delay is read now, so a changed keep-alive applies to the next
    // authorize.
    const double keepAlive = helperKeepAliveSeconds;
    std::weak_ptr<KestrumHelperRunner> weakRunner = runner.weak_from_this();
    platform().mainLoop->scheduleOnce(keepAlive, [weakRunner] {
        if (auto strongRunner = weakRunner.lock(); strongRunner && strongRunner->controller) {
            strongRunner->controller->closePanel(false);
        }
        // The application ends the process, exit code 0.
        if (const auto current = platform().application) current->terminate();
    });

    HelperOutput output{true, std::string(rawValue(pane)), std::nullopt, std::nullopt};
    // Full disk access is left to the target application's own process.
    if (pane != KestrumPane::fullDiskAccess) {
        output.status = std::string(reportedStatus(PermissionStatusRegistry::provider(pane)->authorizationState()));
    }
    // Gives up by the time the keep-alive is due, so the loop gets to run it.
    writeOutput(output, keepAlive);
}

}  // namespace kestrum
