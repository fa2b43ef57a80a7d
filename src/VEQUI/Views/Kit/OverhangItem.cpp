#include "VEQUI/Views/Kit/OverhangItem.hpp"

#include <QWidget>

#include <algorithm>

namespace veq {

OverhangItem::OverhangItem(QWidget* widget, int overhang) : QWidgetItem(widget), overhang_(std::max(0, overhang)) {}

QSize OverhangItem::row(QSize whole) const {
    if (whole.height() >= QWIDGETSIZE_MAX) return whole;
    return {whole.width(), std::max(0, whole.height() - 2 * overhang_)};
}

QSize OverhangItem::sizeHint() const { return row(QWidgetItem::sizeHint()); }

QSize OverhangItem::minimumSize() const { return row(QWidgetItem::minimumSize()); }

QSize OverhangItem::maximumSize() const { return row(QWidgetItem::maximumSize()); }

void OverhangItem::setGeometry(const QRect& row) {
    if (isEmpty()) return;
    widget()->setGeometry(row.adjusted(0, -overhang_, 0, overhang_));
}

QRect OverhangItem::geometry() const { return widget()->geometry().adjusted(0, overhang_, 0, -overhang_); }

} // namespace veq
