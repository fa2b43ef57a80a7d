#include "VEQUI/Views/ValueTile.hpp"

#include "VEQUI/Views/VEQStyle.hpp"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace veq {

namespace {

constexpr double cornerRadius = 10;
constexpr double marginVertical = 10;
constexpr double marginHorizontal = 14;
constexpr double stackSpacing = 4;
constexpr double rowSpacing = 3;

struct TileFonts {
    QFont title = VEQ::label(10, QFont::Medium);
    QFont value = VEQ::numeric(24, QFont::DemiBold);
    QFont unit = VEQ::label(11, QFont::Medium);
    TileFonts() { title.setLetterSpacing(QFont::AbsoluteSpacing, 1.0); }
};


// The value and its unit sit on one baseline: the row is as tall as the taller ascent plus the
// deeper descent.
struct RowMetrics {
    double ascent;
    double height;
    double valueWidth;
    double unitWidth;
};

RowMetrics rowMetrics(const ValueTile& tile, const TileFonts& fonts) {
    const QFontMetricsF value(fonts.value);
    const QFontMetricsF unit(fonts.unit);
    const double ascent = std::max(value.ascent(), unit.ascent());
    const double descent = std::max(value.descent(), unit.descent());
    return {ascent, ascent + descent, value.horizontalAdvance(tile.value), unit.horizontalAdvance(tile.unit)};
}

} // namespace

void ValueTile::paint(QPainter& painter, const QRectF& area) const {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath card;
    card.addRoundedRect(area.adjusted(0.5, 0.5, -0.5, -0.5), cornerRadius, cornerRadius);
    painter.fillPath(card, VEQ::surface1());
    painter.setPen(QPen(VEQ::stroke(), 1));
    painter.drawPath(card);

    const double left = area.left() + marginHorizontal;
    double top = area.top() + marginVertical;

    const TileFonts fonts;
    const QFontMetricsF titleMetrics(fonts.title);
    painter.setFont(fonts.title);
    painter.setPen(VEQ::textSecondary());
    painter.drawText(QPointF(left, top + titleMetrics.ascent()), title.toUpper());
    top += titleMetrics.height() + stackSpacing;

    const auto row = rowMetrics(*this, fonts);
    const double baseline = top + row.ascent;
    painter.setFont(fonts.value);
    painter.setPen(VEQ::textPrimary());
    painter.drawText(QPointF(left, baseline), value);
    painter.setFont(fonts.unit);
    painter.setPen(accent);
    painter.drawText(QPointF(left + row.valueWidth + rowSpacing, baseline), unit);
    painter.restore();
}

QSizeF ValueTile::sizeHint() const {
    const TileFonts fonts;
    const QFontMetricsF titleMetrics(fonts.title);
    const auto row = rowMetrics(*this, fonts);
    const double width = std::max(titleMetrics.horizontalAdvance(title.toUpper()),
                                  row.valueWidth + rowSpacing + row.unitWidth);
    return {std::ceil(width + 2 * marginHorizontal),
            std::ceil(titleMetrics.height() + stackSpacing + row.height + 2 * marginVertical)};
}

} // namespace veq
