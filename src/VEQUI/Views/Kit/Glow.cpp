#include "VEQUI/Views/Kit/Glow.hpp"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <vector>

namespace veq::Glow {

namespace {

int wholePixels(double length) { return std::max(0, static_cast<int>(std::ceil(length - 1e-9))); }

// A shadow of radius r is the shape's alpha blurred by a Gaussian of sigma r / 2, cut off at r
// (as in CSS, whose sigma is half the blur radius): 95 % of the weight lies within r, and the
// glow ends exactly r beyond the shape, so nothing of it is cut by an image r larger than the
// shape on every side.
double sigma(double radius) { return std::max(0.0, radius) / 2; }

// The Gaussian's weights from -reach to +reach pixels, summing to 1.
std::vector<float> kernel(double sigmaPixels, int reach) {
    std::vector<float> weights(static_cast<std::size_t>(2 * reach + 1));
    double sum = 0;
    for (int k = -reach; k <= reach; ++k) {
        const double w = sigmaPixels > 0 ? std::exp(-(k * k) / (2 * sigmaPixels * sigmaPixels)) : (k == 0 ? 1 : 0);
        weights[static_cast<std::size_t>(k + reach)] = static_cast<float>(w);
        sum += w;
    }
    for (float& w : weights) w = static_cast<float>(w / sum);
    return weights;
}

// One pass of the separable blur along rows (`stride` 1) or columns (`stride` = width) of a
// `lines` x `length` plane, reading `from` and writing `to`; samples beyond the edge are empty.
void blurPass(const std::vector<float>& from, std::vector<float>& to, int lines, int length, int lineStep, int stride,
              const std::vector<float>& weights) {
    const int reach = static_cast<int>(weights.size() / 2);
    for (int line = 0; line < lines; ++line) {
        const std::size_t base = static_cast<std::size_t>(line) * static_cast<std::size_t>(lineStep);
        for (int i = 0; i < length; ++i) {
            const int first = std::max(-reach, -i);
            const int last = std::min(reach, length - 1 - i);
            float sum = 0;
            for (int k = first; k <= last; ++k) {
                sum += weights[static_cast<std::size_t>(k + reach)] *
                       from[base + static_cast<std::size_t>((i + k) * stride)];
            }
            to[base + static_cast<std::size_t>(i * stride)] = sum;
        }
    }
}

} // namespace

QImage mask(QSizeF size, qreal ratio, const std::function<void(QPainter&)>& draw) {
    const QSize pixels(wholePixels(size.width() * ratio), wholePixels(size.height() * ratio));
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    if (pixels.isEmpty()) return image;
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate((pixels.width() / ratio - size.width()) / 2, (pixels.height() / ratio - size.height()) / 2);
    draw(painter);
    return image;
}

QImage ofMask(const QImage& source, const QColor& color, double opacity, double radius) {
    const qreal ratio = source.devicePixelRatio();
    const int reach = wholePixels(std::max(0.0, radius) * ratio);
    const int width = source.width() + 2 * reach;
    const int height = source.height() + 2 * reach;
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    if (source.isNull() || width <= 0 || height <= 0) return image;

    const QImage alpha = source.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    std::vector<float> plane(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0.0f);
    for (int y = 0; y < alpha.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(alpha.constScanLine(y));
        float* row = plane.data() + static_cast<std::size_t>(y + reach) * static_cast<std::size_t>(width) + reach;
        for (int x = 0; x < alpha.width(); ++x) row[x] = static_cast<float>(qAlpha(line[x])) / 255.0f;
    }
    const std::vector<float> weights = kernel(sigma(radius) * ratio, reach);
    std::vector<float> across(plane.size(), 0.0f);
    blurPass(plane, across, height, width, width, 1, weights);
    blurPass(across, plane, width, height, 1, width, weights);

    const double peak = std::clamp(opacity, 0.0, 1.0) * color.alphaF();
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        const float* row = plane.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
        for (int x = 0; x < width; ++x) {
            const double a = std::clamp(peak * row[x], 0.0, 1.0);
            if (a <= 0) continue;
            const auto channel = [a](int c) { return static_cast<int>(std::lround(c * a)); };
            line[x] = qRgba(channel(color.red()), channel(color.green()), channel(color.blue()),
                            static_cast<int>(std::lround(a * 255)));
        }
    }
    return image;
}

QImage roundedImage(QSizeF shape, double cornerRadius, QColor color, double opacity, double radius, qreal pixelRatio) {
    const double corner = std::clamp(cornerRadius, 0.0, std::min(shape.width(), shape.height()) / 2);
    const QImage box = mask(shape, pixelRatio, [&](QPainter& painter) {
        QPainterPath path;
        path.addRoundedRect(QRectF(QPointF(0, 0), shape), corner, corner);
        painter.fillPath(path, Qt::white);
    });
    return ofMask(box, color, opacity, radius);
}

QImage discImage(double diameter, QColor color, double opacity, double radius, qreal pixelRatio) {
    const QImage disc = mask(QSizeF(diameter, diameter), pixelRatio, [diameter](QPainter& painter) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::white);
        painter.drawEllipse(QRectF(0, 0, diameter, diameter));
    });
    return ofMask(disc, color, opacity, radius);
}

void drawCentred(QPainter& painter, const QImage& image, QPointF centre) {
    if (image.isNull()) return;
    const QSizeF size = image.deviceIndependentSize();
    painter.drawImage(QPointF(centre.x() - size.width() / 2, centre.y() - size.height() / 2), image);
}

} // namespace veq::Glow
