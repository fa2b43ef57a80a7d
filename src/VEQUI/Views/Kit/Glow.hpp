#pragma once

#include <QColor>
#include <QImage>
#include <QPointF>
#include <QSizeF>

#include <functional>

class QPainter;

// The coloured shadows that make lit lamps, symbols, boxes and arcs glow: the shape's alpha
// blurred, tinted and drawn under the shape. They are made once into images (see GlowCache) and
// a frame only draws them. A glow's radius reads as a blur radius, as in CSS: the glow ends
// exactly that far beyond the shape.
namespace veq::Glow {

// A transparent image of `size` points at `ratio` device pixels per point, holding what `draw`
// paints in the rectangle (0, 0, size): the shape of a glow. When the size is not a whole number
// of pixels, the rectangle is centred in the image.
QImage mask(QSizeF size, qreal ratio, const std::function<void(QPainter&)>& draw);

// The glow of `mask`'s alpha (its colours are ignored): `color` at `opacity` where the mask is
// opaque, blurred for `radius` points; an image larger than the mask by `radius` on every side, at
// the mask's pixel ratio, centred where the mask is.
QImage ofMask(const QImage& mask, const QColor& color, double opacity, double radius);

// The glows of a rounded rectangle and of a disc.
QImage roundedImage(QSizeF shape, double cornerRadius, QColor color, double opacity, double radius, qreal pixelRatio);
QImage discImage(double diameter, QColor color, double opacity, double radius, qreal pixelRatio);

// Draws `image` with its centre on `centre`.
void drawCentred(QPainter& painter, const QImage& image, QPointF centre);

} // namespace veq::Glow
