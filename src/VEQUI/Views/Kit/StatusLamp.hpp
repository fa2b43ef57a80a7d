#pragma once

#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Kit/ComponentView.hpp"

#include <QColor>
#include <QSizeF>
#include <QString>

class QPainter;

namespace veq {

// A status light with its label, at the leading edge of the space offered: lit in `onColor` with
// a soft glow, or an unlit grey dot with a dimmed label. The light keeps its glow's reach free
// around it, so that its own frame does not cut the glow.
struct StatusLamp {
    QString label;
    bool isOn = false;
    QColor onColor = VEQ::confirm();

    static constexpr double diameter = 9;
    static constexpr double glowRadius = 4;
    static constexpr double spacing = 8;

    // `glows` keeps the glow's image between paints.
    void paint(QPainter& painter, const QRectF& area, Glow::Cache* glows = nullptr) const;
    QSizeF sizeHint() const;
    // The centre of the lamp's circle in `area`.
    QPointF dotCentre(const QRectF& area) const;

    bool operator==(const StatusLamp&) const = default;
};

using StatusLampView = ComponentView<StatusLamp>;

} // namespace veq
