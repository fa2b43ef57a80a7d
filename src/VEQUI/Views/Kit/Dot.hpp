#pragma once

#include "VEQUI/Views/Kit/ComponentView.hpp"

#include <QColor>
#include <QSizeF>

class QPainter;

namespace veq {

// A filled circle, centred in the space it is given; glowing in its colour when given a glow.
struct Dot {
    double diameter = 9;
    QColor color;
    double glowOpacity = 0;
    double glowRadius = 0;

    // `glows` keeps the glow's image between paints.
    void paint(QPainter& painter, const QRectF& area, Glow::Cache* glows = nullptr) const;
    QSizeF sizeHint() const { return {diameter, diameter}; }

    bool operator==(const Dot&) const = default;
};

using DotView = ComponentView<Dot>;

} // namespace veq
