#include "AuthorizeCommand.hpp"

#include <limits>
#include <memory>
#include <string>

#include "kestrum/KestrumController.hpp"
#include "kestrum/KestrumPane.hpp"
#include "kestrum/PermissionStatusRegistry.hpp"
#include "kestrum/helper/KestrumHelperRunner.hpp"
#include "kestrum/ports/Platform.hpp"

namespace kestrum {

namespace {
// The launch animation starts from a square of this side centred on the pointer.
constexpr double pointerSquareSide = 32;

// Watches for the grant while the flow is open: the panel on screen, or for a pane without a
// panel (microphone) until the keep-alive. Once seen, the flow ends as the close button ends it.
std::shared_ptr<GrantWatch> watchForTheGrant(KestrumPane pane, const std::shared_ptr<KestrumController>& controller) {
    // Nothing to read for full disk access and panes without a provider: the flow runs as always.
    if (!GrantWatch::isReadable(pane)) return nullptr;
    const std::weak_ptr<KestrumController> weak = controller;
    const bool hasPanel = supportsFloatingAuthorizationPanel(pane);
    return GrantWatch::start(
        pane, std::numeric_limits<double>::infinity(),
        [weak, hasPanel] {
            const auto flow = weak.lock();
            return !flow || (hasPanel && !flow->panel());
        },
        [weak](const GrantWatch::Outcome& outcome) {
            if (outcome.ending != GrantWatch::Ending::granted) return;
            if (const auto flow = weak.lock()) flow->closePanel(true);
            // The application ends the process, exit code 0.
            if (const auto application = platform().application) application->terminate();
        });
}

}  // namespace

void runAuthorize(KestrumHelperRunner& runner, KestrumPane pane, const URL& appURL, bool closeWhenGranted) {
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

    // Full disk access is left to the target application's own process.
    const HelperOutput output =
        pane == KestrumPane::fullDiskAccess
            ? HelperOutput{true, std::string(rawValue(pane)), std::nullopt, std::nullopt}
            : statusOutput(pane, PermissionStatusRegistry::provider(pane)->authorizationState());
    // Gives up by the time the keep-alive is due, so the loop gets to run it.
    writeOutput(output, keepAlive);
    // After the line, which reports the state as this process reads it.
    if (closeWhenGranted) runner.grantWatch = watchForTheGrant(pane, runner.controller);
}

}  // namespace kestrum
