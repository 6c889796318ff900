#include "kestrum/desktop/SymbolImages.hpp"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QtMath>
#include <array>
#include <utility>

namespace kestrum::desktop {
namespace {

// Maps unit-square coordinates (0..1, y down) into the box.
struct UnitBox {
    QRectF box;
    QPointF operator()(qreal x, qreal y) const {
        return {box.left() + x * box.width(), box.top() + y * box.height()};
    }
    qreal length(qreal unit) const { return unit * box.width(); }
};

QRectF squareIn(const QRectF& box) {
    const qreal side = std::min(box.width(), box.height());
    return QRectF(box.center().x() - side / 2, box.center().y() - side / 2, side, side);
}

QPainterPath arrowUpPath(const UnitBox& u) {
    QPolygonF polygon;
    polygon << u(0.5, 0.06) << u(0.94, 0.52) << u(0.68, 0.52) << u(0.68, 0.94) << u(0.32, 0.94) << u(0.32, 0.52)
            << u(0.06, 0.52) << u(0.5, 0.06);
    QPainterPath path;
    path.addPolygon(polygon);
    return path;
}

QPainterPath gearPath(const UnitBox& u) {
    constexpr int teeth = 8;
    constexpr qreal outer = 0.48;
    constexpr qreal root = 0.36;
    QPolygonF polygon;
    for (int i = 0; i < teeth; ++i) {
        const qreal base = 2 * M_PI * i / teeth;
        const qreal step = 2 * M_PI / teeth;
        // Each tooth: rise, flat top, fall, flat root.
        const std::array<std::pair<qreal, qreal>, 4> corners{{{base - step * 0.16, outer},
                                                              {base + step * 0.16, outer},
                                                              {base + step * 0.30, root},
                                                              {base + step * 0.70, root}}};
        for (const auto& [angle, radius] : corners) {
            polygon << u(0.5 + radius * std::cos(angle), 0.5 + radius * std::sin(angle));
        }
    }
    polygon << polygon.first();
    QPainterPath gear;
    gear.addPolygon(polygon);
    QPainterPath hole;
    hole.addEllipse(u(0.5, 0.5), u.length(0.15), u.length(0.15));
    return gear.subtracted(hole);
}

QPainterPath handPath(const UnitBox& u) {
    QPainterPath hand;
    hand.setFillRule(Qt::WindingFill);
    hand.addRoundedRect(QRectF(u(0.30, 0.50), u(0.78, 0.96)), u.length(0.10), u.length(0.10));
    const std::array<std::pair<qreal, qreal>, 4> fingers{{{0.30, 0.30}, {0.42, 0.22}, {0.54, 0.24}, {0.66, 0.32}}};
    for (const auto& [left, top] : fingers) {
        hand.addRoundedRect(QRectF(u(left, top), u(left + 0.115, 0.66)), u.length(0.055), u.length(0.055));
    }
    // The thumb, leaning outwards.
    QPainterPath thumb;
    thumb.addRoundedRect(QRectF(u(0.10, 0.52), u(0.36, 0.64)), u.length(0.06), u.length(0.06));
    QTransform lean;
    const QPointF pivot = u(0.34, 0.62);
    lean.translate(pivot.x(), pivot.y());
    lean.rotate(35);
    lean.translate(-pivot.x(), -pivot.y());
    hand.addPath(lean.map(thumb));
    return hand.simplified();
}

QPainterPath scribblePath(const UnitBox& u) {
    QPainterPath line;
    line.moveTo(u(0.06, 0.16));
    line.cubicTo(u(0.16, 0.02), u(0.22, 0.30), u(0.32, 0.14));
    line.cubicTo(u(0.40, 0.02), u(0.46, 0.18), u(0.52, 0.10));
    return line;
}

}  // namespace

std::optional<Symbol> symbolNamed(std::string_view name) {
    if (name == "arrowshape.up.fill") return Symbol::arrowshapeUpFill;
    if (name == "gear") return Symbol::gear;
    if (name == "xmark.circle.fill") return Symbol::xmarkCircleFill;
    if (name == "hand.draw") return Symbol::handDraw;
    return std::nullopt;
}

void drawSymbol(QPainter& painter, Symbol symbol, const QRectF& box, const QColor& primary,
                const QColor& secondary) {
    const UnitBox u{squareIn(box)};
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    switch (symbol) {
        case Symbol::arrowshapeUpFill: {
            // Round joins soften the corners the way the symbol's own outline does.
            painter.setPen(QPen(primary, u.length(0.08), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            painter.setBrush(primary);
            painter.drawPath(arrowUpPath(u));
            break;
        }
        case Symbol::gear:
            painter.setPen(Qt::NoPen);
            painter.setBrush(primary);
            painter.drawPath(gearPath(u));
            break;
        case Symbol::xmarkCircleFill: {
            painter.setPen(Qt::NoPen);
            painter.setBrush(secondary);
            painter.drawEllipse(u(0.5, 0.5), u.length(0.48), u.length(0.48));
            painter.setPen(QPen(primary, u.length(0.11), Qt::SolidLine, Qt::RoundCap));
            painter.drawLine(u(0.33, 0.33), u(0.67, 0.67));
            painter.drawLine(u(0.67, 0.33), u(0.33, 0.67));
            break;
        }
        case Symbol::handDraw:
            painter.setPen(Qt::NoPen);
            painter.setBrush(primary);
            painter.drawPath(handPath(u));
            painter.setBrush(Qt::NoBrush);
            painter.setPen(QPen(primary, u.length(0.07), Qt::SolidLine, Qt::RoundCap));
            painter.drawPath(scribblePath(u));
            break;
    }
    painter.restore();
}

QPixmap applicationIcon(const QString& name, int size, qreal devicePixelRatio, const QColor& accent) {
    QPixmap pixmap(QSize(size, size) * devicePixelRatio);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF tile(0, 0, size, size);
    QLinearGradient gradient(tile.topLeft(), tile.bottomLeft());
    gradient.setColorAt(0, accent.lighter(135));
    gradient.setColorAt(1, accent.darker(115));
    painter.setPen(Qt::NoPen);
    painter.setBrush(gradient);
    painter.drawRoundedRect(tile, size * 0.225, size * 0.225);
    const QString initial = name.isEmpty() ? QStringLiteral("?") : name.left(1).toUpper();
    QFont font;
    font.setPixelSize(std::max(1, static_cast<int>(size * 0.56)));
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(tile, Qt::AlignCenter, initial);
    return pixmap;
}

}  // namespace kestrum::desktop
