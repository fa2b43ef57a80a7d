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

// Each lamp's width: its icon and its label, measured once.
std::array<double, 5> lampWidths(const std::array<InstrumentReadings::Telltale, 5>& lamps) {
    std::array<double, 5> widths{};
    for (std::size_t i = 0; i < lamps.size(); ++i) {
        widths[i] = icon + pairSpacing + PaintText::width(labelFont(), lamps[i].label.toUpper());
    }
    return widths;
}

double rowWidth(const std::array<double, 5>& widths) {
    double total = 0;
    for (const double width : widths) total += width;
    return total + lampSpacing * static_cast<double>(widths.size() - 1);
}

} // namespace

std::array<QRectF, 5> TelltaleStrip::iconBoxes(const QRectF& area) const {
    // The lamps are centred as a row.
    const auto widths = lampWidths(lamps);
    double x = area.center().x() - rowWidth(widths) / 2;
    std::array<QRectF, 5> boxes;
    for (std::size_t i = 0; i < lamps.size(); ++i) {
        boxes[i] = QRectF(x, area.center().y() - icon / 2, icon, icon);
        x += widths[i] + lampSpacing;
    }
    return boxes;
}

void TelltaleStrip::paint(QPainter& painter, const QRectF& area, Glow::Cache* glows) const {
    QColor fill = VEQ::surface1();
    fill.setAlphaF(0.35f);
    painter.fillRect(area, fill);

    const auto boxes = iconBoxes(area);
    for (std::size_t i = 0; i < lamps.size(); ++i) {
        const auto& lamp = lamps[i];
        const QRectF& box = boxes[i];
        if (lamp.active) Glow::paintSymbol(painter, glows, box, lamp.icon, lamp.color, glowOpacity, glowRadius);
        SymbolIcons::paint(painter, box, lamp.icon, lamp.active ? lamp.color : VEQ::stroke());
        QColor text = lamp.active ? VEQ::textPrimary() : VEQ::textSecondary();
        if (!lamp.active) text.setAlphaF(0.5f);
        PaintText::drawLeft(painter, labelFont(), text, lamp.label.toUpper(), box.right() + pairSpacing, box.center().y());
    }
}

QSizeF TelltaleStrip::sizeHint() const {
    return {std::ceil(rowWidth(lampWidths(lamps))), std::ceil(std::max(icon, PaintText::lineHeight(labelFont())) + 2 * paddingVertical)};
}

} // namespace veq
