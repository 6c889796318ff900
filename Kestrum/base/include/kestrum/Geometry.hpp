#pragma once
// Points, sizes and rectangles in points, double precision. Which global space a
// rectangle is in (bottom-left or top-left origin) is stated where it is used.
#include <algorithm>
#include <cmath>

namespace kestrum {

struct Point {
    double x = 0;
    double y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
    double width = 0;
    double height = 0;
    friend bool operator==(const Size&, const Size&) = default;
};

struct Rect {
    Point origin;
    Size size;

    constexpr Rect() = default;
    constexpr Rect(double x, double y, double width, double height)
        : origin{x, y}, size{width, height} {}
    constexpr Rect(Point o, Size s) : origin(o), size(s) {}

    double x() const { return origin.x; }
    double y() const { return origin.y; }
    double width() const { return size.width; }
    double height() const { return size.height; }
    double minX() const { return std::min(origin.x, origin.x + size.width); }
    double minY() const { return std::min(origin.y, origin.y + size.height); }
    double maxX() const { return std::max(origin.x, origin.x + size.width); }
    double maxY() const { return std::max(origin.y, origin.y + size.height); }
    double midX() const { return origin.x + size.width / 2; }
    double midY() const { return origin.y + size.height / 2; }

    // Zero width or zero height (or not finite) encloses no area.
    bool isEmpty() const {
        return !(std::isfinite(size.width) && std::isfinite(size.height)) || size.width == 0 ||
               size.height == 0;
    }

    // The shared area of two rectangles; empty (all zero) when they only touch or are apart.
    Rect intersection(const Rect& other) const {
        const double x0 = std::max(minX(), other.minX());
        const double y0 = std::max(minY(), other.minY());
        const double x1 = std::min(maxX(), other.maxX());
        const double y1 = std::min(maxY(), other.maxY());
        if (x1 <= x0 || y1 <= y0 || isEmpty() || other.isEmpty()) return Rect{};
        return Rect{x0, y0, x1 - x0, y1 - y0};
    }

    bool intersects(const Rect& other) const { return !intersection(other).isEmpty(); }

    friend bool operator==(const Rect&, const Rect&) = default;
};

}  // namespace kestrum
