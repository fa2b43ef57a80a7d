#include "VEQUI/Views/Diagnostics/FrameTable.hpp"

#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Kit/VEQStyle.hpp"

#include <QPainter>
#include <QScrollBar>

#include <fmt/format.h>

#include <iterator>

namespace veq {

namespace {

QFont idFont() { return VEQ::numeric(13, QFont::DemiBold); }
QFont figureFont() { return VEQ::numeric(11, QFont::DemiBold); }

} // namespace

FrameRowCells frameRowCells(const CANFrameRow& row, const QColor& accent) {
    FrameRowCells cells;
    cells.id = QString::fromStdString(row.id);
    cells.idColour = accent;
    cells.bytes.reserve(row.data.size());
    for (std::size_t i = 0; i < row.data.size(); ++i) {
        const bool changed = i < row.changed.size() && row.changed[i];
        cells.bytes.push_back({QString::fromStdString(fmt::format("{:02X}", row.data[i])),
                               changed ? VEQ::warning() : VEQ::textPrimary()});
    }
    cells.rate = QString::fromStdString(fmt::format("{:.0f}", row.rateHz()));
    cells.count = QString::number(row.count);
    return cells;
}

FrameTable::FrameTable(std::function<const CANFrameTable::Rows&()> rows, std::function<QColor()> accent,
                       QWidget* parent)
    : QAbstractScrollArea(parent), rows_(std::move(rows)), accent_(std::move(accent)) {
    setObjectName(QStringLiteral("frameTable"));
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    viewport()->setAutoFillBackground(false);
    updateRange();
}

int FrameTable::rowHeight() const { return QFontMetrics(idFont()).height() + 2 * verticalPadding + 1; }

void FrameTable::refresh() {
    updateRange();
    viewport()->update();
}

void FrameTable::updateRange() {
    const int total = static_cast<int>(rows_().size()) * rowHeight();
    verticalScrollBar()->setPageStep(viewport()->height());
    verticalScrollBar()->setSingleStep(rowHeight());
    verticalScrollBar()->setRange(0, std::max(0, total - viewport()->height()));
}

void FrameTable::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    updateRange();
}

std::pair<CANFrameTable::Rows::const_iterator, int> FrameTable::firstInView() const {
    const auto& rows = rows_();
    const int offset = verticalScrollBar()->value();
    const std::size_t first = std::min(static_cast<std::size_t>(offset / rowHeight()), rows.size());
    // The map keeps the identifiers in ascending text order: the rows are drawn in that order.
    return {std::next(rows.begin(), static_cast<std::ptrdiff_t>(first)), static_cast<int>(first) * rowHeight() - offset};
}

std::vector<std::string> FrameTable::idsInView() const {
    std::vector<std::string> ids;
    auto [it, y] = firstInView();
    for (; it != rows_().end() && y < viewport()->height(); ++it, y += rowHeight()) ids.push_back(it->first);
    return ids;
}

void FrameTable::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    painter.setRenderHint(QPainter::TextAntialiasing);
    const auto& rows = rows_();
    const int height = rowHeight();
    const QColor accent = accent_();
    QColor divider = VEQ::stroke();
    divider.setAlphaF(0.4f);
    const QFont idF = idFont();
    const QFont figureF = figureFont();
    const QFontMetrics idMetrics(idF);
    const int width = viewport()->width();
    const int dataLeft = sidePadding + idWidth + cellSpacing;
    const int countLeft = width - sidePadding - countWidth;
    const int rateLeft = countLeft - cellSpacing - rateWidth;

    auto [it, y] = firstInView();
    for (; it != rows.end() && y < viewport()->height(); ++it, y += height) {
        const FrameRowCells cells = frameRowCells(it->second, accent);
        const QRect line(0, y + verticalPadding, width, height - 1 - 2 * verticalPadding);
        painter.setFont(idF);
        painter.setPen(cells.idColour);
        painter.drawText(QRect(sidePadding, line.top(), idWidth, line.height()), Qt::AlignLeft | Qt::AlignVCenter,
                         cells.id);
        int x = dataLeft;
        for (const FrameRowCells::Byte& byte : cells.bytes) {
            const int w = idMetrics.horizontalAdvance(byte.text);
            if (x + w > rateLeft - cellSpacing) break; // more bytes than room: the rest is clipped
            painter.setPen(byte.colour);
            painter.drawText(QRect(x, line.top(), w, line.height()), Qt::AlignLeft | Qt::AlignVCenter, byte.text);
            x += w + byteSpacing;
        }
        painter.setFont(figureF);
        painter.setPen(VEQ::textSecondary());
        painter.drawText(QRect(rateLeft, line.top(), rateWidth, line.height()), Qt::AlignRight | Qt::AlignVCenter,
                         cells.rate);
        painter.drawText(QRect(countLeft, line.top(), countWidth, line.height()), Qt::AlignRight | Qt::AlignVCenter,
                         cells.count);
        painter.fillRect(QRect(0, y + height - 1, width, 1), divider);
    }
}

} // namespace veq
