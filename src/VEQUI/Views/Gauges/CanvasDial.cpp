#include "VEQUI/Views/Gauges/CanvasDial.hpp"

#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Gauges/NeedleShape.hpp"
#include "VEQUI/Views/Kit/Glow.hpp"

#include <QPaintDevice>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QTransform>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace veq {

namespace {

// Qt counts arc angles in sixteenths of a degree, counter-clockwise; the dial's angles run
// clockwise on screen.
int qtAngle(double clockwiseDegrees) { return static_cast<int>(std::lround(-clockwiseDegrees * 16.0)); }

QPen arcPen(const QColor& color, double width) {
    QPen pen(color, width);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::MiterJoin);
    pen.setMiterLimit(10);
    return pen;
}

void strokeTrack(QPainter& painter, const QRectF& ring, double width, double rotation, double sweep) {
    painter.setPen(arcPen(VEQ::surface2(), width));
    painter.setBrush(Qt::NoBrush);
    painter.drawArc(ring, qtAngle(rotation), qtAngle(sweep * 360.0));
}

constexpr double hubDiameter = 0.15; // of the side
constexpr double hubRing = 2;

QImage transparentSquare(double side, qreal ratio) {
    const int pixels = static_cast<int>(std::ceil(side * ratio));
    if (!(side > 0) || pixels <= 0) return {};
    QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    return image;
}

void strokeValueArc(QPainter& painter, const QRectF& ring, double width, int start, int span, const QColor& color) {
    painter.setBrush(Qt::NoBrush);
    painter.setPen(arcPen(color, width));
    painter.drawArc(ring, start, span);
}

void drawHub(QPainter& painter, const QPointF& centre, double radius, const QColor& color) {
    painter.setBrush(VEQ::surface1());
    QPen ringPen(color, hubRing);
    ringPen.setCapStyle(Qt::FlatCap);
    painter.setPen(ringPen);
    painter.drawEllipse(centre, radius, radius);
}

// The start's round cap lies this far behind the start of the sweep, with its glow.
constexpr double capRoom = 30;

// The ring sector from `from` to `to` degrees clockwise, wide enough to hold the arc and its glow.
// Its outer corners stand every 2° from `from`, so that sectors cut from one start share them.
QPainterPath sector(const QPointF& centre, double inner, double outer, double from, double to) {
    constexpr double step = 2;
    const auto at = [&centre](double radius, double clockwise) {
        const double a = clockwise * std::numbers::pi / 180.0;
        return QPointF(centre.x() + radius * std::cos(a), centre.y() + radius * std::sin(a));
    };
    QPolygonF polygon;
    // Chords of the outer edge lie inside the circle: push them out by the sagitta's bound.
    const double outerReach = outer / std::cos(step / 2 * std::numbers::pi / 180.0);
    for (double a = from; a < to; a += step) polygon << at(outerReach, a);
    polygon << at(outerReach, to);
    for (double a = to; a > from; a -= step) polygon << at(inner, a);
    polygon << at(inner, from);
    QPainterPath path;
    path.addPolygon(polygon);
    path.closeSubpath();
    return path;
}

// Where a picture of `size` points centred on `centre` starts, on a whole device pixel: the
// arc's pieces are blitted there one by one and must not each round their own way.
QPointF pixelTopLeft(const QPointF& centre, const QSizeF& size, qreal ratio) {
    const auto snap = [ratio](double x) { return std::ceil(x * ratio - 0.5) / ratio; };
    return {snap(centre.x() - size.width() / 2), snap(centre.y() - size.height() / 2)};
}

// The half of a square of half-side `reach` around the arc's end at `end` (at `degrees` on the
// dial) that lies past the end: where the end's glow continues the arc's.
QPainterPath pastTheEnd(const QPointF& end, double degrees, double reach) {
    const double a = degrees * std::numbers::pi / 180.0;
    const QPointF across(std::cos(a) * reach, std::sin(a) * reach);  // along the radius
    const QPointF onward(-std::sin(a) * reach, std::cos(a) * reach); // clockwise along the arc
    QPainterPath path;
    path.addPolygon(QPolygonF{end - across, end + across, end + across + onward, end - across + onward});
    path.closeSubpath();
    return path;
}

} // namespace

