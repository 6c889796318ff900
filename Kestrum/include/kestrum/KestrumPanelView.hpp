#pragma once
// The panel's content, derived from the controller's state on every render: the direction
// icon's pose, the instruction line with its inline styles, whether the settings button shows,
// and the application card. Nothing is kept between renders.
#include <optional>
#include <string>
#include <vector>

#include "kestrum/PanelContent.hpp"
#include "kestrum/URL.hpp"

namespace kestrum {

class KestrumController;

// The arrow beside the title: tilted 10 degrees counter-clockwise and lowered 1 point at rest,
// upright and 1.08 times larger while the card is dragged; changes animate over 0.18 s.
HeaderDirectionIconPose headerDirectionIcon(bool isDragging);

// The application's name in the title: the bundle's name without its extension, or the
// localized "This App" when there is no application.
std::string appDisplayName(const std::optional<URL>& preferredAppURL,
                           const std::optional<std::string>& localeIdentifier);
// The permission's name in the title: the pane's title, or the localized "Permission".
std::string paneDisplayTitle(const KestrumController& controller);

// The instruction line: the localized template with the two names substituted, read as inline
// Markdown; the plain substituted text when the Markdown cannot be read. The names are
// substituted as literal text, so characters such as "*" in an application's name show as
// written.
std::vector<StyledRun> headerTitle(std::string_view titleTemplate, const std::string& appName,
                                   const std::string& paneTitle);

// Everything the panel shows for the controller's current state. `localeIdentifier` is the
// panel's locale: the card's drag label is looked up in it (the other texts follow the
// controller's locale).
PanelContent makePanelContent(const KestrumController& controller, const std::optional<std::string>& localeIdentifier);

}  // namespace kestrum
