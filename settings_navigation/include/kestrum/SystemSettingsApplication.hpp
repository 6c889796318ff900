#pragma once
// The fixed facts about the platform's settings application, kept in one place for the
// navigator, the window tracker and the flow controller.
#include <string_view>

namespace kestrum {

inline constexpr std::string_view kSystemSettingsBundleIdentifier = "com.apple.systempreferences";
inline constexpr std::string_view kSystemSettingsApplicationPath = "/System/Applications/System Settings.app";
// Every settings location is this scheme and ":", a pane identifier, optionally "?" and an anchor.
inline constexpr std::string_view kSystemSettingsURLScheme = "x-apple.systempreferences";

}  // namespace kestrum
