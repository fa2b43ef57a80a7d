#include "VEQUI/Views/Instruments/TelltaleStrip.hpp"

#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Kit/Glow.hpp"
#include "VEQUI/Views/Kit/Labels.hpp"
#include "VEQUI/Views/Kit/PaintText.hpp"
#include "VEQUI/Views/Kit/SymbolIcons.hpp"
#include "VEQUI/Views/Kit/VEQStyle.hpp"

#include <QPainter>

#include <cmath>

namespace veq {

namespace {

constexpr double icon = 12;
constexpr double pairSpacing = 5;
constexpr double lampSpacing = 22;
constexpr double paddingVertical = 7;
constexpr double glowOpacity = 0.8;
constexpr double glowRadius = 5;

QFont labelFont() { return tracked(VEQ::label(9, QFont::DemiBold), 1); }

double lampWidth(const InstrumentReadings::Telltale& lamp) {
    return icon + pairSpacing + PaintText::width(labelFont(), lamp.label.toUpper());
}

} // namespace

void TelltaleStrip::paint(QPainter& painter, const QRectF& area) const {
    QColor fill = VEQ::surface1();
    fill.setAlphaF(0.35f);
    painter.fillRect(area, fill);

    double total = 0;
    for (const auto& lamp : lamps) total += lampWidth(lamp);
    total += lampSpacing * static_cast<double>(lamps.size() - 1);
    double x = area.center().x() - total / 2;
    const double centreY = area.center().y();
    for (const auto& lamp : lamps) {
        const QRectF box(x, centreY - icon / 2, icon, icon);
        if (lamp.active) Glow::paintRound(painter, box.center(), icon / 2, lamp.color, glowOpacity, glowRadius);
        SymbolIcons::paint(painter, box, lamp.icon, lamp.active ? lamp.color : VEQ::stroke());
        QColor text = lamp.active ? VEQ::textPrimary() : VEQ::textSecondary();
        if (!lamp.active) text.setAlphaF(0.5f);
        PaintText::drawLeft(painter, labelFont(), text, lamp.label.toUpper(), x + icon + pairSpacing, centreY);
        x += lampWidth(lamp) + lampSpacing;
    }
}

QSizeF TelltaleStrip::sizeHint() const {
    double total = 0;
    for (const auto& lamp : lamps) total += lampWidth(lamp);
    total += lampSpacing * static_cast<double>(lamps.size() - 1);
    return {std::ceil(total), std::ceil(std::max(icon, PaintText::lineHeight(labelFont())) + 2 * paddingVertical)};
}

} // namespace veq
