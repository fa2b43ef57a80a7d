#include "VEQUI/Views/Gauges/ReadoutLayout.hpp"

#include "VEQUI/Views/Kit/VEQStyle.hpp"

#include <QFontMetricsF>

#include <algorithm>
#include <cstddef>

namespace veq {

namespace {

// Past this many texts, the widths are worked out again from nothing (a unit changes rarely; a
// figure's characters are a dozen).
constexpr std::size_t widthsKept = 32;

} // namespace

ReadoutLayout::ReadoutLayout(double side, bool big)
    : side_(side), big_(big), valueFont_(VEQ::numeric(side * (big ? 0.2 : 0.17), QFont::Bold)),
      unitFont_(VEQ::label(side * 0.05, QFont::Medium)), absentUnitFont_(VEQ::label(side * 0.042, QFont::Medium)),
      valueHeight_(QFontMetricsF(valueFont_).height()), unitHeight_(QFontMetricsF(unitFont_).height()),
      absentUnitHeight_(QFontMetricsF(absentUnitFont_).height()) {}

double ReadoutLayout::stackHeight(bool present) const {
    return valueHeight_ + side_ * 0.01 + (present ? unitHeight_ : absentUnitHeight_);
}

double ReadoutLayout::valueTop(double centreY, bool present) const {
    return centreY + side_ * 0.12 - stackHeight(present) / 2;
}

double ReadoutLayout::unitTop(double centreY, bool present) const {
    return valueTop(centreY, present) + valueHeight_ + side_ * 0.01;
}

double ReadoutLayout::figureWidth(const QString& figure) {
    double width = 0;
    for (const QChar c : figure) {
        auto it = std::find_if(advances_.begin(), advances_.end(), [c](const auto& held) { return held.first == c; });
        if (it == advances_.end()) {
            if (advances_.size() >= widthsKept) advances_.clear();
            advances_.emplace_back(c, QFontMetricsF(valueFont_).horizontalAdvance(c));
            it = std::prev(advances_.end());
        }
        width += it->second;
    }
    return width;
}

double ReadoutLayout::unitWidth(const QString& unit, bool present) {
    auto& widths = unitWidths_[present ? 1 : 0];
    const auto it = std::find_if(widths.begin(), widths.end(), [&unit](const auto& held) { return held.first == unit; });
    if (it != widths.end()) return it->second;
    if (widths.size() >= widthsKept) widths.clear();
    return widths.emplace_back(unit, QFontMetricsF(unitFont(present)).horizontalAdvance(unit)).second;
}

QRectF ReadoutLayout::area(const QPointF& centre, double width) const {
    // The taller of the two stacks, from the higher of their tops.
    const double top = std::min(valueTop(centre.y(), true), valueTop(centre.y(), false));
    const double height = std::max(stackHeight(true), stackHeight(false));
    const double margin = 0.25 * valueHeight_ + 2;
    return {centre.x() - width / 2 - margin, top - margin, width + 2 * margin, height + 2 * margin};
}

} // namespace veq
