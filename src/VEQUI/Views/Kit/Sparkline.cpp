#include "VEQUI/Views/Kit/Sparkline.hpp"

#include <QPainter>

#include <algorithm>

namespace veq {

QPainterPath Sparkline::path(const QRectF& area) const {
    QPainterPath line;
    const std::size_t n = values.size();
    if (n < 2) return line;
    const auto [lo, hi] = std::minmax_element(values.begin(), values.end());
    const double low = *lo;
    const double span = *hi - low;
    for (std::size_t i = 0; i < n; ++i) {
        const double level = span > 0 ? (values[i] - low) / span : 0.5;
        const QPointF point(area.left() + area.width() * static_cast<double>(i) / static_cast<double>(n - 1),
                            area.top() + area.height() * (1 - level));
        if (i == 0) {
            line.moveTo(point);
        } else {
            line.lineTo(point);
        }
    }
    return line;
}

void Sparkline::paint(QPainter& painter, const QRectF& area) const {
    const QPainterPath line = path(area);
    if (line.isEmpty()) return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(color, lineWidth));
    painter.drawPath(line);
    painter.restore();
}

} // namespace veq
