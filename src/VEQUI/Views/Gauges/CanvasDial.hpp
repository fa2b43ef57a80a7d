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

    // Pictures a gauge keeps between frames, so that a frame blits them rather than rasterising
    // wide antialiased strokes again: the track (for its size), and the value arc over the full
    // sweep with its glow and the hub ring (for its size and colour).
    struct Layers {
        const QImage* track = nullptr;
        const QImage* arc = nullptr;
        const QImage* hub = nullptr;
    };

    // Draws into the square of `side` centred on `centre`, from the layers given (each one
    // missing is drawn directly).
    void paint(QPainter& painter, const QPointF& centre, const Layers& layers) const;
    void paint(QPainter& painter, const QPointF& centre) const { paint(painter, centre, Layers{}); }

    // The track alone, in an image of the square at `ratio` device pixels per point. It never
    // changes for a given size, and blitting it costs a fraction of rasterising the wide
    // round-capped stroke on every frame.
    QImage trackImage(qreal ratio) const;
    // The value arc and its glow over the whole sweep, in the dial's colour.
    QImage arcImage(qreal ratio) const;
    // The hub with its ring in the dial's colour, in a square of the hub's diameter plus its ring.
    QImage hubImage(qreal ratio) const;
};

} // namespace veq
