#pragma once
// Conversion between the system's bottom-left global space (origin at the bottom-left corner
// of the primary screen, y up) and Qt's virtual desktop (origin top-left, y down).
#include <vector>

#include "kestrum/Geometry.hpp"

namespace kestrum::desktop {

// `primary` is the primary screen's geometry in Qt's coordinates.
inline Rect qtRectFromBottomLeft(const Rect& frame, const Rect& primary) {
    return Rect{frame.x() + primary.x(), primary.y() + primary.height() - (frame.y() + frame.height()),
                frame.width(), frame.height()};
}

inline Rect bottomLeftFromQtRect(const Rect& rect, const Rect& primary) {
    return Rect{rect.x() - primary.x(), primary.y() + primary.height() - (rect.y() + rect.height()),
                rect.width(), rect.height()};
}

inline Point bottomLeftFromQtPoint(const Point& point, const Rect& primary) {
    return Point{point.x - primary.x(), primary.y() + primary.height() - point.y};
}

// A screen of Qt's virtual desktop: its geometry in logical pixels and how many device pixels
// make one logical pixel on it.
struct ScreenScale {
    Rect logical;
    double devicePixelRatio = 1;
    friend bool operator==(const ScreenScale&, const ScreenScale&) = default;
};

// Device pixels, as the X server counts them, to Qt's logical pixels: the one place where the
// two meet. Qt keeps each screen's origin where the device has it and scales what lies on the
// screen about that origin; a rectangle goes by the screen that holds most of it (the first
// screen when none does, unchanged without screens).
inline Rect logicalFromDevice(const Rect& device, const std::vector<ScreenScale>& screens) {
    const ScreenScale* chosen = screens.empty() ? nullptr : &screens.front();
    double largest = 0;
    for (const ScreenScale& screen : screens) {
        const Rect onDevice{screen.logical.x(), screen.logical.y(), screen.logical.width() * screen.devicePixelRatio,
                            screen.logical.height() * screen.devicePixelRatio};
        const Rect overlap = onDevice.intersection(device);
        const double area = overlap.isEmpty() ? 0 : overlap.width() * overlap.height();
        if (area > largest) {
            largest = area;
            chosen = &screen;
        }
    }
    if (!chosen || !(chosen->devicePixelRatio > 0)) return device;
    const double ratio = chosen->devicePixelRatio;
    const Point origin{chosen->logical.x(), chosen->logical.y()};
    return Rect{origin.x + (device.x() - origin.x) / ratio, origin.y + (device.y() - origin.y) / ratio,
                device.width() / ratio, device.height() / ratio};
}

}  // namespace kestrum::desktop
