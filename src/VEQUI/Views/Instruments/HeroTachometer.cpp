#include "VEQUI/Views/Instruments/HeroTachometer.hpp"

#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Gauges/GaugeReadout.hpp"
#include "VEQUI/Views/Kit/PaintText.hpp"
#include "VEQUI/Views/Kit/RollingFigure.hpp"
#include "VEQUI/Views/Kit/SymbolIcons.hpp"
#include "VEQUI/Views/Kit/VEQStyle.hpp"

#include <QPainter>

#include <cmath>

namespace veq {

namespace {

constexpr double arrowSize = 0.05;
constexpr double unitSize = 0.05;
constexpr double columnOffset = 0.04; // the column sits this far below the centre
constexpr double glowOpacity = 0.9;

QString wholeText(double value, bool round) {
    if (!std::isfinite(value)) return QStringLiteral("0");
    return GaugeReadout::wholeNumber(round ? value : std::trunc(value));
}

// The readout's column in a dial of `side` centred on `centre`: the lines' fonts and heights, and
// the shift light at its top. paint() lays the lines out from it, arrowBox() reads the light's box.
struct Column {
    QFont speedFont;
    QFont unitFont;
    QFont rpmFont;
    double gap;
    double speedHeight;
    double unitHeight;
    double rpmHeight;
    QRectF arrowBox;

    Column(const HeroReadout::Style& style, QPointF centre, double side)
        : speedFont(VEQ::numeric(side * style.speedSize, QFont::Bold)),
          unitFont(VEQ::label(side * unitSize, QFont::Medium)),
          rpmFont(VEQ::numeric(side * style.rpmSize, QFont::DemiBold)), gap(side * style.spacing),
          speedHeight(PaintText::lineHeight(speedFont)), unitHeight(PaintText::lineHeight(unitFont)),
          rpmHeight(PaintText::lineHeight(rpmFont)) {
        const double arrow = side * arrowSize;
        const double total = arrow + gap + speedHeight + gap + unitHeight + gap + side * style.spaceAboveRpm + rpmHeight;
        arrowBox = QRectF(centre.x() - arrow / 2, centre.y() + side * columnOffset - total / 2, arrow, arrow);
    }
};

} // namespace

// clang-format off
//                                           spacing  speed  round  rpm    above  glow
const HeroReadout::Style HeroReadout::cockpit{0.006,   0.26,  false, 0.045, 0.01,  6};
const HeroReadout::Style HeroReadout::focus  {0.005,   0.28,  true,  0.042, 0.0,   8};
// clang-format on

QString HeroReadout::speedText() const { return wholeText(speed, style.roundFigures); }

QString HeroReadout::rpmText() const { return wholeText(rpm, style.roundFigures) + QStringLiteral(" tr/min"); }

bool HeroReadout::operator==(const HeroReadout& other) const {
    return speedText() == other.speedText() && rpmText() == other.rpmText() && speedUnit == other.speedUnit &&
           shiftCue == other.shiftCue && accent == other.accent && style.speedSize == other.style.speedSize;
}

QRectF HeroReadout::arrowBox(QPointF centre, double side) const { return Column(style, centre, side).arrowBox; }

void HeroReadout::paint(QPainter& painter, QPointF centre, double side, PaintText::GlyphImages* speedGlyphs,
                        const DigitRoll* speedRoll, Glow::Cache* glows) const {
    if (!(side > 0)) return;
    const Column column(style, centre, side);
    if (shiftCue) {
        Glow::paintSymbol(painter, glows, column.arrowBox, "arrowtriangle.up.fill", VEQ::critical(), glowOpacity,
                          style.glowRadius);
    }
    SymbolIcons::paint(painter, column.arrowBox, "arrowtriangle.up.fill", shiftCue ? VEQ::critical() : VEQ::stroke());
    double top = column.arrowBox.bottom() + column.gap;

    const QFont& speedFont = column.speedFont;
    if (!speedGlyphs) {
        PaintText::drawCentred(painter, speedFont, VEQ::textPrimary(), speedText(),
                               {centre.x(), top + column.speedHeight / 2});
    } else if (speedRoll && speedRoll->rolling()) {
        const auto blit = [speedGlyphs, &speedFont](QPainter& p, QChar glyph, const QColor& ink, QPointF topLeft) {
            speedGlyphs->draw(p, speedFont, ink, glyph, topLeft);
        };
        RollingFigure::paint(painter, speedRoll->frame(), {speedFont, top, centre.x(), true}, blit);
    } else {
        speedGlyphs->drawCentred(painter, speedFont, VEQ::textPrimary(), speedText(), centre.x(), top);
    }
    top += column.speedHeight + column.gap;
    PaintText::drawCentred(painter, column.unitFont, accent, speedUnit, {centre.x(), top + column.unitHeight / 2});
    top += column.unitHeight + column.gap + side * style.spaceAboveRpm;
    PaintText::drawCentred(painter, column.rpmFont, shiftCue ? VEQ::critical() : VEQ::textSecondary(), rpmText(),
                           {centre.x(), top + column.rpmHeight / 2});
}

HeroTachometer::HeroTachometer(HeroReadout::Style style, QWidget* parent)
    : CircularGaugeView(CircularGauge{}, parent) {
    readout_.style = style;
    readout_.accent = VEQ::accent();
    speedRoll_.show(readout_.speedText(), VEQ::textPrimary());
    addRoll(speedRoll_);
    setNumerals(1000);
    setOverlay([this](QPainter& painter, const QPointF& centre, double side) {
        readout_.paint(painter, centre, side, &speedGlyphs_, &speedRoll_, &glows_);
    });
}

void HeroTachometer::paintCachedTexts(QPainter& painter) const {
    if (drawsOnGPU()) return;
    CircularGaugeView::paintCachedTexts(painter);
    const QRectF square = dialSquare();
    readout_.paint(painter, square.center(), square.width());
}

void HeroTachometer::setReading(const InstrumentReadings::Hero& hero, const QColor& accent) {
    setGauge(hero.dial);
    HeroReadout next = readout_;
    next.speed = hero.speed;
    next.speedUnit = hero.speedUnit;
    next.rpm = hero.dial.value.value_or(0.0);
    next.shiftCue = hero.shiftCue;
    next.accent = accent;
    if (next == readout_) return;
    readout_ = next;
    rollTo(speedRoll_, readout_.speedText(), VEQ::textPrimary());
    updateOverlay();
}

} // namespace veq
