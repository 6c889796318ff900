#pragma once
// The panel's content as plain data: what the core decided to show, for a shell to render.
#include <optional>
#include <string>
#include <vector>

#include "kestrum/URL.hpp"

namespace kestrum {

// One run of the header title with its inline styles.
struct StyledRun {
    std::string text;
    bool strong = false;
    bool emphasis = false;
    bool code = false;
    std::optional<std::string> link;
    friend bool operator==(const StyledRun&, const StyledRun&) = default;
};

// The arrow beside the title: tilted and lowered at rest, upright and larger while dragging.
struct HeaderDirectionIconPose {
    bool isDragging = false;
    double rotationDegrees = -10;
    double offsetY = 1;
    double scale = 1;
    double animationSeconds = 0.18;
    friend bool operator==(const HeaderDirectionIconPose&, const HeaderDirectionIconPose&) = default;
};

// The draggable card of the application bundle.
struct AppCardContent {
    URL url;
    std::string name;       // the bundle's name without its extension
    std::string dragLabel;  // text under the hand symbol
    friend bool operator==(const AppCardContent&, const AppCardContent&) = default;
};

struct PanelContent {
    std::vector<StyledRun> headerTitle;
    HeaderDirectionIconPose icon;
    bool showsSettingsButton = true;
    std::optional<AppCardContent> card;
    std::optional<std::string> localeIdentifier;
    friend bool operator==(const PanelContent&, const PanelContent&) = default;
};

}  // namespace kestrum
