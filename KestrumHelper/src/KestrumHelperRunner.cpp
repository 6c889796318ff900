#include "kestrum/helper/KestrumHelperRunner.hpp"

#include "AuthorizeCommand.hpp"
#include "kestrum/KestrumScreenRecordingStatus.hpp"
#include "kestrum/PermissionStatusRegistry.hpp"
#include "kestrum/SettingsURLs.hpp"
#include "kestrum/SystemSettings.hpp"
#include "kestrum/ports/Platform.hpp"

namespace kestrum {

double helperKeepAliveSeconds = 300;

namespace {

constexpr std::string_view kUnknownKind = "unknown";
constexpr std::string_view kFullDiskAccessRefusal =
    "Full Disk Access status must be checked by the target app process.";

}  // namespace

void KestrumHelperRunner::finish(const HelperOutput& output, int exitCode) {
    writeOutput(output, helperKeepAliveSeconds);
    platform().output->exitProcess(exitCode);
}

void KestrumHelperRunner::run(const std::vector<std::string>& arguments) { run(parseCommand(arguments)); }

void KestrumHelperRunner::run(const ParseCommandResult& parsed) {
    // The screen-recording provider is not in the registry's default table.
    KestrumScreenRecordingStatus::registerProvider();

    if (const auto* error = std::get_if<ParseCommandError>(&parsed)) {
        finish(HelperOutput{false, std::string(kUnknownKind), std::nullopt, error->message}, kExitUsage);
        return;
    }
    runCommand(std::get<HelperCommand>(parsed));
}

void KestrumHelperRunner::runCommand(const HelperCommand& command) {
    const KestrumPane pane = command.kind();
    const std::string kind(rawValue(pane));

    if (const auto* authorize = std::get_if<HelperCommand::Authorize>(&command.value)) {
        runAuthorize(*this, pane, authorize->appURL, authorize->closeWhenGranted);
        return;
    }
    if (std::holds_alternative<HelperCommand::Open>(command.value)) {
        // Whether the platform accepted the URL does not change the answer.
        SystemSettings::open(settingsURL(pane));
        finish(HelperOutput{true, kind, std::nullopt, std::nullopt}, kExitSuccess);
        return;
    }
    if (pane == KestrumPane::fullDiskAccess) {
        // Only the target application's own process can read this state (status and wait alike).
        finish(HelperOutput{false, kind, std::nullopt, std::string(kFullDiskAccessRefusal)}, kExitRefused);
        return;
    }
    if (const auto* wait = std::get_if<HelperCommand::Wait>(&command.value)) {
        waitForGrant(pane, wait->timeout);
        return;
    }
    const auto state = PermissionStatusRegistry::provider(pane)->authorizationState();
    finish(statusOutput(pane, state), kExitSuccess);
}

void KestrumHelperRunner::waitForGrant(KestrumPane pane, double timeout) {
    // A pane without a provider can never become granted: no reading is worth a process.
    if (!GrantWatch::isReadable(pane)) {
        finish(statusOutput(pane, PermissionAuthorizationState::unknown), kExitSuccess);
        return;
    }
    // A host that has gone ends the wait: nobody is left to tell.
    grantWatch = GrantWatch::start(
        pane, timeout, [] { return platform().output->standardOutputGone(); },
        [pane](const GrantWatch::Outcome& outcome) { finish(statusOutput(pane, outcome.state), kExitSuccess); });
}

}  // namespace kestrum