QImage CanvasDial::arcImage(qreal ratio) const {
    if (!(side > 0)) return {};
    const double w = side * 0.07;
    const QRectF ring(w / 2, w / 2, side - w, side - w);
    const QImage shape = Glow::mask(QSizeF(side, side), ratio, [&](QPainter& painter) {
        strokeValueArc(painter, ring, w, qtAngle(rotation), qtAngle(sweep * 360.0), Qt::white);
    });
    QImage image = Glow::ofMask(shape, color, glowOpacity, glowRadius);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const double margin = (image.deviceIndependentSize().width() - side) / 2;
    painter.translate(margin, margin);
    strokeValueArc(painter, ring, w, qtAngle(rotation), qtAngle(sweep * 360.0), color);
    return image;
}

CanvasDial::ArcPieces CanvasDial::ArcPieces::inColour(const QColor& color) const {
    ArcPieces coloured = *this;
    const QRgb ink = color.rgba();
    for (Piece& piece : coloured.pieces) {
        QImage& image = piece.image;
        for (int y = 0; y < image.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                const int alpha = qAlpha(line[x]) * qAlpha(ink) / 255;
                line[x] = alpha == 0 ? 0 : qPremultiply(qRgba(qRed(ink), qGreen(ink), qBlue(ink), alpha));
            }
        }
    }
    return coloured;
}

QRectF CanvasDial::movingArea(double fromFraction, double toFraction, const QPointF& centre) const {
    if (!(side > 0)) return {};
    const QRectF square(centre.x() - side / 2, centre.y() - side / 2, side, side);
    const double low = std::clamp(std::min(fromFraction, toFraction), 0.0, 1.0);
    const double high = std::clamp(std::max(fromFraction, toFraction), 0.0, 1.0);
    QRectF area = NeedleShape{low, sweep, rotation}.path(square).boundingRect() |
                  NeedleShape{high, sweep, rotation}.path(square).boundingRect();
    if (high > 0) {
        const double w = side * 0.07;
        const double radius = (side - w) / 2;
        const double reach = w / 2 + glowRadius + 1;
        // Lit from nothing, the start's cap behind the sweep appears too.
        const double from = low > 0 ? rotation + low * sweep * 360.0 : rotation - capRoom;
        const double to = rotation + high * sweep * 360.0;
        area |= sector(centre, radius - reach, radius + reach, from, std::max(from, to)).boundingRect();
        for (const double degrees : {rotation + low * sweep * 360.0, to}) {
            const double a = degrees * std::numbers::pi / 180.0;
            const QPointF end(centre.x() + radius * std::cos(a), centre.y() + radius * std::sin(a));
            area |= QRectF(end.x() - reach, end.y() - reach, 2 * reach, 2 * reach);
        }
    }
    // Antialiasing reaches a pixel past the shapes.
    return area.adjusted(-2, -2, 2, 2);
}

CanvasDial::ArcPieces CanvasDial::arcPieces(qreal ratio) const {
    ArcPieces result;
    QImage source = arcImage(ratio);
    if (source.isNull()) return result;
    result.size = source.deviceIndependentSize();
    source.setDevicePixelRatio(1); // cut in device pixels
    const double w = side * 0.07;
    const double radius = (side - w) / 2;
    const double reach = w / 2 + glowRadius + 1;
    const QPointF centre(result.size.width() / 2, result.size.height() / 2);
    const double last = rotation + sweep * 360.0;
    const QTransform toPixels = QTransform::fromScale(ratio, ratio);
    for (double start = rotation - capRoom; start < last; start += ArcPieces::pieceDegrees) {
        const double end = std::min(start + ArcPieces::pieceDegrees, last);
        const QPainterPath cut = toPixels.map(sector(centre, radius - reach, radius + reach, start, end));
        const QRect box = cut.boundingRect().toAlignedRect().intersected(source.rect());
        QImage piece(box.size().expandedTo(QSize(1, 1)), QImage::Format_ARGB32_Premultiplied);
        piece.fill(Qt::transparent);
        if (!box.isEmpty()) {
            QPainter painter(&piece);
            painter.translate(-box.topLeft());
            painter.setClipPath(cut);
            painter.drawImage(QPoint(0, 0), source);
        }
        piece.setDevicePixelRatio(ratio);
        result.pieces.push_back({std::move(piece), box.topLeft(), start, end});
    }
    return result;
}

