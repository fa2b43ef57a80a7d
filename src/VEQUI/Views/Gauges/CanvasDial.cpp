#include "VEQUI/Views/Gauges/CanvasDial.hpp"

#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Gauges/NeedleShape.hpp"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

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

// The platform's shadow (50 % of the colour, radius 5) approximated by a wider stroke under the
// arc in the colour mixed into the backdrop's: a blur, or even a translucent stroke, costs Qt's
// raster engine several times an opaque one, on every frame of every gauge.
constexpr double glowExtraWidth = 8.0;
constexpr double glowMix = 0.16;

QColor mixedIntoBackground(const QColor& color, double amount) {
    const QColor& base = VEQ::background();
    const auto channel = [amount](int over, int under) {
        return static_cast<int>(std::lround(under + (over - under) * amount));
    };
    return QColor(channel(color.red(), base.red()), channel(color.green(), base.green()),
                  channel(color.blue(), base.blue()));
}

} // namespace

namespace {

void strokeTrack(QPainter& painter, const QRectF& ring, double width, double rotation, double sweep) {
    painter.setPen(arcPen(VEQ::surface2(), width));
    painter.setBrush(Qt::NoBrush);
    painter.drawArc(ring, qtAngle(rotation), qtAngle(sweep * 360.0));
}

} // namespace

namespace {

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
    painter.setPen(arcPen(mixedIntoBackground(color, glowMix), width + glowExtraWidth));
    painter.drawArc(ring, start, span);
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

// The ring sector from the start of the sweep (and a little before it, for the start's cap) to
// `degrees` further clockwise, wide enough to hold the arc and its glow: the part of the arc
// picture a value shows.
QPainterPath revealedSector(const QPointF& centre, double inner, double outer, double rotation, double degrees) {
    constexpr double before = 30; // the start's round cap lies behind the start of the sweep
    constexpr double step = 2;
    const auto at = [&centre](double radius, double clockwise) {
        const double a = clockwise * std::numbers::pi / 180.0;
        return QPointF(centre.x() + radius * std::cos(a), centre.y() + radius * std::sin(a));
    };
    QPolygonF sector;
    const double from = rotation - before;
    const double to = rotation + degrees;
    // Chords of the outer edge lie inside the circle: push them out by the sagitta's bound.
    const double outerReach = outer / std::cos(step / 2 * std::numbers::pi / 180.0);
    for (double a = from; a < to; a += step) sector << at(outerReach, a);
    sector << at(outerReach, to);
    for (double a = to; a > from; a -= step) sector << at(inner, a);
    sector << at(inner, from);
    QPainterPath path;
    path.addPolygon(sector);
    path.closeSubpath();
    return path;
}

} // namespace

QImage CanvasDial::arcImage(qreal ratio) const {
    QImage image = transparentSquare(side, ratio);
    if (image.isNull()) return image;
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const double w = side * 0.07;
    strokeValueArc(painter, QRectF(w / 2, w / 2, side - w, side - w), w, qtAngle(rotation), qtAngle(sweep * 360.0),
                   color);
    return image;
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
    const int pixels = static_cast<int>(std::ceil(side * ratio));
    if (!(side > 0) || pixels <= 0) return {};
    QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
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
    const int start = qtAngle(rotation);

    if (layers.track && !layers.track->isNull()) {
        painter.drawImage(square.topLeft(), *layers.track);
    } else {
        strokeTrack(painter, ring, w, rotation, sweep);
    }

    const double filled = std::clamp(fraction, 0.0, 1.0);
    if (filled > 0 && layers.arc && !layers.arc->isNull()) {
        // The full arc's picture, shown up to the value: the sector's straight edge is then
        // covered by the round caps of the glow and of the arc, drawn over it.
        const double degrees = filled * sweep * 360.0;
        const double radius = ring.width() / 2;
        const double glowHalf = (w + glowExtraWidth) / 2;
        const double a = (rotation + degrees) * std::numbers::pi / 180.0;
        const QPointF end(centre.x() + radius * std::cos(a), centre.y() + radius * std::sin(a));
        painter.setPen(Qt::NoPen);
        painter.setBrush(mixedIntoBackground(color, glowMix));
        painter.drawEllipse(end, glowHalf, glowHalf);
        painter.save();
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.setClipPath(revealedSector(centre, radius - glowHalf - 1, radius + glowHalf + 1, rotation, degrees),
                            Qt::IntersectClip);
        painter.drawImage(square.topLeft(), *layers.arc);
        painter.restore();
        painter.setBrush(color);
        painter.drawEllipse(end, w / 2, w / 2);
    } else if (filled > 0) {
        strokeValueArc(painter, ring, w, start, qtAngle(filled * sweep * 360.0), color);
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
