#include "VEQUI/Views/Kit/AdaptiveGridLayout.hpp"

#include <QWidget>

#include <algorithm>
#include <cmath>

namespace veq {

AdaptiveGridLayout::AdaptiveGridLayout(int minimumColumnWidth, int spacing, QWidget* parent)
    : QLayout(parent), minimumColumnWidth_(std::max(1, minimumColumnWidth)) {
    setSpacing(spacing);
    setContentsMargins(0, 0, 0, 0);
}

AdaptiveGridLayout::~AdaptiveGridLayout() {
    while (QLayoutItem* item = takeAt(0)) delete item;
}

int AdaptiveGridLayout::columnCount(int width, int minimumColumnWidth, int spacing) {
    const int gap = std::max(0, spacing);
    return std::max(1, (width + gap) / (std::max(1, minimumColumnWidth) + gap));
}

int AdaptiveGridLayout::columnMinimum() const {
    // A cell narrower than its item's minimum would squeeze the item's contents over one another.
    int widest = minimumColumnWidth_;
    for (QLayoutItem* item : items_) {
        if (!item->isEmpty()) widest = std::max(widest, item->minimumSize().width());
    }
    return widest;
}

void AdaptiveGridLayout::addItem(QLayoutItem* item) {
    items_.append(item);
    invalidate();
}

QLayoutItem* AdaptiveGridLayout::itemAt(int index) const {
    return index >= 0 && index < items_.size() ? items_.at(index) : nullptr;
}

QLayoutItem* AdaptiveGridLayout::takeAt(int index) {
    if (index < 0 || index >= items_.size()) return nullptr;
    QLayoutItem* item = items_.takeAt(index);
    invalidate();
    return item;
}

int AdaptiveGridLayout::heightForWidth(int width) const { return arrange(QRect(0, 0, width, 0), false); }

QSize AdaptiveGridLayout::minimumSize() const {
    // One column wide and one item tall: the height that a width really needs comes from
    // heightForWidth, so that a scroll view sizes the grid for the width it has.
    int tallest = 0;
    for (QLayoutItem* item : items_) tallest = std::max(tallest, item->minimumSize().height());
    const QMargins m = contentsMargins();
    return {columnMinimum() + m.left() + m.right(), tallest + m.top() + m.bottom()};
}

QSize AdaptiveGridLayout::sizeHint() const { return minimumSize(); }

void AdaptiveGridLayout::setGeometry(const QRect& rect) {
    QLayout::setGeometry(rect);
    arrange(rect, true);
}

int AdaptiveGridLayout::arrange(const QRect& rect, bool apply) const {
    const QRect area = rect.marginsRemoved(contentsMargins());
    const int gap = spacing();
    const int columns = columnCount(area.width());
    const double columnWidth = std::max(0.0, (area.width() - gap * (columns - 1.0)) / columns);
    const auto columnLeft = [&](int column) {
        return area.left() + static_cast<int>(std::lround(column * (columnWidth + gap)));
    };
    const auto heightOf = [](QLayoutItem* item, int width) {
        return item->hasHeightForWidth() ? item->heightForWidth(width) : item->sizeHint().height();
    };

    int top = area.top();
    for (qsizetype first = 0; first < items_.size(); first += columns) {
        const qsizetype last = std::min<qsizetype>(first + columns, items_.size());
        int rowHeight = 0;
        for (qsizetype i = first; i < last; ++i) {
            const int column = static_cast<int>(i - first);
            const int width = columnLeft(column + 1) - gap - columnLeft(column);
            rowHeight = std::max(rowHeight, heightOf(items_.at(i), width));
        }
        for (qsizetype i = first; apply && i < last; ++i) {
            const int column = static_cast<int>(i - first);
            const int left = columnLeft(column);
            const int width = columnLeft(column + 1) - gap - left;
            const int height = heightOf(items_.at(i), width);
            items_.at(i)->setGeometry(QRect(left, top + (rowHeight - height) / 2, width, height));
        }
        top += rowHeight + (last < items_.size() ? gap : 0);
    }
    return top - area.top() + contentsMargins().top() + contentsMargins().bottom();
}

} // namespace veq
