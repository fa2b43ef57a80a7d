#pragma once

#include "VEQUI/Views/Kit/ComponentView.hpp"
#include "VEQUI/Views/Instruments/InstrumentReadings.hpp"

#include <array>

namespace veq {

// The strip of five warning lamps across the cockpit: each an icon and its label in capitals,
// glowing in its colour when lit, faint when not.
struct TelltaleStrip {
    std::array<InstrumentReadings::Telltale, 5> lamps;

    // `glows` keeps the lit icons' glow images between paints.
    void paint(QPainter& painter, const QRectF& area, Glow::Cache* glows = nullptr) const;
    QSizeF sizeHint() const;
    // Where each lamp draws its icon in `area`.
    std::array<QRectF, 5> iconBoxes(const QRectF& area) const;
    bool operator==(const TelltaleStrip&) const = default;
};

using TelltaleStripView = ComponentView<TelltaleStrip>;

} // namespace veq
