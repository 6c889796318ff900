#pragma once
// Where each permission pane lives in the settings application.
#include <optional>

#include "kestrum/KestrumPane.hpp"
#include "kestrum/SettingsAnchors.hpp"
#include "kestrum/URL.hpp"

namespace kestrum {

// The Privacy & Security section that lists the applications holding the permission;
// nothing for a value that is none of the panes.
std::optional<PrivacySecurityAnchor> privacyAnchor(KestrumPane pane);
// The URL of SystemSettingsDestination::privacy(privacyAnchor(pane)); Privacy & Security
// itself for a value that is none of the panes.
URL settingsURL(KestrumPane pane);

}  // namespace kestrum
