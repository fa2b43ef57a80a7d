#include "VEQUI/Views/CanvasDial.hpp"

#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/NeedleShape.hpp"

#include <QPainter>

#include <algorithm>
#include <cmath>

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

void CanvasDial::paint(QPainter& painter, const QPointF& centre, const QImage* track) const {
    if (!(side > 0)) return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const double w = side * 0.07;
    const QRectF square(centre.x() - side / 2, centre.y() - side / 2, side, side);
    const QRectF ring = square.adjusted(w / 2, w / 2, -w / 2, -w / 2);
    const int start = qtAngle(rotation);

    if (track && !track->isNull()) {
        painter.drawImage(square.topLeft(), *track);
    } else {
        strokeTrack(painter, ring, w, rotation, sweep);
    }

    painter.setBrush(Qt::NoBrush);
    const double filled = std::clamp(fraction, 0.0, 1.0);
    if (filled > 0) {
        const int span = qtAngle(filled * sweep * 360.0);
        painter.setPen(arcPen(mixedIntoBackground(color, glowMix), w + glowExtraWidth));
        painter.drawArc(ring, start, span);
        painter.setPen(arcPen(color, w));
        painter.drawArc(ring, start, span);
    }

    painter.setPen(Qt::NoPen);
    painter.setBrush(VEQ::textPrimary());
    painter.drawPath(NeedleShape{filled, sweep, rotation}.path(square));

    const double hub = side * 0.15 / 2;
    painter.setBrush(VEQ::surface1());
    QPen ringPen(color, 2);
    ringPen.setCapStyle(Qt::FlatCap);
    painter.setPen(ringPen);
    painter.drawEllipse(centre, hub, hub);
    painter.restore();
}

} // namespace veq
