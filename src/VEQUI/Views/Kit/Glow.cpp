#include "VEQUI/Views/Kit/Glow.hpp"

#include <QPainter>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace veq::Glow {

void paintRound(QPainter& painter, QPointF centre, double innerRadius, QColor color, double opacity, double radius) {
    if (!(radius > 0) || !(opacity > 0)) return;
    const double reach = innerRadius + radius;
    QColor inner = color;
    inner.setAlphaF(static_cast<float>(std::clamp(opacity, 0.0, 1.0) * color.alphaF()));
    QColor outer = color;
    outer.setAlphaF(0.0f);
    QRadialGradient gradient(centre, reach);
    gradient.setColorAt(std::clamp(innerRadius / reach, 0.0, 1.0), inner);
    gradient.setColorAt(1.0, outer);
    painter.save();
    painter.setPen(Qt::NoPen);
    painter.setBrush(gradient);
    painter.drawEllipse(centre, reach, reach);
    painter.restore();
}

QImage roundedImage(QSizeF shape, double cornerRadius, QColor color, double opacity, double radius, qreal pixelRatio) {
    const double reach = std::max(0.0, radius);
    const QSize pixels((QSizeF(shape.width() + 2 * reach, shape.height() + 2 * reach) * pixelRatio).toSize());
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(pixelRatio);
    image.fill(Qt::transparent);
    if (pixels.isEmpty()) return image;
    const double halfWidth = shape.width() / 2;
    const double halfHeight = shape.height() / 2;
    const double corner = std::clamp(cornerRadius, 0.0, std::min(halfWidth, halfHeight));
    // A blur of `radius` spreads an edge over about that distance: a Gaussian of half of it.
    const double sigma = std::max(0.5, reach / 2);
    const double peak = std::clamp(opacity, 0.0, 1.0) * color.alphaF();
    for (int y = 0; y < pixels.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < pixels.width(); ++x) {
            // Distance from the pixel's centre to the rounded rectangle (negative inside).
            const double px = (x + 0.5) / pixelRatio - reach - halfWidth;
            const double py = (y + 0.5) / pixelRatio - reach - halfHeight;
            const double qx = std::abs(px) - (halfWidth - corner);
            const double qy = std::abs(py) - (halfHeight - corner);
            const double outside = std::hypot(std::max(qx, 0.0), std::max(qy, 0.0));
            const double distance = outside + std::min(std::max(qx, qy), 0.0) - corner;
            const double alpha = peak * 0.5 * std::erfc(distance / (sigma * std::numbers::sqrt2));
            const int a = static_cast<int>(std::lround(std::clamp(alpha, 0.0, 1.0) * 255));
            line[x] = qPremultiply(qRgba(color.red(), color.green(), color.blue(), a));
        }
    }
    return image;
}

} // namespace veq::Glow
