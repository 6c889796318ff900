#pragma once
// How the desktop shell starts Qt: the platforms it tries, in order, and what of the environment
// it keeps from Qt so that Qt neither ends nor hangs the process.
#include <string>
#include <string_view>

namespace kestrum::desktop {

inline constexpr std::string_view offscreenPlatform = "offscreen";

// The platforms tried without a choice of the user's: X11 when a display is named (also in a
// Wayland session that offers XWayland, where the panel can be placed and other windows seen),
// Wayland when only a Wayland display is named, and the off-screen platform last.
std::string defaultQtPlatforms(const char* display, const char* waylandDisplay);

// The entries of `named` (QT_QPA_PLATFORM's form: ';'-separated names, each with ':'-arguments)
// followed by those of `defaults` whose platform it does not name, so that a named platform that
// cannot start gives way to what would have been chosen without it.
std::string withFallbacks(std::string_view named, std::string_view defaults);

struct QtPlatformChoice {
    std::string platforms;  // for Qt's -platform option
    std::string fallback;   // what a restart after a fatal failure tries; empty when nothing is left
};

// From a restart's list, or else QT_QPA_PLATFORM, DISPLAY and WAYLAND_DISPLAY. Removes the
// restart's variable from the environment, so that no process started later sees it.
QtPlatformChoice chooseQtPlatforms();

class QtEnvironment {
public:
    // Scale factors (QT_SCALE_FACTOR, QT_SCREEN_SCALE_FACTORS, and QT_FONT_DPI against Qt's 96)
    // outside these bounds are dropped: Qt crashes at negative ones, and at large ones the panel
    // outgrows every screen and takes longer to draw than the process lives.
    static constexpr double smallestScale = 0.25;
    static constexpr double largestScale = 8;
    static constexpr double standardFontDpi = 96;
    // Qt, GLib and the display connections take about a dozen descriptors at start-up (an
    // eventfd per event loop, the connections, the files read); with fewer free, GLib ends the
    // process by a trap. Room for what opens later is kept too.
    static constexpr long descriptorsForQt = 32;

    // Removes what would make Qt end or hang the process: the debugging switches that turn its
    // warnings into aborts (QT_FATAL_WARNINGS, QT_FATAL_CRITICALS) and unusable scale factors.
    static void dropUnusableSettings();
    static bool enoughDescriptors();
};

}  // namespace kestrum::desktop
