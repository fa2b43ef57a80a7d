#include "VEQUI/Views/Kit/ValueTile.hpp"

#include "VEQUI/Views/Kit/VEQStyle.hpp"

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

    // Made once, on the GUI thread, and kept past the application's fonts (tiles repaint on
    // every display tick).
    static const TileFonts& shared() {
        static const TileFonts* fonts = new TileFonts;
        return *fonts;
    }
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
    paintCard(painter, area);
    paintFigure(painter, area);
}

void ValueTile::paintCard(QPainter& painter, const QRectF& area) const {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath card;
    card.addRoundedRect(area.adjusted(0.5, 0.5, -0.5, -0.5), cornerRadius, cornerRadius);
    painter.fillPath(card, VEQ::surface1());
    painter.setPen(QPen(VEQ::stroke(), 1));
    painter.drawPath(card);

    const TileFonts& fonts = TileFonts::shared();
    const QFontMetricsF titleMetrics(fonts.title);
    painter.setFont(fonts.title);
    painter.setPen(VEQ::textSecondary());
    painter.drawText(QPointF(area.left() + marginHorizontal, area.top() + marginVertical + titleMetrics.ascent()),
                     title.toUpper());
    painter.restore();
}

void ValueTile::paintFigure(QPainter& painter, const QRectF& area) const {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const TileFonts& fonts = TileFonts::shared();
    const double left = area.left() + marginHorizontal;
    const double top = area.top() + marginVertical + QFontMetricsF(fonts.title).height() + stackSpacing;
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
    const TileFonts& fonts = TileFonts::shared();
    const QFontMetricsF titleMetrics(fonts.title);
    const auto row = rowMetrics(*this, fonts);
    const double width = std::max(titleMetrics.horizontalAdvance(title.toUpper()),
                                  row.valueWidth + rowSpacing + row.unitWidth);
    return {std::ceil(width + 2 * marginHorizontal),
            std::ceil(titleMetrics.height() + stackSpacing + row.height + 2 * marginVertical)};
}

} // namespace veq

namespace veq {

ValueTileView::ValueTileView(ValueTile tile, QWidget* parent)
    : QWidget(parent), tile_(std::move(tile)), hint_(tile_.sizeHint().toSize()) {}

void ValueTileView::set(ValueTile tile) {
    if (tile == tile_) return;
    tile_ = std::move(tile);
    if (const QSize hint = tile_.sizeHint().toSize(); hint != hint_) {
        hint_ = hint;
        updateGeometry();
    }
    update();
}

void ValueTileView::paintEvent(QPaintEvent*) {
    const qreal ratio = devicePixelRatioF();
    if (card_.isNull() || card_.deviceIndependentSize() != QSizeF(size()) || card_.devicePixelRatio() != ratio ||
        cardTitle_ != tile_.title) {
        card_ = QImage(size() * ratio, QImage::Format_ARGB32_Premultiplied);
        card_.setDevicePixelRatio(ratio);
        card_.fill(Qt::transparent);
        QPainter layer(&card_);
        layer.setRenderHint(QPainter::TextAntialiasing);
        tile_.paintCard(layer, QRectF(rect()));
        cardTitle_ = tile_.title;
    }
    QPainter painter(this);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.drawImage(QPointF(0, 0), card_);
    tile_.paintFigure(painter, QRectF(rect()));
}

void ValueTileView::paintCachedTexts(QPainter& painter) const { tile_.paintCard(painter, QRectF(rect())); }

} // namespace veq
