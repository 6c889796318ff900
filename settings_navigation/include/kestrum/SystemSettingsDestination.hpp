#pragma once
// A location inside the settings application: its URL, the pane it belongs to and the
// section (anchor) inside that pane. Building one never contacts the application.
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "kestrum/SettingsAnchors.hpp"
#include "kestrum/URL.hpp"

namespace kestrum {

class SystemSettingsDestination {
public:
    // Stores the three values unchanged; nothing is validated or derived.
    SystemSettingsDestination(URL url, std::optional<std::string> paneIdentifier, std::optional<std::string> anchor);
    // Builds the URL: scheme, pane identifier (unencoded) and, for a non-empty anchor, "?" and
    // the anchor percent-encoded for a query. The anchor is stored as given, never encoded;
    // an empty anchor is stored although the URL leaves it out.
    SystemSettingsDestination(std::string_view paneIdentifier, std::optional<std::string_view> anchor);

    const URL& url() const { return url_; }
    const std::optional<std::string>& paneIdentifier() const { return paneIdentifier_; }
    const std::optional<std::string>& anchor() const { return anchor_; }

    friend bool operator==(const SystemSettingsDestination&, const SystemSettingsDestination&) = default;

    // Named destinations. The ones without arguments are built once and shared; privacy()
    // and every operation with an argument build a new value on each call.
    static SystemSettingsDestination privacy();
    static SystemSettingsDestination privacy(std::string_view anchor);
    static SystemSettingsDestination privacy(PrivacySecurityAnchor anchor);
    static const SystemSettingsDestination& wallpaper();
    static const SystemSettingsDestination& displays();
    static SystemSettingsDestination displays(DisplaySettingsAnchor anchor);
    static const SystemSettingsDestination& bluetooth();
    static const SystemSettingsDestination& loginItems();
    static SystemSettingsDestination loginItems(LoginItemsSettingsAnchor anchor);
    // Both address the extensions pane, with the anchor "extensionPointIdentifier=<identifier>".
    static SystemSettingsDestination loginItems(std::string_view extensionPointIdentifier);
    static SystemSettingsDestination loginItems(LoginItemsExtensionPointIdentifier extensionPointIdentifier);
    static const SystemSettingsDestination& wifi();
    static SystemSettingsDestination wifi(WiFiSettingsAnchor anchor);
    static const SystemSettingsDestination& vpn();
    static SystemSettingsDestination vpn(VPNSettingsAnchor anchor);
    static const SystemSettingsDestination& accessibility();
    static SystemSettingsDestination accessibility(AccessibilitySettingsAnchor anchor);
    static SystemSettingsDestination accessibility(std::string_view anchor);

    static constexpr std::string_view privacyPaneIdentifier = "com.apple.settings.PrivacySecurity.extension";
    static constexpr std::string_view wallpaperPaneIdentifier = "com.apple.Wallpaper-Settings.extension";
    static constexpr std::string_view displaysPaneIdentifier = "com.apple.Displays-Settings.extension";
    static constexpr std::string_view bluetoothPaneIdentifier = "com.apple.BluetoothSettings";
    static constexpr std::string_view loginItemsPaneIdentifier = "com.apple.LoginItems-Settings.extension";
    static constexpr std::string_view extensionsPaneIdentifier = "com.apple.ExtensionsPreferences";
    static constexpr std::string_view wifiPaneIdentifier = "com.apple.wifi-settings-extension";
    static constexpr std::string_view vpnPaneIdentifier = "com.apple.NetworkExtensionSettingsUI.NESettingsUIExtension*vpn";
    static constexpr std::string_view accessibilityPaneIdentifier = "com.apple.Accessibility-Settings.extension";

private:
    URL url_;
    std::optional<std::string> paneIdentifier_;
    std::optional<std::string> anchor_;
};

// The characters, besides ASCII letters and digits, that a URL query carries unencoded.
inline constexpr std::string_view kQueryAllowedPunctuation = "-._~!$&'()*+,;=:@/?";

}  // namespace kestrum

// Covers url, paneIdentifier and anchor in that order; each optional contributes a presence
// marker and, when present, its text, so an empty anchor hashes apart from no anchor.
template <>
struct std::hash<kestrum::SystemSettingsDestination> {
    std::size_t operator()(const kestrum::SystemSettingsDestination& destination) const noexcept;
};
