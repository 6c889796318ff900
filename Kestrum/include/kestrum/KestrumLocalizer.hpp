#pragma once
// Localized texts of the library. Every lookup carries an English default, so a missing table
// or key still gives readable English. A locale identifier pins one localization; without one
// the user's own language preferences decide.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kestrum/KestrumPane.hpp"
#include "kestrum/ResourceBundle.hpp"

namespace kestrum {

// Keys of the texts the library shows.
namespace LocalizationKey {
inline constexpr std::string_view panePermission = "kestrum.pane.permission";
inline constexpr std::string_view appThisApp = "kestrum.app.this_app";
inline constexpr std::string_view panelTitle = "kestrum.panel.title";
inline constexpr std::string_view dragLabel = "kestrum.drag.label";
inline constexpr std::string_view buttonGrant = "kestrum.button.grant";
inline constexpr std::string_view buttonGranted = "kestrum.button.granted";
inline constexpr std::string_view buttonOpen = "kestrum.button.open";
inline constexpr std::string_view buttonChecking = "kestrum.button.checking";
}  // namespace LocalizationKey

namespace EnglishText {
inline constexpr std::string_view panePermission = "Permission";
inline constexpr std::string_view appThisApp = "This App";
inline constexpr std::string_view panelTitle = "Drag **%@** to the list above to allow **%@**.";
}  // namespace EnglishText

struct KestrumLocalizer {
    KestrumLocalizer() = delete;

    // The identifier with "_" read as "-", then its language with its script (the one it names,
    // else the language's likely script), then the language alone; without repeats.
    // zh_TW -> zh-TW, zh-Hant, zh.
    static std::vector<std::string> localizationPreferences(std::string_view identifier);

    // The localization directory of the resource bundle that best fits the identifier; nothing
    // for an absent or empty identifier or when no localization fits.
    static std::optional<ResourceBundle> localizedBundle(const std::optional<std::string>& localeIdentifier);

    // The key's text in the localization chosen for the identifier (the default when that one
    // lacks the key); without such a localization, in the one the user's languages choose.
    static std::string string(std::string_view key, std::string_view defaultValue,
                              const std::optional<std::string>& localeIdentifier);
};

std::string_view localizationKey(KestrumPane pane);
std::string_view englishTitle(KestrumPane pane);
// The pane's title in the identifier's language, e.g. "Full Disk Access".
std::string localizedTitle(KestrumPane pane, const std::optional<std::string>& localeIdentifier);

}  // namespace kestrum
