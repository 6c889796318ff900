#pragma once
// Sizes in points, radii, strokes and opacities of the panel and its card, as the panel's
// design gives them.
#import <CoreGraphics/CoreGraphics.h>

namespace kestrum::macos {

struct PanelMetrics {
    static constexpr CGFloat topPadding = 8;
    static constexpr CGFloat bottomPadding = 12;
    static constexpr CGFloat sidePadding = 12;
    static constexpr CGFloat columnSpacing = 6;
    static constexpr CGFloat headerSpacing = 3;
    static constexpr CGFloat titleFontSize = 14;
    static constexpr CGFloat directionIconPointSize = 14;
    static constexpr CGFloat settingsSymbolPointSize = 15;
    static constexpr CGFloat closeSymbolPointSize = 18;
    static constexpr CGFloat cornerRadius = 18;
    static constexpr CGFloat strokeOpacity = 0.14;
    static constexpr CGFloat buttonSecondaryOpacity = 0.35;
};

struct CardMetrics {
    static constexpr CGFloat padding = 6;
    static constexpr CGFloat spacing = 8;
    static constexpr CGFloat iconSize = 32;
    static constexpr CGFloat iconCornerRadius = 10;
    static constexpr CGFloat nameFontSize = 16;
    static constexpr CGFloat nameStackSpacing = 4;
    static constexpr CGFloat hintSymbolPointSize = 14;
    static constexpr CGFloat hintLabelFontSize = 8;
    static constexpr CGFloat hintTrailingPadding = 6;
    static constexpr CGFloat cornerRadius = 16;
    static constexpr CGFloat backgroundOpacity = 0.65;
    static constexpr CGFloat strokeOpacity = 0.085;
};

}  // namespace kestrum::macos
