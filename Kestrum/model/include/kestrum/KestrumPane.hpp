#pragma once
// The privacy permissions the system deals with; raw values are the command-line kinds.
#include <array>
#include <optional>
#include <string_view>
#include <utility>

#include "kestrum/RawEnum.hpp"

namespace kestrum {

enum class KestrumPane {
    appManagement,
    accessibility,
    bluetooth,
    developerTools,
    fullDiskAccess,
    inputMonitoring,
    mediaAppleMusic,
    microphone,
    screenRecording,
};

template <>
struct RawEnumTable<KestrumPane> {
    static constexpr std::string_view name = "KestrumPane";
    static constexpr std::array<std::pair<KestrumPane, std::string_view>, 9> entries{{
        {KestrumPane::appManagement, "appManagement"},
        {KestrumPane::accessibility, "accessibility"},
        {KestrumPane::bluetooth, "bluetooth"},
        {KestrumPane::developerTools, "developerTools"},
        {KestrumPane::fullDiskAccess, "fullDiskAccess"},
        {KestrumPane::inputMonitoring, "inputMonitoring"},
        {KestrumPane::mediaAppleMusic, "mediaAppleMusic"},
        {KestrumPane::microphone, "microphone"},
        {KestrumPane::screenRecording, "screenRecording"},
    }};
};

// Only the microphone list is opened without the floating panel.
constexpr bool supportsFloatingAuthorizationPanel(KestrumPane pane) { return pane != KestrumPane::microphone; }

}  // namespace kestrum
