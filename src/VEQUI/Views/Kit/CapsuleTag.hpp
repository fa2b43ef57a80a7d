#pragma once

#include "VEQUI/Views/Kit/ComponentView.hpp"

#include <QColor>
#include <QSizeF>
#include <QString>

class QPainter;

namespace veq {

// A small tag: its text in bold capitals, tracked, in its colour, on a capsule of that colour at
// low opacity.
struct CapsuleTag {
    QString text; // shown upper-cased
    QColor color;
    double fontSize = 8;
    double fillOpacity = 0.15;

    static constexpr double paddingVertical = 2;
    static constexpr double paddingHorizontal = 6;
    static constexpr double tracking = 0.5;

    QString shownText() const { return text.toUpper(); }

    void paint(QPainter& painter, const QRectF& area) const;
    QSizeF sizeHint() const;

    bool operator==(const CapsuleTag&) const = default;
};

using CapsuleTagView = ComponentView<CapsuleTag>;

} // namespace veq
