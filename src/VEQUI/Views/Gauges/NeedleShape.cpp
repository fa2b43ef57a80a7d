#include "VEQUI/Views/Gauges/NeedleShape.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace veq {

QPainterPath NeedleShape::path(const QRectF& rect) const {
    const QPointF centre = rect.center();
    const double r = std::min(rect.width(), rect.height()) / 2;
    const double theta = angleDegrees() * std::numbers::pi / 180.0;
    const QPointF along(std::cos(theta), std::sin(theta));
    const QPointF across(-std::sin(theta), std::cos(theta));
    const double halfWidth = 0.025 * r;
    QPainterPath needle;
    needle.moveTo(centre + halfWidth * across);
    needle.lineTo(centre + 0.82 * r * along);
    needle.lineTo(centre - halfWidth * across);
    needle.closeSubpath();
    return needle;
}

} // namespace veq
