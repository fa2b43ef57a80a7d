#include "VEQUI/Views/Gauges/CarbonBackground.hpp"

#include "VEQUI/Model/VEQTheme.hpp"

#include <QColorSpace>
#include <QPainter>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>

namespace veq {

namespace {

constexpr int cellPixels = CarbonTexture::tilePixels / 2;

std::uint8_t channel(double level) {
    return static_cast<std::uint8_t>(std::clamp(level * 255.0, 0.0, 255.0));
}

// Brightness of one weave pixel: a band of fibres across each 28-pixel cell, running along x in
// the top-left and bottom-right cells and along y in the other two (a plain weave).
double weaveBrightness(int x, int y) {
    const bool top = y < cellPixels;
    const double ly = static_cast<double>(top ? y : y - cellPixels) / cellPixels;
    const double lx = static_cast<double>(x % cellPixels) / cellPixels;
    const bool alongX = top != (x >= cellPixels);
    const double across = alongX ? ly : lx;
    const double along = alongX ? lx : ly;
    const double profile = std::pow(1.0 - 2.0 * std::abs(across - 0.5), 0.65);
    const double ripple = 0.5 + 0.5 * std::cos(2.0 * std::numbers::pi * 5.0 * along);
    return (0.055 + 0.085 * profile) * (0.82 + 0.18 * ripple);
}

} // namespace

namespace CarbonTexture {

QImage makeTile() {
    QImage image(tilePixels, tilePixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    for (int y = 0; y < tilePixels; ++y) {
        std::uint8_t* row = image.scanLine(y);
        for (int x = 0; x < tilePixels; ++x) {
            const double v = weaveBrightness(x, y);
            std::uint8_t* pixel = row + 4 * x;
            // Set byte by byte: the layout is blue, green, red, alpha whatever the host's order.
            pixel[0] = channel(v * 1.12);
            pixel[1] = channel(v * 0.92);
            pixel[2] = channel(v * 0.82);
            pixel[3] = 255;
        }
    }
    image.setColorSpace(QColorSpace::SRgb);
    image.setDevicePixelRatio(pixelsPerPoint);
    return image;
}

const QImage& tile() {
    static const QImage shared = makeTile();
    return shared;
}

} // namespace CarbonTexture

void paintCarbonBackground(QPainter& painter, const QRectF& area, double opacity) {
    painter.save();
    painter.fillRect(area, VEQ::background());
    const double alpha = std::isfinite(opacity) ? std::clamp(opacity, 0.0, 1.0) : 0.0;
    if (alpha > 0) {
        // The brush honours the tile's device pixel ratio: it repeats every 28 points.
        const QBrush weave(CarbonTexture::tile());
        painter.setOpacity(painter.opacity() * alpha);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.setBrushOrigin(area.topLeft());
        painter.fillRect(area, weave);
    }
    painter.restore();
}

QPixmap makeInstrumentBackdrop(QSize size, qreal ratio, double carbonOpacity, const std::optional<Vignette>& vignette) {
    QPixmap pixmap(size * ratio);
    pixmap.setDevicePixelRatio(ratio);
    QPainter painter(&pixmap);
    const QRectF area(QPointF(0, 0), QSizeF(size));
    paintCarbonBackground(painter, area, carbonOpacity);
    if (vignette) {
        QRadialGradient gradient(area.center(), vignette->end);
        QColor dark = QColor::fromRgbF(4 / 255.0f, 6 / 255.0f, 10 / 255.0f, static_cast<float>(vignette->opacity));
        QColor clear = dark;
        clear.setAlphaF(0.0f);
        gradient.setColorAt(vignette->start / vignette->end, clear);
        gradient.setColorAt(1.0, dark);
        painter.fillRect(area, gradient);
    }
    return pixmap;
}

CarbonBackground::CarbonBackground(double opacity, QWidget* parent) : QWidget(parent), opacity_(opacity) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CarbonBackground::setOpacity(double opacity) {
    if (opacity == opacity_) return;
    opacity_ = opacity;
    update();
}

void CarbonBackground::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paintCarbonBackground(painter, rect(), opacity_);
}

} // namespace veq
