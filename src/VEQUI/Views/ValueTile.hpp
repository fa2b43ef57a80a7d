#pragma once

#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/ComponentView.hpp"

#include <QColor>
#include <QSizeF>
#include <QString>

class QPainter;

namespace veq {

// A labelled figure with its unit on a rounded card: the title in capitals over the value
// (already formatted by the caller) and its unit in the accent colour.
struct ValueTile {
    QString title;
    QString value;
    QString unit;
    QColor accent = VEQ::accent();

    void paint(QPainter& painter, const QRectF& area) const;
    QSizeF sizeHint() const;

    bool operator==(const ValueTile&) const = default;
};

using ValueTileView = ComponentView<ValueTile>;

} // namespace veq