QImage CanvasDial::endGlowImage(qreal ratio) const {
    if (!(side > 0)) return {};
    return Glow::discImage(side * 0.07, color, glowOpacity, glowRadius, ratio);
}

QImage CanvasDial::hubImage(qreal ratio) const {
    const double radius = side * hubDiameter / 2;
    QImage image = transparentSquare(2 * radius + 2 * hubRing, ratio);
    if (image.isNull()) return image;
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    drawHub(painter, QPointF(radius + hubRing, radius + hubRing), radius, color);
    return image;
}

QImage CanvasDial::trackImage(qreal ratio) const {
    QImage image = transparentSquare(side, ratio);
    if (image.isNull()) return image;
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const double w = side * 0.07;
    strokeTrack(painter, QRectF(w / 2, w / 2, side - w, side - w), w, rotation, sweep);
    return image;
}

void CanvasDial::paint(QPainter& painter, const QPointF& centre, const Layers& layers) const {
    if (!(side > 0)) return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const double w = side * 0.07;
    const QRectF square(centre.x() - side / 2, centre.y() - side / 2, side, side);
    const QRectF ring = square.adjusted(w / 2, w / 2, -w / 2, -w / 2);

    if (!layers.trackUnder) {
        if (layers.track && !layers.track->isNull()) {
            painter.drawImage(square.topLeft(), *layers.track);
        } else {
            strokeTrack(painter, ring, w, rotation, sweep);
        }
    }

    const double filled = std::clamp(fraction, 0.0, 1.0);
    if (filled > 0) {
        // The full arc's picture, shown up to the value, then the glow of its end past the
        // value; the end's round cap covers where the two meet. A gauge that keeps no pictures
        // has them made for this paint.
        const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
        ArcPieces madeArc;
        QImage madeEnd;
        const ArcPieces& arc = layers.arc && !layers.arc->pieces.empty() ? *layers.arc : (madeArc = arcPieces(ratio));
        const QImage& endGlow = layers.endGlow && !layers.endGlow->isNull() ? *layers.endGlow : (madeEnd = endGlowImage(ratio));
        const double degrees = filled * sweep * 360.0;
        const double radius = ring.width() / 2;
        const double reach = w / 2 + glowRadius + 1;
        const double a = (rotation + degrees) * std::numbers::pi / 180.0;
        const QPointF end(centre.x() + radius * std::cos(a), centre.y() + radius * std::sin(a));
        painter.save();
        painter.setRenderHint(QPainter::Antialiasing, false);
        const QPointF topLeft = pixelTopLeft(centre, arc.size, ratio);
        const double to = rotation + degrees;
        for (const ArcPieces::Piece& piece : arc.pieces) {
            if (piece.from >= to) break;
            const QPointF at = topLeft + QPointF(piece.offset) / ratio;
            if (piece.to <= to) {
                painter.drawImage(at, piece.image);
                continue;
            }
            // Only the value's edge cuts: the piece holds its own start edge, and a clip starting
            // there too would shave it off where the picture's place was rounded to a device pixel
            // (fractional pixel ratios).
            const double before = piece.from - ArcPieces::pieceDegrees;
            painter.setClipPath(sector(centre, radius - reach, radius + reach, before, to), Qt::IntersectClip);
            painter.drawImage(at, piece.image);
            break;
        }
        painter.restore();
        painter.save();
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.setClipPath(pastTheEnd(end, rotation + degrees, reach), Qt::IntersectClip);
        Glow::drawCentred(painter, endGlow, end);
        painter.restore();
        painter.setPen(Qt::NoPen);
        painter.setBrush(color);
        painter.drawEllipse(end, w / 2, w / 2);
    }

    painter.setPen(Qt::NoPen);
    painter.setBrush(VEQ::textPrimary());
    painter.drawPath(NeedleShape{filled, sweep, rotation}.path(square));

    const double hub = side * hubDiameter / 2;
    if (layers.hub && !layers.hub->isNull()) {
        painter.drawImage(QPointF(centre.x() - hub - hubRing, centre.y() - hub - hubRing), *layers.hub);
    } else {
        drawHub(painter, centre, hub, color);
    }
    painter.restore();
}

} // namespace veq
