#pragma once
// Bringing the settings application to the front at a given location. The only code that
// launches, opens or activates it; it goes through the Workspace port of the installed
// platform and runs on the caller's (main) thread.
#include <optional>
#include <string>
#include <string_view>

#include "kestrum/SystemSettingsDestination.hpp"
#include "kestrum/URL.hpp"

namespace kestrum {

class SettingsNavigator {
public:
    SettingsNavigator();

    // Requests a launch (even when already running), opens the URL, then activates the
    // running instance. True when the platform accepted the URL; it says nothing about the
    // launch or the activation.
    bool openSettings(const URL& url) const;
    // Activates the first running instance, ignoring other applications; nothing when none runs.
    void activateSettings() const;

private:
    const std::string bundleIdentifier_;
    const URL applicationURL_;
};

class SystemSettings {
public:
    SystemSettings() = delete;

    static bool open(const URL& url);
    static bool open(const SystemSettingsDestination& destination);
    static bool open(std::string_view paneIdentifier, std::optional<std::string_view> anchor);
    static void activate();
};

}  // namespace kestrum
