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

// The instruction line: the localized template read as inline Markdown with each placeholder
// standing as one word, then the two names put into the styled runs as plain text, so that a
// name shows exactly as written ("*", "`" or a closing ")" in it change no styling). The plain
// substituted text when the template's Markdown cannot be read.
std::vector<StyledRun> headerTitle(std::string_view titleTemplate, const std::string& appName,
                                   const std::string& paneTitle);

// Everything the panel shows for the controller's current state. `localeIdentifier` is the
// panel's locale: the card's drag label is looked up in it (the other texts follow the
// controller's locale).
PanelContent makePanelContent(const KestrumController& controller, const std::optional<std::string>& localeIdentifier);

}  // namespace kestrum
