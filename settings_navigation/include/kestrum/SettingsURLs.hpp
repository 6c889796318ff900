#pragma once
// Where each permission pane lives in the settings application.
#include "kestrum/KestrumPane.hpp"
#include "kestrum/SettingsAnchors.hpp"
#include "kestrum/URL.hpp"

namespace kestrum {

// The Privacy & Security section that lists the applications holding the permission.
PrivacySecurityAnchor privacyAnchor(KestrumPane pane);
// The URL of SystemSettingsDestination::privacy(privacyAnchor(pane)).
URL settingsURL(KestrumPane pane);

}  // namespace kestrum
