#include "AuthorizeCommand.hpp"

#include <memory>
#include <string>

#include "kestrum/PermissionStatusRegistry.hpp"
#include "kestrum/helper/KestrumHelperRunner.hpp"
#include "kestrum/ports/Platform.hpp"

namespace kestrum {

void runAuthorize(KestrumHelperRunner& runner, KestrumPane pane, const URL& appURL) {
    // The flow itself (controller, accessory presence, panel at the pointer) joins here;
    // until then the action reports the state and keeps the process alive.
    static_cast<void>(appURL);

    HelperOutput output{true, std::string(rawValue(pane)), std::nullopt, std::nullopt};
    // Full disk access is left to the target application's own process.
    if (pane != KestrumPane::fullDiskAccess) {
        output.status = std::string(rawValue(PermissionStatusRegistry::provider(pane)->authorizationState()));
    }
    writeOutput(output);

    // The work item must neither keep the runner alive nor fail once it is gone.
    std::weak_ptr<KestrumHelperRunner> weakRunner = runner.weak_from_this();
    platform().mainLoop->scheduleOnce(helperKeepAliveSeconds, [weakRunner] {
        if (auto strongRunner = weakRunner.lock(); strongRunner && strongRunner->controller) {
            // The flow's panel is closed here, without returning the focus, once the flow exists.
        }
        platform().application->terminate();
    });
}

}  // namespace kestrum
