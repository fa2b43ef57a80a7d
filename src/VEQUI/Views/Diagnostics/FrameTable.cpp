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

std::vector<RowText> FrameTable::rowTexts(const FrameRowCells& cells, int top) const {
    const QFont idF = idFont();
    const QFont figureF = figureFont();
    const QFontMetrics idMetrics(idF);
    const int width = viewport()->width();
    const int dataLeft = sidePadding + idWidth + cellSpacing;
    const int countLeft = width - sidePadding - countWidth;
    const int rateLeft = countLeft - cellSpacing - rateWidth;
    const int dataRight = rateLeft - cellSpacing;
    const int lineTop = top + verticalPadding;
    const int lineHeight = rowHeight() - 1 - 2 * verticalPadding;
    const auto at = [&](int left, int w) { return QRect(left, lineTop, w, lineHeight); };
    const Qt::Alignment leading = Qt::AlignLeft | Qt::AlignVCenter;
    const Qt::Alignment trailing = Qt::AlignRight | Qt::AlignVCenter;

    std::vector<RowText> texts;
    texts.push_back({at(sidePadding, idWidth), cells.id, idF, cells.idColour, leading});
    int bytesWidth = 0; // with a gap after each
    for (const FrameRowCells::Byte& byte : cells.bytes) {
        bytesWidth += idMetrics.horizontalAdvance(byte.text) + byteSpacing;
    }
    const bool allFit = dataLeft + bytesWidth - byteSpacing <= dataRight;
    const QString ellipsis = QStringLiteral("\u2026");
    const int ellipsisWidth = idMetrics.horizontalAdvance(ellipsis);
    int x = dataLeft;
    for (const FrameRowCells::Byte& byte : cells.bytes) {
        const int w = idMetrics.horizontalAdvance(byte.text);
        // A cut row keeps room for the ellipsis after its last byte.
        if (!allFit && x + w + byteSpacing + ellipsisWidth > dataRight) break;
        texts.push_back({at(x, w), byte.text, idF, byte.colour, leading});
        x += w + byteSpacing;
    }
    if (!allFit) texts.push_back({at(x, ellipsisWidth), ellipsis, idF, VEQ::textSecondary(), leading});
    texts.push_back({at(rateLeft, rateWidth), cells.rate, figureF, VEQ::textSecondary(), trailing});
    texts.push_back({at(countLeft, countWidth), cells.count, figureF, VEQ::textSecondary(), trailing});
    return texts;
}

void FrameTable::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    painter.setRenderHint(QPainter::TextAntialiasing);
    const auto& rows = rows_();
    const int height = rowHeight();
    const QColor accent = accent_();
    QColor divider = VEQ::stroke();
    divider.setAlphaF(0.4f);
    const int width = viewport()->width();

    auto [it, y] = firstInView();
    for (; it != rows.end() && y < viewport()->height(); ++it, y += height) {
        for (const RowText& text : rowTexts(frameRowCells(it->second, accent), y)) {
            painter.setFont(text.font);
            painter.setPen(text.colour);
            painter.drawText(text.rect, static_cast<int>(text.alignment), text.text);
        }
        painter.fillRect(QRect(0, y + height - 1, width, 1), divider);
    }
}

} // namespace veq
