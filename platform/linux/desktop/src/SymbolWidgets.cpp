#include "SymbolWidgets.hpp"

#include <QPainter>

#include "kestrum/desktop/PanelContentWidget.hpp"

namespace kestrum::desktop {

QColor primaryForeground(const QWidget& widget) { return widget.palette().color(QPalette::WindowText); }

QColor secondaryForeground(const QWidget& widget) {
    return withOpacity(primaryForeground(widget), PanelMetrics::secondaryForegroundOpacity);
}

QColor withOpacity(QColor color, qreal opacity) {
    color.setAlphaF(static_cast<float>(color.alphaF() * opacity));
    return color;
}

namespace {
// A symbol drawn for a font size fills about the font's size, inside a small margin.
int symbolSide(int fontSize) { return fontSize + 4; }
}  // namespace

SymbolView::SymbolView(Symbol symbol, int fontSize, QWidget* parent)
    : QWidget(parent), symbol_(symbol), fontSize_(fontSize) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

QSize SymbolView::sizeHint() const { return {symbolSide(fontSize_), symbolSide(fontSize_)}; }

void SymbolView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRectF box = QRectF(rect()).adjusted(2, 2, -2, -2);
    const QColor color = palette().color(foregroundRole());
    drawSymbol(painter, symbol_, box, color, color);
}

SymbolButton::SymbolButton(Symbol symbol, int fontSize, qreal secondaryOpacity, QWidget* parent)
    : QAbstractButton(parent), symbol_(symbol), fontSize_(fontSize), secondaryOpacity_(secondaryOpacity) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::ArrowCursor);
}

QSize SymbolButton::sizeHint() const { return {symbolSide(fontSize_), symbolSide(fontSize_)}; }

void SymbolButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QColor primary = primaryForeground(*this);
    QColor secondary = withOpacity(secondaryForeground(*this), secondaryOpacity_);
    if (isDown()) {
        primary = withOpacity(primary, 0.6);
        secondary = withOpacity(secondary, 0.6);
    }
    drawSymbol(painter, symbol_, QRectF(rect()).adjusted(2, 2, -2, -2), primary, secondary);
}

}  // namespace kestrum::desktop
