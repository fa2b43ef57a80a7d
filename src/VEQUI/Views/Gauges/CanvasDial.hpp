#pragma once

#include <QColor>
#include <QImage>
#include <QPoint>
#include <QRectF>
#include <QSizeF>

#include <vector>

class QPainter;

namespace veq {

// The vector dial: track, value arc with its glow, needle and hub, drawn in a square.
struct CanvasDial {
    double fraction = 0;
    QColor color;           // value arc and hub ring
    double side = 0;        // the square's side
    double sweep = 0.75;
    double rotation = 135;

    // The value arc's glow: a shadow of its colour at this opacity and radius.
    static constexpr double glowOpacity = 0.5;
    static constexpr double glowRadius = 5;

    // The value arc's picture cut into sectors of the sweep: a frame blits the sectors wholly
    // below the value as they are and cuts only the one the value ends in, where cutting the
    // whole picture rasterised a clip as tall as the dial on every frame.
    struct ArcPieces {
        struct Piece {
            QImage image;
            QPoint offset; // in device pixels, from the whole picture's top-left
            double from;   // the sector it holds, degrees clockwise from the right
            double to;
        };
        std::vector<Piece> pieces; // in order along the sweep
        QSizeF size;               // the whole picture's, in points
        static constexpr double pieceDegrees = 10;

        // The same pieces in `color`: every pixel of the arc and its glow is the one colour at
        // some opacity, so pieces made once in white serve each zone colour a value crosses,
        // without blurring and cutting again.
        ArcPieces inColour(const QColor& color) const;
    };

    // Pictures a gauge keeps between frames, so that a frame blits them rather than rasterising
    // wide antialiased strokes and blurring again: the track (for its size), and the value arc
    // over the full sweep with its glow, the glow of the arc's end and the hub ring (for its size
    // and colour).
    struct Layers {
        const QImage* track = nullptr;
        const ArcPieces* arc = nullptr;
        const QImage* hub = nullptr;
        const QImage* endGlow = nullptr;
        bool trackUnder = false; // the owner drew the track already, on its own backdrop
    };

    // Draws into the square of `side` centred on `centre`, from the layers given (each one
    // missing is drawn directly).
    void paint(QPainter& painter, const QPointF& centre, const Layers& layers) const;
    void paint(QPainter& painter, const QPointF& centre) const { paint(painter, centre, Layers{}); }

    // What a move of the value from one fraction to another repaints in the square of `side`
    // centred on `centre`: the needle at both, the arc between them, its end and glow at both.
    QRectF movingArea(double fromFraction, double toFraction, const QPointF& centre) const;

    // The track alone, in an image of the square at `ratio` device pixels per point. It never
    // changes for a given size, and blitting it costs a fraction of rasterising the wide
    // round-capped stroke on every frame.
    QImage trackImage(qreal ratio) const;
    // The value arc over the whole sweep, sharp over its glow, in the dial's colour: the
    // square widened by the glow's radius on every side, drawn centred on the dial.
    QImage arcImage(qreal ratio) const;
    // That picture in its sectors.
    ArcPieces arcPieces(qreal ratio) const;
    // The glow of the arc's round end, drawn centred on the end's centre: the arc's picture is
    // cut at the value, and this continues its glow around the end.
    QImage endGlowImage(qreal ratio) const;
    // The hub with its ring in the dial's colour, in a square of the hub's diameter plus its ring.
    QImage hubImage(qreal ratio) const;
};

} // namespace veq
