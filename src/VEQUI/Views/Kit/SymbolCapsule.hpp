#pragma once

#include "VEQUI/Views/Kit/ComponentView.hpp"

#include <QColor>
#include <QFont>
#include <QSizeF>
#include <QString>

#include <string>

class QPainter;

namespace veq {

// A capsule of one colour at low opacity holding an optional symbol and a text in that colour:
// the badges, chips and tags of the expert screens. The text is shown as given.
struct SymbolCapsule {
    std::string symbol; // none: the text alone
    QString text;
    QColor color;
    double fontSize = 8;
    QFont::Weight weight = QFont::DemiBold;
    double tracking = 0.5;
    double symbolSize = 8;
    double fillOpacity = 0.14;
    QColor fillColor; // invalid: the capsule's colour (at fillOpacity)
    double paddingVertical = 3;
    double paddingHorizontal = 7;
    double spacing = 3;

    void paint(QPainter& painter, const QRectF& area) const;
    QSizeF sizeHint() const;

    bool operator==(const SymbolCapsule&) const = default;
};

// Keeps its size: a capsule never stretches with its row.
class SymbolCapsuleView : public ComponentView<SymbolCapsule> {
public:
    explicit SymbolCapsuleView(SymbolCapsule capsule, const QString& objectName = {}, QWidget* parent = nullptr);
    void set(SymbolCapsule capsule);
};

} // namespace veq
