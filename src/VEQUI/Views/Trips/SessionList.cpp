#include "VEQUI/Views/Trips/SessionList.hpp"

#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Kit/CapsuleTag.hpp"
#include "VEQUI/Views/Kit/DateTexts.hpp"
#include "VEQUI/Views/Kit/PaintText.hpp"
#include "VEQUI/Views/Kit/VEQStyle.hpp"
#include "VEQUI/Views/Recording/TripFigures.hpp"

#include <QFontMetricsF>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>

#include <algorithm>

namespace veq {

namespace {

constexpr int sidePadding = 12;
constexpr int markGap = 8;
constexpr int pitch = SessionList::rowHeight + SessionList::rowGap;

QFont dateFont() { return VEQ::label(13, QFont::DemiBold); }
QFont vehicleFont() { return VEQ::label(12, QFont::Medium); }
QFont figuresFont() { return VEQ::numeric(11, QFont::Medium); }

QColor markColour(const SessionRow& row, bool busy, const QColor& accent) {
    if (busy) return accent;
    if (row.live) return VEQ::confirm();
    return VEQ::warning();
}

void drawLine(QPainter& painter, const QFont& font, const QColor& colour, const QString& text, const QRectF& room) {
    PaintText::drawFitted(painter, font, colour, text, room, Qt::AlignLeft);
}

} // namespace

SessionRowTexts SessionRowTexts::of(const SessionRow& row, bool busy) {
    SessionRowTexts texts;
    texts.date = DateTexts::listDate(row.record.startDate, false);
    texts.vehicle = TripFigures::vehicleOf(row.record);
    // The live drive's record is filled in only at disconnection: its figures are the trip's.
    if (row.live) {
        texts.figures = QStringLiteral("Enregistrement en cours : ses chiffres sont ceux du trajet en cours.");
        texts.details = QStringLiteral("Sa fiche est complétée à la déconnexion.");
    } else {
        texts.figures = TripFigures::summaryOf(row.record);
        texts.details = row.endedByLoss
                            ? QStringLiteral("Interrompu par la perte de liaison avec l'adaptateur.")
                            : TripFigures::detailsOf(row.record);
    }
    if (busy) texts.mark = QStringLiteral("Export…");
    else if (row.live) texts.mark = QStringLiteral("En cours");
    else if (row.endedByLoss) texts.mark = QStringLiteral("Liaison perdue");
    else if (row.fileMissing) texts.mark = QStringLiteral("Fichier introuvable");
    return texts;
}

SessionList::SessionList(QWidget* parent) : QAbstractScrollArea(parent), accent_(VEQ::accent()) {
    setObjectName(QStringLiteral("sessionList"));
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setAutoFillBackground(false);
    viewport()->setCursor(Qt::PointingHandCursor);
    verticalScrollBar()->setSingleStep(pitch / 3);
}

void SessionList::setRows(std::vector<SessionRow> rows) {
    std::optional<SessionRecord> kept;
    if (const SessionRow* row = selectedRow()) kept = row->record;
    rows_ = std::move(rows);
    texts_.assign(rows_.size(), std::nullopt);
    selected_.reset();
    if (kept) {
        const auto it = std::find_if(rows_.begin(), rows_.end(), [&](const SessionRow& r) { return r.record == *kept; });
        if (it != rows_.end()) selected_ = static_cast<std::size_t>(it - rows_.begin());
    }
    if (!selected_ && !rows_.empty()) selected_ = 0;
    updateRange();
    viewport()->update();
    if (onSelectionChanged) onSelectionChanged();
}

void SessionList::setAccent(const QColor& accent) {
    if (accent == accent_) return;
    accent_ = accent;
    viewport()->update();
}

void SessionList::busyChanged() {
    // The marks are in the texts: they are made again as the rows are painted.
    texts_.assign(rows_.size(), std::nullopt);
    viewport()->update();
}

bool SessionList::isBusy(const SessionRow& row) const { return busyTest && busyTest(row.record); }

const SessionRowTexts& SessionList::textsOf(std::size_t index) const {
    std::optional<SessionRowTexts>& texts = texts_.at(index);
    if (!texts) texts = SessionRowTexts::of(rows_[index], isBusy(rows_[index]));
    return *texts;
}

const SessionRow* SessionList::selectedRow() const { return selected_ ? &rows_[*selected_] : nullptr; }

void SessionList::select(std::size_t index) {
    if (index >= rows_.size() || selected_ == index) return;
    if (selected_) viewport()->update(rowRect(*selected_));
    selected_ = index;
    viewport()->update(rowRect(index));
    ensureVisible(index);
    if (onSelectionChanged) onSelectionChanged();
}

std::vector<std::size_t> SessionList::rowsInView() const {
    std::vector<std::size_t> shown;
    const int offset = verticalScrollBar()->value();
    const int first = offset / pitch;
    const int last = (offset + viewport()->height()) / pitch;
    for (int i = std::max(0, first); i <= last && i < static_cast<int>(rows_.size()); ++i) {
        if (rowRect(static_cast<std::size_t>(i)).intersects(viewport()->rect())) shown.push_back(static_cast<std::size_t>(i));
    }
    return shown;
}

QRect SessionList::rowRect(std::size_t index) const {
    const int top = static_cast<int>(index) * pitch - verticalScrollBar()->value();
    return {0, top, viewport()->width(), rowHeight};
}

QSize SessionList::sizeHint() const { return {420, pitch * 4}; }

QSize SessionList::minimumSizeHint() const { return {280, pitch * 2}; }

void SessionList::updateRange() {
    const int content = static_cast<int>(rows_.size()) * pitch - rowGap;
    verticalScrollBar()->setPageStep(viewport()->height());
    verticalScrollBar()->setRange(0, std::max(0, content - viewport()->height()));
}

void SessionList::ensureVisible(std::size_t index) {
    const QRect row = rowRect(index);
    QScrollBar* bar = verticalScrollBar();
    if (row.top() < 0) bar->setValue(bar->value() + row.top());
    else if (row.bottom() > viewport()->height()) bar->setValue(bar->value() + row.bottom() - viewport()->height() + 1);
}

void SessionList::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    updateRange();
}

