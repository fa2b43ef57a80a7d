#pragma once

#include <QFont>
#include <QPointF>
#include <QRectF>
#include <QString>

#include <utility>
#include <vector>

namespace veq {

// Where a dial's readout stands: the value's line over the unit's, under the dial's centre, in
// fonts sized by the dial's side. The fonts, their heights and the widths of what they have
// shown are worked out once, not on each of a roll's frames.
class ReadoutLayout {
public:
    ReadoutLayout(double side, bool big);

    double side() const { return side_; }
    bool big() const { return big_; }

    const QFont& valueFont() const { return valueFont_; }
    // The unit's font: smaller for the note shown without a value.
    const QFont& unitFont(bool present) const { return present ? unitFont_ : absentUnitFont_; }
    double valueHeight() const { return valueHeight_; }

    // The top of the value's line, and of the unit's, in a dial centred on `centreY`.
    double valueTop(double centreY, bool present) const;
    double unitTop(double centreY, bool present) const;

    // A figure's width laid out cell by cell, as the readout draws it (figures: no kerning).
    double figureWidth(const QString& figure);
    // A unit's width.
    double unitWidth(const QString& unit, bool present);

    // The readout's lines around `centre`, wide enough for `width`, with room for the glyphs
    // rolling through the value's window and for the margins of their images.
    QRectF area(const QPointF& centre, double width) const;

private:
    double stackHeight(bool present) const;

    double side_;
    bool big_;
    QFont valueFont_;
    QFont unitFont_;
    QFont absentUnitFont_;
    double valueHeight_;
    double unitHeight_;
    double absentUnitHeight_;
    std::vector<std::pair<QChar, double>> advances_;        // of the value font's characters
    std::vector<std::pair<QString, double>> unitWidths_[2]; // without and with a value
};

} // namespace veq
