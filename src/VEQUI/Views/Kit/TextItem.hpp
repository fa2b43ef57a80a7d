#pragma once

#include "VEQUI/Views/Kit/ComponentView.hpp"

#include <QColor>
#include <QFont>
#include <QSizeF>
#include <QString>

class QPainter;

namespace veq {

// One line of text in one font and colour, drawn at the leading edge and centred vertically:
// the small captions and result lines that sit among controls.
struct TextItem {
    QString text;
    QFont font;
    QColor color;

    void paint(QPainter& painter, const QRectF& area) const;
    QSizeF sizeHint() const;

    bool operator==(const TextItem&) const = default;
};

using TextItemView = ComponentView<TextItem>;

} // namespace veq
