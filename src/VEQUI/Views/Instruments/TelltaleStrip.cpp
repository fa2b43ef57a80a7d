#include "VEQUI/Views/Instruments/TelltaleStrip.hpp"

#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Kit/GlowCache.hpp"
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

// The lamps are centred as a row.
template <typename Lamps>
double firstLeft(const Lamps& lamps, const QRectF& area) {
    double total = 0;
    for (const auto& lamp : lamps) total += lampWidth(lamp);
    total += lampSpacing * static_cast<double>(lamps.size() - 1);
    return area.center().x() - total / 2;
}

} // namespace

QRectF TelltaleStrip::iconBox(const QRectF& area, std::size_t index) const {
    double x = firstLeft(lamps, area);
    for (std::size_t i = 0; i < index && i < lamps.size(); ++i) x += lampWidth(lamps[i]) + lampSpacing;
    return {x, area.center().y() - icon / 2, icon, icon};
}

void TelltaleStrip::paint(QPainter& painter, const QRectF& area, Glow::Cache* glows) const {
    QColor fill = VEQ::surface1();
    fill.setAlphaF(0.35f);
    painter.fillRect(area, fill);

    for (std::size_t i = 0; i < lamps.size(); ++i) {
        const auto& lamp = lamps[i];
        const QRectF box = iconBox(area, i);
        if (lamp.active) Glow::paintSymbol(painter, glows, box, lamp.icon, lamp.color, glowOpacity, glowRadius);
        SymbolIcons::paint(painter, box, lamp.icon, lamp.active ? lamp.color : VEQ::stroke());
        QColor text = lamp.active ? VEQ::textPrimary() : VEQ::textSecondary();
        if (!lamp.active) text.setAlphaF(0.5f);
        PaintText::drawLeft(painter, labelFont(), text, lamp.label.toUpper(), box.right() + pairSpacing, box.center().y());
    }
}

QSizeF TelltaleStrip::sizeHint() const {
    double total = 0;
    for (const auto& lamp : lamps) total += lampWidth(lamp);
    total += lampSpacing * static_cast<double>(lamps.size() - 1);
    return {std::ceil(total), std::ceil(std::max(icon, PaintText::lineHeight(labelFont())) + 2 * paddingVertical)};
}

} // namespace veq
