#include "kestrum/KestrumLocalizer.hpp"

#include <algorithm>

#include "kestrum/ports/Platform.hpp"

namespace kestrum {
namespace {

void appendOnce(std::vector<std::string>& list, std::string entry) {
    if (std::find(list.begin(), list.end(), entry) == list.end()) list.push_back(std::move(entry));
}

}  // namespace

std::vector<std::string> KestrumLocalizer::localizationPreferences(std::string_view identifier) {
    std::string normalized(identifier);
    std::replace(normalized.begin(), normalized.end(), '_', '-');

    std::vector<std::string> preferences;
    appendOnce(preferences, normalized);
    const auto& textServices = platform().textServices;
    if (!textServices) return preferences;

    const LocaleParts parts = textServices->localeParts(normalized);
    if (parts.language.empty()) return preferences;
    std::optional<std::string> script;
    if (!parts.script.empty()) {
        script = parts.script;
    } else {
        script = textServices->likelyScript(normalized);
    }
    if (script && !script->empty()) appendOnce(preferences, parts.language + "-" + *script);
    appendOnce(preferences, parts.language);
    return preferences;
}

std::optional<ResourceBundle> KestrumLocalizer::localizedBundle(const std::optional<std::string>& localeIdentifier) {
    if (!localeIdentifier || localeIdentifier->empty()) return std::nullopt;
    const auto module = resourceBundleModule();
    const auto& textServices = platform().textServices;
    if (!module || !textServices) return std::nullopt;

    const auto preferences = localizationPreferences(*localeIdentifier);
    const auto available = module->localizations();
    const auto matches = textServices->preferredLocalizations(available, preferences);
    if (matches.empty()) return std::nullopt;
    // Only the bundle's own localizations are ever opened, whatever the matcher answers.
    if (std::find(available.begin(), available.end(), matches.front()) == available.end()) return std::nullopt;
    const auto directory = module->pathForResource(matches.front(), "lproj");
    if (!directory) return std::nullopt;
    return ResourceBundle::open(*directory);
}

std::string KestrumLocalizer::string(std::string_view key, std::string_view defaultValue,
                                     const std::optional<std::string>& localeIdentifier) {
    if (const auto localization = localizedBundle(localeIdentifier)) {
        return localization->localizedString(key, defaultValue);
    }
    if (const auto module = resourceBundleModule()) return module->localizedStringForUserLanguages(key, defaultValue);
    return std::string(defaultValue);
}

std::string_view localizationKey(KestrumPane pane) {
    switch (pane) {
        case KestrumPane::appManagement: return "kestrum.pane.app_management";
        case KestrumPane::accessibility: return "kestrum.pane.accessibility";
        case KestrumPane::bluetooth: return "kestrum.pane.bluetooth";
        case KestrumPane::developerTools: return "kestrum.pane.developer_tools";
        case KestrumPane::fullDiskAccess: return "kestrum.pane.full_disk_access";
        case KestrumPane::inputMonitoring: return "kestrum.pane.input_monitoring";
        case KestrumPane::mediaAppleMusic: return "kestrum.pane.media_apple_music";
        case KestrumPane::microphone: return "kestrum.pane.microphone";
        case KestrumPane::screenRecording: return "kestrum.pane.screen_recording";
    }
    // A value that is none of the panes is titled like no pane at all.
    return LocalizationKey::panePermission;
}

std::string_view englishTitle(KestrumPane pane) {
    switch (pane) {
        case KestrumPane::appManagement: return "App Management";
        case KestrumPane::accessibility: return "Accessibility";
        case KestrumPane::bluetooth: return "Bluetooth";
        case KestrumPane::developerTools: return "Developer Tools";
        case KestrumPane::fullDiskAccess: return "Full Disk Access";
        case KestrumPane::inputMonitoring: return "Input Monitoring";
        case KestrumPane::mediaAppleMusic: return "Media & Apple Music";
        case KestrumPane::microphone: return "Microphone";
        case KestrumPane::screenRecording: return "Screen Recording";
    }
    return EnglishText::panePermission;
}

std::string localizedTitle(KestrumPane pane, const std::optional<std::string>& localeIdentifier) {
    return KestrumLocalizer::string(localizationKey(pane), englishTitle(pane), localeIdentifier);
}

}  // namespace kestrum
