#include "VEQUI/Views/Recording/PaintedTable.hpp"

#include "VEQUI/Views/Recording/TableCells.hpp"

#include <QPaintEvent>
#include <QPainter>

#include <algorithm>

namespace veq {

PaintedTable::PaintedTable(const Columns& columns, const QString& name, QWidget* parent)
    : QWidget(parent), columns_(columns) {
    for (const char* title : columns.titles) titles_ << QString::fromUtf8(title);
    setObjectName(name);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void PaintedTable::rowsReplaced(bool resized) {
    if (resized) updateGeometry();
    update();
}

QSize PaintedTable::sizeHint() const {
    return {TableCells::minimumWidth(columns_.firstMinimum, columns_.fixedWidths),
            rowHeight * static_cast<int>(rowCount() + 1)};
}

QSize PaintedTable::minimumSizeHint() const { return sizeHint(); }

void PaintedTable::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const double width = this->width();
    const auto cellsAt = [&](double top) {
        return TableCells::columns(width, top, rowHeight, columns_.firstMinimum, columns_.fixedWidths);
    };
    TableCells::drawHeader(painter, titles_, cellsAt(0));

    // Only the rows that the exposed region reaches.
    const int count = static_cast<int>(rowCount());
    const int first = std::max(0, event->rect().top() / rowHeight - 1);
    const int last = std::min(count, event->rect().bottom() / rowHeight + 1);
    for (int r = first; r < last; ++r) {
        const double top = rowHeight * (r + 1);
        paintRowAt(painter, static_cast<std::size_t>(r), cellsAt(top));
        if (r + 1 < count) TableCells::drawRowLine(painter, top + rowHeight, width);
    }
}

} // namespace veq
