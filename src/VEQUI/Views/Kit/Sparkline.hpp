#pragma once

#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Kit/ComponentView.hpp"

#include <QColor>
#include <QPainterPath>
#include <QSizeF>

#include <vector>

class QPainter;

namespace veq {

// A trend line over the whole area offered: values left to right, the smallest on the bottom
// edge and the largest on the top edge; a flat series runs at half height.
struct Sparkline {
    std::vector<double> values;
    QColor color = VEQ::accent();

    static constexpr double lineWidth = 1.5;

    // The line's path in `area`; empty with fewer than two values.
    QPainterPath path(const QRectF& area) const;
    void paint(QPainter& painter, const QRectF& area) const;
    QSizeF sizeHint() const { return {80, 24}; }

    bool operator==(const Sparkline&) const = default;
};

using SparklineView = ComponentView<Sparkline>;

} // namespace veq