void SessionList::scrollContentsBy(int, int) { viewport()->update(); }

void SessionList::mousePressEvent(QMouseEvent* event) {
    const int y = event->position().toPoint().y() + verticalScrollBar()->value();
    if (y < 0 || y % pitch >= rowHeight) return;
    const auto index = static_cast<std::size_t>(y / pitch);
    if (index < rows_.size()) select(index);
}

void SessionList::keyPressEvent(QKeyEvent* event) {
    if (rows_.empty()) return QAbstractScrollArea::keyPressEvent(event);
    const std::size_t current = selected_.value_or(0);
    switch (event->key()) {
    case Qt::Key_Down: select(std::min(current + 1, rows_.size() - 1)); break;
    case Qt::Key_Up: select(current == 0 ? 0 : current - 1); break;
    case Qt::Key_Home: select(0); break;
    case Qt::Key_End: select(rows_.size() - 1); break;
    default: QAbstractScrollArea::keyPressEvent(event);
    }
}

void SessionList::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    painter.setRenderHint(QPainter::Antialiasing);
    for (const std::size_t i : rowsInView()) {
        paintRow(painter, rows_[i], textsOf(i), rowRect(i), selected_ == i);
        ++paintedRows_;
    }
}

void SessionList::paintRow(QPainter& painter, const SessionRow& row, const SessionRowTexts& texts, const QRect& area,
                           bool selected) const {
    const QRectF card = QRectF(area).adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath shape;
    shape.addRoundedRect(card, 10, 10);
    painter.fillPath(shape, selected ? VEQ::surface2() : VEQ::surface1());
    painter.setPen(QPen(selected ? accent_ : VEQ::stroke(), selected ? 1.5 : 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(shape);

    const QRectF inner = QRectF(area).adjusted(sidePadding, 8, -sidePadding, -8);
    const double third = inner.height() / 3;
    double right = inner.right();
    if (!texts.mark.isEmpty()) {
        const CapsuleTag mark{texts.mark, markColour(row, isBusy(row), accent_), 9};
        const QSizeF size = mark.sizeHint();
        mark.paint(painter, QRectF(inner.right() - size.width(), inner.top(), size.width(), third));
        right -= size.width() + markGap;
    }
    const double dateWidth = QFontMetricsF(dateFont()).horizontalAdvance(texts.date);
    const double dateRoom = std::min(dateWidth, right - inner.left());
    drawLine(painter, dateFont(), VEQ::textPrimary(), texts.date, QRectF(inner.left(), inner.top(), dateRoom, third));
    const double vehicleLeft = inner.left() + dateRoom + 10;
    drawLine(painter, vehicleFont(), VEQ::textSecondary(), texts.vehicle,
             QRectF(vehicleLeft, inner.top(), right - vehicleLeft, third));
    const QColor figures = row.fileMissing && !row.live ? VEQ::warning() : VEQ::textSecondary();
    drawLine(painter, figuresFont(), figures, texts.figures, QRectF(inner.left(), inner.top() + third, inner.width(), third));
    drawLine(painter, figuresFont(), figures, texts.details,
             QRectF(inner.left(), inner.top() + 2 * third, inner.width(), third));
}

} // namespace veq
