#pragma once

#include <QColor>
#include <QImage>
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

    // Draws into the square of `side` centred on `centre`. `track`, when given, is trackImage()
    // of this dial, drawn in place of stroking the track again.
    void paint(QPainter& painter, const QPointF& centre, const QImage* track = nullptr) const;

    // The track alone, in an image of the square at `ratio` device pixels per point. It never
    // changes for a given size, and blitting it costs a fraction of rasterising the wide
    // round-capped stroke on every frame.
    QImage trackImage(qreal ratio) const;
};

} // namespace veq
