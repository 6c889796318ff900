#include "kestrum/SettingsURLs.hpp"

#include <array>
#include <cstddef>

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

PrivacySecurityAnchor privacyAnchor(KestrumPane pane) { return kPrivacyAnchors[static_cast<std::size_t>(pane)]; }

URL settingsURL(KestrumPane pane) { return SystemSettingsDestination::privacy(privacyAnchor(pane)).url(); }

}  // namespace kestrum
