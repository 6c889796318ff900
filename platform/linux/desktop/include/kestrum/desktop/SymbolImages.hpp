#pragma once
// The handful of symbol images the panel shows, drawn as vector paths so that they scale with
// the font size they stand in for and need no image files.
#include <QColor>
#include <QPixmap>
#include <QRectF>
#include <QString>
#include <optional>
#include <string_view>

class QPainter;

namespace kestrum::desktop {

enum class Symbol { arrowshapeUpFill, gear, xmarkCircleFill, handDraw };

// The symbol drawn for a symbol-image name ("gear", "xmark.circle.fill", ...).
std::optional<Symbol> symbolNamed(std::string_view name);

// Draws the symbol centred in `box`. Two-layer symbols use `primary` for the first layer
// (the mark) and `secondary` for the second (the disc behind it); others use `primary`.
void drawSymbol(QPainter& painter, Symbol symbol, const QRectF& box, const QColor& primary,
                const QColor& secondary);

// The application's icon at `size` logical pixels: a rounded tile in the accent colour
// carrying the name's first letter (the desktop has no icon for a bundle folder).
QPixmap applicationIcon(const QString& name, int size, qreal devicePixelRatio, const QColor& accent);

}  // namespace kestrum::desktop
