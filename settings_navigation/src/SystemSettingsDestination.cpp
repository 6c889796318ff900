#include "kestrum/SystemSettingsDestination.hpp"

#include "kestrum/UTF8.hpp"

#include <cstdint>
#include <utility>

#include "kestrum/SystemSettingsApplication.hpp"

namespace kestrum {
namespace {


// Every printable ASCII punctuation character: used only to make a URL out of a caller's pane
// identifier that would not parse as it stands (blanks, controls, non-ASCII get encoded).
constexpr std::string_view kPrintablePunctuation = "!\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~";

URL buildURL(std::string_view paneIdentifier, std::optional<std::string_view> anchor) {
    std::string text(kSystemSettingsURLScheme);
    text += ':';
    text += paneIdentifier;
    if (anchor && isValidUTF8(*anchor)) {
        const std::string encoded = percentEncode(*anchor, kQueryAllowedPunctuation);
        if (!encoded.empty()) {
            text += '?';
            text += encoded;
        }
    }
    if (auto url = URL::parse(text)) return std::move(*url);
    // Only a caller-supplied identifier with characters a URL cannot carry gets here; the
    // destination is still formed, with those characters encoded.
    std::string fallback(kSystemSettingsURLScheme);
    fallback += ':';
    fallback += percentEncode(text.substr(fallback.size()), kPrintablePunctuation);
    if (auto url = URL::parse(fallback)) return std::move(*url);
    return *URL::parse(std::string(kSystemSettingsURLScheme) + ":");
}

std::optional<std::string> toOptionalString(std::optional<std::string_view> text) {
    if (!text) return std::nullopt;
    return std::string(*text);
}

SystemSettingsDestination paneConstant(std::string_view paneIdentifier) {
    return SystemSettingsDestination(paneIdentifier, std::nullopt);
}

constexpr std::string_view kExtensionPointPrefix = "extensionPointIdentifier=";

}  // namespace

SystemSettingsDestination::SystemSettingsDestination(URL url, std::optional<std::string> paneIdentifier,
                                                     std::optional<std::string> anchor)
    : url_(std::move(url)), paneIdentifier_(std::move(paneIdentifier)), anchor_(std::move(anchor)) {}

SystemSettingsDestination::SystemSettingsDestination(std::string_view paneIdentifier,
                                                     std::optional<std::string_view> anchor)
    : url_(buildURL(paneIdentifier, anchor)), paneIdentifier_(std::string(paneIdentifier)),
      anchor_(toOptionalString(anchor)) {}

SystemSettingsDestination SystemSettingsDestination::privacy() { return paneConstant(privacyPaneIdentifier); }

SystemSettingsDestination SystemSettingsDestination::privacy(std::string_view anchor) {
    return SystemSettingsDestination(privacyPaneIdentifier, anchor);
}

SystemSettingsDestination SystemSettingsDestination::privacy(PrivacySecurityAnchor anchor) {
    return SystemSettingsDestination(privacyPaneIdentifier, rawValue(anchor));
}

// Function-local statics: built once on first use, safely when several threads race to it.
const SystemSettingsDestination& SystemSettingsDestination::wallpaper() {
    static const SystemSettingsDestination destination = paneConstant(wallpaperPaneIdentifier);
    return destination;
}

const SystemSettingsDestination& SystemSettingsDestination::displays() {
    static const SystemSettingsDestination destination = paneConstant(displaysPaneIdentifier);
    return destination;
}

SystemSettingsDestination SystemSettingsDestination::displays(DisplaySettingsAnchor anchor) {
    return SystemSettingsDestination(displaysPaneIdentifier, rawValue(anchor));
}

const SystemSettingsDestination& SystemSettingsDestination::bluetooth() {
    static const SystemSettingsDestination destination = paneConstant(bluetoothPaneIdentifier);
    return destination;
}

const SystemSettingsDestination& SystemSettingsDestination::loginItems() {
    static const SystemSettingsDestination destination = paneConstant(loginItemsPaneIdentifier);
    return destination;
}

SystemSettingsDestination SystemSettingsDestination::loginItems(LoginItemsSettingsAnchor anchor) {
    return SystemSettingsDestination(loginItemsPaneIdentifier, rawValue(anchor));
}

SystemSettingsDestination SystemSettingsDestination::loginItems(std::string_view extensionPointIdentifier) {
    std::string anchor(kExtensionPointPrefix);
    anchor += extensionPointIdentifier;
    return SystemSettingsDestination(extensionsPaneIdentifier, std::string_view(anchor));
}

SystemSettingsDestination SystemSettingsDestination::loginItems(
    LoginItemsExtensionPointIdentifier extensionPointIdentifier) {
    return loginItems(rawValue(extensionPointIdentifier));
}

const SystemSettingsDestination& SystemSettingsDestination::wifi() {
    static const SystemSettingsDestination destination = paneConstant(wifiPaneIdentifier);
    return destination;
}

SystemSettingsDestination SystemSettingsDestination::wifi(WiFiSettingsAnchor anchor) {
    return SystemSettingsDestination(wifiPaneIdentifier, rawValue(anchor));
}

const SystemSettingsDestination& SystemSettingsDestination::vpn() {
    static const SystemSettingsDestination destination = paneConstant(vpnPaneIdentifier);
    return destination;
}

SystemSettingsDestination SystemSettingsDestination::vpn(VPNSettingsAnchor anchor) {
    return SystemSettingsDestination(vpnPaneIdentifier, rawValue(anchor));
}

const SystemSettingsDestination& SystemSettingsDestination::accessibility() {
    static const SystemSettingsDestination destination = paneConstant(accessibilityPaneIdentifier);
    return destination;
}

SystemSettingsDestination SystemSettingsDestination::accessibility(AccessibilitySettingsAnchor anchor) {
    return SystemSettingsDestination(accessibilityPaneIdentifier, rawValue(anchor));
}

SystemSettingsDestination SystemSettingsDestination::accessibility(std::string_view anchor) {
    return SystemSettingsDestination(accessibilityPaneIdentifier, anchor);
}

}  // namespace kestrum

std::size_t std::hash<kestrum::SystemSettingsDestination>::operator()(
    const kestrum::SystemSettingsDestination& destination) const noexcept {
    // Field by field, in order, with a marker before each optional text.
    std::size_t seed = std::hash<kestrum::URL>{}(destination.url());
    const auto combine = [&seed](std::size_t value) {
        seed ^= value + 0x9E3779B97F4A7C15ull + (seed << 6) + (seed >> 2);
    };
    for (const auto* field : {&destination.paneIdentifier(), &destination.anchor()}) {
        combine(field->has_value() ? 1u : 0u);
        if (*field) combine(std::hash<std::string>{}(**field));
    }
    return seed;
}
