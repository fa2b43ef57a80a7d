#pragma once

#include "VEQUI/Views/Kit/ComponentView.hpp"

#include <QColor>
#include <QRectF>
#include <QSizeF>
#include <QString>

class QPainter;

namespace veq {

// One fact of a drive: a small title in capitals over its value, each ending with "…" when the
// room is short.
struct Fact {
    QString title; // shown in capitals
    QString value;

    void paint(QPainter& painter, const QRectF& area) const;
    QSizeF sizeHint() const;
    bool operator==(const Fact&) const = default;
};

using FactView = ComponentView<Fact>;

// A fact as tall as its two lines, however short the room in a scrolling column.
FactView* makeFactView(const QString& title, const QString& objectName);

} // namespace veq
