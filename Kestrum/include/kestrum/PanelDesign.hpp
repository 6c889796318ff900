#pragma once
// The look of the panel's content and of the application card as the design gives it: sizes,
// paddings and spacings in points, font and symbol sizes in points, corner radii, and the
// opacities of strokes and fills. Every shell draws with these; how it renders a material,
// a symbol or a palette colour is its own affair.
namespace kestrum {

struct PanelContentDesign {
    static constexpr int topPadding = 8;
    static constexpr int bottomPadding = 12;
    static constexpr int sidePadding = 12;
    static constexpr int columnSpacing = 6;  // between the header row and the card
    static constexpr int headerSpacing = 3;  // between the header's items, and between the buttons
    static constexpr int titleFontSize = 14;
    static constexpr int directionIconFontSize = 14;
    static constexpr int settingsSymbolFontSize = 15;
    static constexpr int closeSymbolFontSize = 18;
    static constexpr double cornerRadius = 18;
    static constexpr double strokeOpacity = 0.14;
    static constexpr double buttonSecondaryOpacity = 0.35;  // the buttons' second palette layer
};

// The card's height and its drag image are AppDragSource's.
struct AppCardDesign {
    static constexpr int padding = 6;
    static constexpr int spacing = 8;
    static constexpr int iconSize = 32;
    static constexpr double iconCornerRadius = 10;
    static constexpr int nameFontSize = 16;
    static constexpr int nameStackSpacing = 4;
    static constexpr int hintSymbolFontSize = 14;
    static constexpr int hintLabelFontSize = 8;
    static constexpr int hintTrailingPadding = 6;
    static constexpr double cornerRadius = 16;
    static constexpr double backgroundOpacity = 0.65;
    static constexpr double strokeOpacity = 0.085;
};

}  // namespace kestrum
