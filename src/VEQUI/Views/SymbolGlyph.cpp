#include "VEQUI/Views/SymbolGlyph.hpp"

#include <QPainter>
#include <QPainterPathStroker>

#include <array>
#include <cmath>
#include <numbers>

namespace veq {

namespace {

QPainterPath seal(double size) {
    constexpr int bumps = 12;
    constexpr int steps = 240;
    const QPointF centre(size / 2, size / 2);
    const double mean = size * 0.45;
    const double swing = size * 0.04;
    QPainterPath path;
    for (int i = 0; i <= steps; ++i) {
        const double angle = 2 * std::numbers::pi * i / steps;
        const double r = mean + swing * std::cos(bumps * angle);
        const QPointF point(centre.x() + r * std::cos(angle), centre.y() + r * std::sin(angle));
        if (i == 0) path.moveTo(point);
        else path.lineTo(point);
    }
    path.closeSubpath();

    QPainterPath check;
    check.moveTo(size * 0.31, size * 0.51);
    check.lineTo(size * 0.45, size * 0.65);
    check.lineTo(size * 0.70, size * 0.37);
    QPainterPathStroker stroker;
    stroker.setWidth(size * 0.09);
    stroker.setCapStyle(Qt::RoundCap);
    stroker.setJoinStyle(Qt::RoundJoin);
    return path.subtracted(stroker.createStroke(check).simplified());
}

QPainterPath connectedPoints(double size) {
    const std::array<QPointF, 3> nodes{QPointF(size * 0.5, size * 0.2), QPointF(size * 0.18, size * 0.78),
                                       QPointF(size * 0.82, size * 0.78)};
    const double nodeRadius = size * 0.12;
    const double dotRadius = size * 0.035;
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    for (const QPointF& node : nodes) path.addEllipse(node, nodeRadius, nodeRadius);
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        const QPointF from = nodes[i];
        const QPointF to = nodes[(i + 1) % nodes.size()];
        constexpr int dots = 4;
        for (int d = 1; d <= dots; ++d) {
            const double t = static_cast<double>(d) / (dots + 1);
            path.addEllipse(from + (to - from) * t, dotRadius, dotRadius);
        }
    }
    return path;
}

} // namespace

QPainterPath SymbolGlyph::path() const {
    switch (shape) {
    case Shape::checkmarkSealFill: return seal(size);
    case Shape::pointsConnectedTrianglePathDotted: return connectedPoints(size);
    }
    return {};
}

void SymbolGlyph::paint(QPainter& painter, const QRectF& area) const {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(area.center() - QPointF(size / 2, size / 2));
    painter.fillPath(path(), color);
    painter.restore();
}

} // namespace veq
