#pragma once

#include "VEQUI/Model/GaugeScale.hpp"

#include <QPointF>
#include <QString>

class QPainter;

namespace veq {

// The numerals around a dial: majorTicks + 1 labels along the 270° sweep, divided by
// `unitDivisor` (1000 shows engine speed in thousands), those from the red band on in red.
struct GaugeNumbers {
    GaugeScale scale;
    double unitDivisor = 1;
    double side = 0;

    struct Numeral {
        QString text;
        QPointF offset; // from the centre of the square
        bool critical;
    };

    // The label of division i (0...majorTicks) and where it sits.
    Numeral numeral(int i) const;
    // Draws every numeral around `centre`.
    void paint(QPainter& painter, const QPointF& centre) const;

    bool operator==(const GaugeNumbers&) const = default;
};

} // namespace veq
