#pragma once
// Conversion between the system's bottom-left global space (origin at the bottom-left corner
// of the primary screen, y up) and Qt's virtual desktop (origin top-left, y down).
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

}  // namespace kestrum::desktop
