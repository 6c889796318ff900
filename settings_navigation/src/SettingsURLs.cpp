#include "kestrum/SettingsURLs.hpp"

#include <array>
#include <cstddef>
#include <optional>

#include "kestrum/SystemSettingsDestination.hpp"

namespace kestrum {
namespace {

// Indexed by the pane's position.
constexpr std::array<PrivacySecurityAnchor, allCases<KestrumPane>().size()> kPrivacyAnchors{
    PrivacySecurityAnchor::privacyAppBundles,     // appManagement
    PrivacySecurityAnchor::privacyAccessibility,  // accessibility
    PrivacySecurityAnchor::privacyBluetooth,      // bluetooth
    PrivacySecurityAnchor::privacyDevTools,       // developerTools
    PrivacySecurityAnchor::privacyAllFiles,       // fullDiskAccess
    PrivacySecurityAnchor::privacyListenEvent,    // inputMonitoring
    PrivacySecurityAnchor::privacyMedia,          // mediaAppleMusic
    PrivacySecurityAnchor::privacyMicrophone,     // microphone
    PrivacySecurityAnchor::privacyScreenCapture,  // screenRecording
};

}  // namespace

std::optional<PrivacySecurityAnchor> privacyAnchor(KestrumPane pane) {
    const auto index = caseIndex(pane);
    if (!index) return std::nullopt;
    return kPrivacyAnchors[*index];
}

URL settingsURL(KestrumPane pane) {
    const auto anchor = privacyAnchor(pane);
    return (anchor ? SystemSettingsDestination::privacy(*anchor) : SystemSettingsDestination::privacy()).url();
}

}  // namespace kestrum
