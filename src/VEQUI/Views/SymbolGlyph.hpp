#pragma once

#include "VEQUI/Views/ComponentView.hpp"

#include <QColor>
#include <QPainterPath>
#include <QSizeF>

class QPainter;

namespace veq {

// The symbols of the diagnostics screens that no theme icon resembles, drawn as shapes in one
// colour, in a square of `size` centred in the space given.
struct SymbolGlyph {
    enum class Shape {
        checkmarkSealFill,               // a scalloped seal with a check cut out of it
        pointsConnectedTrianglePathDotted, // three nodes joined by a dotted triangle
    };

    Shape shape = Shape::checkmarkSealFill;
    double size = 30;
    QColor color;

    // The filled outline in a square of `size` at the origin.
    QPainterPath path() const;

    void paint(QPainter& painter, const QRectF& area) const;
    QSizeF sizeHint() const { return {size, size}; }

    bool operator==(const SymbolGlyph&) const = default;
};

using SymbolGlyphView = ComponentView<SymbolGlyph>;

} // namespace veq
