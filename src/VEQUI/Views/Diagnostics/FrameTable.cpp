#include "VEQUI/Views/Diagnostics/FrameTable.hpp"

#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Kit/VEQStyle.hpp"

#include <QPainter>
#include <QScrollBar>

#include <fmt/format.h>

#include <algorithm>
#include <iterator>

namespace veq {

namespace {

QFont idFont() { return VEQ::numeric(13, QFont::DemiBold); }
QFont figureFont() { return VEQ::numeric(11, QFont::DemiBold); }
QString ellipsis() { return QStringLiteral("\u2026"); }
int rowHeightFor(const QFontMetrics& idMetrics) { return idMetrics.height() + 2 * FrameTable::verticalPadding + 1; }

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

int FrameTable::rowHeight() const { return rowHeightFor(QFontMetrics(idFont())); }

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

struct FrameTable::Layout {
    QFont idFont;
    QFont figureFont;
    QFontMetrics idMetrics;
    int rowHeight;
    int dataLeft;
    int dataRight;
    int rateLeft;
    int countLeft;
    int ellipsisWidth;
};

FrameTable::Layout FrameTable::layout() const {
    const QFont idF = idFont();
    const QFontMetrics idMetrics(idF);
    const int countLeft = viewport()->width() - sidePadding - countWidth;
    const int rateLeft = countLeft - cellSpacing - rateWidth;
    return {idF,
            figureFont(),
            idMetrics,
            rowHeightFor(idMetrics),
            sidePadding + idWidth + cellSpacing,
            rateLeft - cellSpacing,
            rateLeft,
            countLeft,
            idMetrics.horizontalAdvance(ellipsis())};
}

std::vector<RowText> FrameTable::rowTexts(const FrameRowCells& cells, int top) const {
    std::vector<RowText> texts;
    rowTexts(layout(), cells, top, texts);
    return texts;
}

void FrameTable::rowTexts(const Layout& layout, const FrameRowCells& cells, int top,
                          std::vector<RowText>& texts) const {
    const int lineTop = top + verticalPadding;
    const int lineHeight = layout.rowHeight - 1 - 2 * verticalPadding;
    const auto at = [&](int left, int w) { return QRect(left, lineTop, w, lineHeight); };
    const Qt::Alignment leading = Qt::AlignLeft | Qt::AlignVCenter;
    const Qt::Alignment trailing = Qt::AlignRight | Qt::AlignVCenter;

    texts.clear();
    texts.push_back({at(sidePadding, idWidth), cells.id, layout.idFont, cells.idColour, leading});
    // Every byte is laid out first, each measured once; a row that overflows is cut afterwards.
    const std::size_t firstByte = texts.size();
    int x = layout.dataLeft;
    for (const FrameRowCells::Byte& byte : cells.bytes) {
        const int w = layout.idMetrics.horizontalAdvance(byte.text);
        texts.push_back({at(x, w), byte.text, layout.idFont, byte.colour, leading});
        x += w + byteSpacing;
    }
    if (x - byteSpacing > layout.dataRight) {
        // A cut row keeps room for the ellipsis after its last byte: the first byte without that
        // room and all after it go.
        const auto cut = std::find_if(texts.begin() + static_cast<std::ptrdiff_t>(firstByte), texts.end(),
                                      [&](const RowText& text) {
                                          return text.rect.left() + text.rect.width() + byteSpacing +
                                                     layout.ellipsisWidth > layout.dataRight;
                                      });
        const int ellipsisLeft = cut == texts.end() ? layout.dataLeft : cut->rect.left();
        texts.erase(cut, texts.end());
        texts.push_back(
            {at(ellipsisLeft, layout.ellipsisWidth), ellipsis(), layout.idFont, VEQ::textSecondary(), leading});
    }
    texts.push_back({at(layout.rateLeft, rateWidth), cells.rate, layout.figureFont, VEQ::textSecondary(), trailing});
    texts.push_back({at(layout.countLeft, countWidth), cells.count, layout.figureFont, VEQ::textSecondary(), trailing});
}

void FrameTable::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    painter.setRenderHint(QPainter::TextAntialiasing);
    const auto& rows = rows_();
    const Layout rowLayout = layout();
    const QColor accent = accent_();
    QColor divider = VEQ::stroke();
    divider.setAlphaF(0.4f);
    const int width = viewport()->width();

    std::vector<RowText> texts;
    auto [it, y] = firstInView();
    for (; it != rows.end() && y < viewport()->height(); ++it, y += rowLayout.rowHeight) {
        rowTexts(rowLayout, frameRowCells(it->second, accent), y, texts);
        for (const RowText& text : texts) {
            painter.setFont(text.font);
            painter.setPen(text.colour);
            painter.drawText(text.rect, static_cast<int>(text.alignment), text.text);
        }
        painter.fillRect(QRect(0, y + rowLayout.rowHeight - 1, width, 1), divider);
    }
}

} // namespace veq
