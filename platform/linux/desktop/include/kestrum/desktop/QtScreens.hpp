#pragma once
// Qt's screens as the shell reads them, up to 30 times a second (the screens port, the window
// list's conversion to logical pixels, the pointer, the panel's place): kept, and read from Qt
// again only after Qt announced a change (a screen added or removed, another primary screen, a
// screen's geometry, usable area or resolution changed). Qt announces a change as it takes it
// in, so what is kept is never older than what Qt itself would answer.
#include <cstdint>
#include <vector>

#include "kestrum/desktop/ScreenSpace.hpp"
#include "kestrum/ports/WindowServer.hpp"

namespace kestrum::desktop {

struct QtScreenState {
    // Changes whenever the screens were read again.
    std::uint64_t generation = 0;
    // The primary screen's geometry in Qt's coordinates (an 1440 x 900 stand-in without screens).
    Rect primary{0, 0, 1440, 900};
    // Every screen in Qt's order (primary first): its geometry and scale, its frames in
    // bottom-left global coordinates with display numbers 1, 2, ..., and its bounds in top-left
    // global coordinates (relative to the primary screen's origin).
    std::vector<ScreenScale> scales;
    std::vector<ScreenDescription> descriptions;
    std::vector<Rect> displayBounds;
};

// The screens, up to date. Without a QGuiApplication (nobody to announce changes) they are
// read afresh on every call.
const QtScreenState& qtScreens();

inline Rect primaryScreenGeometry() { return qtScreens().primary; }

}  // namespace kestrum::desktop
