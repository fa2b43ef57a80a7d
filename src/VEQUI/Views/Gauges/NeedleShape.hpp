#pragma once

#include <QPainterPath>
#include <QRectF>

namespace veq {

// The dial's needle: a thin triangle from the centre of the rectangle, 0.05 r wide there, to a
// tip at 82 % of the radius r (half the shorter side), pointing at `fraction` of the sweep.
struct NeedleShape {
    double fraction = 0;
    double sweep = 0.75;     // fraction of a full turn the dial covers
    double rotation = 135;   // where the sweep starts, degrees, clockwise from the right

    // Screen angle of the needle, degrees, clockwise from the right (y grows downward).
    double angleDegrees() const { return rotation + fraction * sweep * 360.0; }
    QPainterPath path(const QRectF& rect) const;
};

} // namespace veq
