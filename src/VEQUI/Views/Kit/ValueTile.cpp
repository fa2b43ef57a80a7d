#include "VEQUI/Views/Kit/ValueTile.hpp"

#include "VEQUI/Views/Kit/RollingFigure.hpp"
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

// Where the figure's row lies in the tile: its left edge and its baseline.
QPointF figureOrigin(const QRectF& area) {
    const TileFonts& fonts = TileFonts::shared();
    const double top = area.top() + marginVertical + QFontMetricsF(fonts.title).height() + stackSpacing;
    const double ascent = std::max(QFontMetricsF(fonts.value).ascent(), QFontMetricsF(fonts.unit).ascent());
    return {area.left() + marginHorizontal, top + ascent};
}

void paintUnit(QPainter& painter, const ValueTile& tile, double left, double baseline) {
    painter.setFont(TileFonts::shared().unit);
    painter.setPen(tile.accent);
    painter.drawText(QPointF(left, baseline), tile.unit);
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
    const QPointF origin = figureOrigin(area);
    painter.setFont(fonts.value);
    painter.setPen(VEQ::textPrimary());
    painter.drawText(origin, value);
    const double valueWidth = QFontMetricsF(fonts.value).horizontalAdvance(value);
    paintUnit(painter, *this, origin.x() + valueWidth + rowSpacing, origin.y());
    painter.restore();
}

void ValueTile::paintRollingFigure(QPainter& painter, const QRectF& area,
                                   const std::vector<DigitRoll::Figure>& frame) const {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const TileFonts& fonts = TileFonts::shared();
    const QPointF origin = figureOrigin(area);
    RollingFigure::paint(painter, frame, {fonts.value, origin.y() - QFontMetricsF(fonts.value).ascent(), origin.x()});
    paintUnit(painter, *this, origin.x() + RollingFigure::width(frame, fonts.value) + rowSpacing, origin.y());
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
    : QWidget(parent), tile_(std::move(tile)), hint_(tile_.sizeHint().toSize()),
      roll_(tile_.value, VEQ::textPrimary()) {}

void ValueTileView::set(ValueTile tile) {
    if (tile == tile_) return;
    if (!animated_ || tile.title != tile_.title) {
        roll_.show(tile.value, VEQ::textPrimary());
    } else if (tile.value != roll_.text()) {
        roll_.rollTo(tile.value, VEQ::textPrimary());
        ticker_.wake();
    }
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
    if (roll_.rolling()) {
        tile_.paintRollingFigure(painter, QRectF(rect()), roll_.frame());
    } else {
        tile_.paintFigure(painter, QRectF(rect()));
    }
}

void ValueTileView::setAnimated(bool animated) {
    animated_ = animated;
    if (animated_) return;
    ticker_.stop();
    if (roll_.rolling()) {
        roll_.finish();
        update();
    }
}

void ValueTileView::setFrameClock(std::function<void()> wake) { ticker_.setClock(std::move(wake)); }

void ValueTileView::advanceFrame() {
    if (!roll_.advance(FrameTicker::interval)) ticker_.stop();
    update();
}

void ValueTileView::paintCachedTexts(QPainter& painter) const { tile_.paintCard(painter, QRectF(rect())); }

} // namespace veq
