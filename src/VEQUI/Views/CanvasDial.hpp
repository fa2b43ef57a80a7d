#pragma once

#include <QColor>
#include <QRectF>

class QPainter;

namespace veq {

// The vector dial: track, value arc with its glow, needle and hub, drawn in a square.
struct CanvasDial {
    double fraction = 0;
    QColor color;           // value arc and hub ring
    double side = 0;        // the square's side
    double sweep = 0.75;
    double rotation = 135;

    // Draws into the square of `side` centred on `centre`.
    void paint(QPainter& painter, const QPointF& centre) const;
};

} // namespace veq
