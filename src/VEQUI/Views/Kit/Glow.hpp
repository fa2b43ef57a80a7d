#pragma once

#include <QColor>
#include <QPointF>
#include <QImage>
#include <QRectF>
#include <QSizeF>

class QPainter;

// The coloured shadows that make lit lamps and boxes glow, approximated without a blur: a
// radial fade around a round shape, and rounded rectangles growing and fading around a box.
namespace veq::Glow {

// From `opacity` at `innerRadius` around `centre` to nothing `radius` further out.
void paintRound(QPainter& painter, QPointF centre, double innerRadius, QColor color, double opacity, double radius);

// The blurred shadow of a rounded rectangle of `shape` size: an image `radius` larger on every
// side, `opacity` of the colour under the shape, falling off like a Gaussian blur of `radius`
// outside it. Drawn centred on the shape. Callers keep the image; it is made pixel by pixel.
QImage roundedImage(QSizeF shape, double cornerRadius, QColor color, double opacity, double radius, qreal pixelRatio);

} // namespace veq::Glow
