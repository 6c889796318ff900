#include "kestrum/SystemSettings.hpp"

#include "kestrum/SystemSettingsApplication.hpp"
#include "kestrum/ports/Platform.hpp"

namespace kestrum {

SettingsNavigator::SettingsNavigator()
    : bundleIdentifier_(kSystemSettingsBundleIdentifier), applicationURL_(URL::fileURL(kSystemSettingsApplicationPath)) {}

bool SettingsNavigator::openSettings(const URL& url) const {
    const auto workspace = platform().workspace;
    if (!workspace) return false;
    // Launching first makes sure the application exists to receive the URL; the request is
    // made even when it already runs, and its outcome is not awaited.
    workspace->launchApplication(applicationURL_);
    const bool accepted = workspace->openURL(url);
    activateSettings();
    return accepted;
}

void SettingsNavigator::activateSettings() const {
    const auto workspace = platform().workspace;
    if (!workspace) return;
    const auto running = workspace->runningApplications(bundleIdentifier_);
    if (!running.empty()) workspace->activateIgnoringOtherApps(running.front());
}

bool SystemSettings::open(const URL& url) { return SettingsNavigator().openSettings(url); }

bool SystemSettings::open(const SystemSettingsDestination& destination) { return open(destination.url()); }

bool SystemSettings::open(std::string_view paneIdentifier, std::optional<std::string_view> anchor) {
    return open(SystemSettingsDestination(paneIdentifier, anchor));
}

void SystemSettings::activate() { SettingsNavigator().activateSettings(); }

}  // namespace kestrum
