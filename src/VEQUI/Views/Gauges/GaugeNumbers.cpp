#include "VEQUI/Views/Gauges/GaugeNumbers.hpp"

#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Gauges/GaugeReadout.hpp"
#include "VEQUI/Views/Kit/VEQStyle.hpp"

#include <QFontMetricsF>
#include <QPainter>

#include <cmath>
#include <numbers>

namespace veq {

GaugeNumbers::Numeral GaugeNumbers::numeral(int i) const {
    const int divisions = scale.tickCount();
    const double t = static_cast<double>(i) / divisions;
    const double label = (scale.min + t * (scale.max - scale.min)) / unitDivisor;
    // Counter-clockwise from the right, as on a clock face read from the lower left.
    const double phi = (225.0 - 270.0 * t) * std::numbers::pi / 180.0;
    return {GaugeReadout::wholeNumber(label),
            QPointF(side * 0.31 * std::cos(phi), -side * 0.31 * std::sin(phi)),
            t >= scale.redlineFraction()};
}

void GaugeNumbers::paint(QPainter& painter, const QPointF& centre) const {
    if (!(side > 0)) return;
    painter.save();
    const QFont font = VEQ::numeric(side * 0.06, QFont::DemiBold);
    const QFontMetricsF metrics(font);
    painter.setFont(font);
    for (int i = 0; i <= scale.tickCount(); ++i) {
        const Numeral n = numeral(i);
        const QPointF middle = centre + n.offset;
        const double width = metrics.horizontalAdvance(n.text);
        painter.setPen(n.critical ? VEQ::critical() : VEQ::textPrimary());
        painter.drawText(QPointF(middle.x() - width / 2, middle.y() - metrics.height() / 2 + metrics.ascent()), n.text);
    }
    painter.restore();
}

} // namespace veq
