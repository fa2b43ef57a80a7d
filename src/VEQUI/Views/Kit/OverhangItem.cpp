#include "VEQUI/Views/Kit/OverhangItem.hpp"

#include <QWidget>

#include <algorithm>

namespace veq {

QMargins OverhangItem::overhang() const {
    const QMargins margins = widget()->contentsMargins();
    return {0, std::max(0, margins.top()), 0, std::max(0, margins.bottom())};
}

QSize OverhangItem::row(QSize whole) const {
    if (whole.height() >= QWIDGETSIZE_MAX) return whole;
    const QMargins reach = overhang();
    return {whole.width(), std::max(0, whole.height() - reach.top() - reach.bottom())};
}

QSize OverhangItem::sizeHint() const { return row(QWidgetItem::sizeHint()); }

QSize OverhangItem::minimumSize() const { return row(QWidgetItem::minimumSize()); }

QSize OverhangItem::maximumSize() const { return row(QWidgetItem::maximumSize()); }

void OverhangItem::setGeometry(const QRect& row) {
    if (isEmpty()) return;
    widget()->setGeometry(row.marginsAdded(overhang()));
}

QRect OverhangItem::geometry() const { return widget()->geometry().marginsRemoved(overhang()); }

} // namespace veq
