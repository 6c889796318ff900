#pragma once
// Small widgets that show one symbol image: a plain view and a borderless button.
#include <QAbstractButton>
#include <QWidget>

#include "kestrum/desktop/SymbolImages.hpp"

namespace kestrum::desktop {

// The foreground colours of the panel, taken from the widget's palette.
QColor primaryForeground(const QWidget& widget);
QColor secondaryForeground(const QWidget& widget);
QColor withOpacity(QColor color, qreal opacity);

// A symbol at a font size: the widget is a square a little larger than the size.
class SymbolView : public QWidget {
public:
    SymbolView(Symbol symbol, int fontSize, QWidget* parent = nullptr);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Symbol symbol_;
    int fontSize_;
};

// A borderless button whose label is a symbol in palette colours: the mark in the primary
// colour, its second layer in the secondary colour at reduced opacity.
class SymbolButton : public QAbstractButton {
public:
    SymbolButton(Symbol symbol, int fontSize, qreal secondaryOpacity, QWidget* parent = nullptr);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }
    Symbol symbol() const { return symbol_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Symbol symbol_;
    int fontSize_;
    qreal secondaryOpacity_;
};

}  // namespace kestrum::desktop
