#include "VEQUI/Views/Capture/CaptureChannelList.hpp"

#include "VEQProtocol/ChannelRegistry.hpp"
#include "VEQStore/Export/HTMLExporter.hpp"
#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Kit/CapsuleTag.hpp"
#include "VEQUI/Views/Kit/DateTexts.hpp"
#include "VEQUI/Views/Recording/TableCells.hpp"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QPaintEvent>
#include <QPainter>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <cmath>

namespace veq {

namespace {

constexpr int rowHeight = 32;
constexpr int headerHeight = 22;
constexpr int nameMinimum = 170;
// Value, events, last arrival, switch.
constexpr std::array<int, 4> fixedWidths{140, 108, 96, 64};
// The GPS channels' colour, as the HTML report draws them.
const QColor gpsColour(0x58, 0xB7, 0xFF);

using TableCells::figureFont;
using TableCells::nameFont;

QString qs(const std::string& text) { return QString::fromStdString(text); }

} // namespace

QString recorderMoment(double seconds, std::optional<std::chrono::system_clock::time_point> origin) {
    if (!origin) return qs(fmt::format("{:.1f} s", seconds));
    // The recorder's times are whole milliseconds: back to the millisecond, since the seconds may
    // fall a hair short of it and a time on a whole second would read the second before.
    return DateTexts::clockTime(*origin + std::chrono::round<std::chrono::milliseconds>(
                                              std::chrono::duration<double>(seconds)));
}

CaptureChannelLine CaptureChannelLine::of(const EventRecorder::ChannelSummary& summary, std::optional<Date> origin) {
    CaptureChannelLine line;
    line.channel = summary.channel;
    line.name = qs(summary.name);
    line.gps = summary.isGPS;
    line.value = qs(HTMLExporter::number(summary.lastValue));
    if (const std::string unit = ChannelRegistry::unit(summary.channel, UnitSystem::metric); !unit.empty()) {
        line.value += QLatin1Char(' ') + qs(unit);
    }
    line.events = QString::number(summary.count);
    line.lastArrival = recorderMoment(summary.lastSeconds, origin);
    return line;
}

CaptureChannelRow::CaptureChannelRow(CaptureChannelLine line, const QColor& accent, QWidget* parent)
    : QWidget(parent), line_(std::move(line)), keep_(new QCheckBox(this)) {
    setObjectName(QStringLiteral("captureChannel"));
    keep_->setObjectName(QStringLiteral("keepChannel.%1").arg(line_.channel));
    keep_->setToolTip(QStringLiteral("Garder ce canal dans les logs enregistrés"));
    keep_->setChecked(true);
    keep_->setCursor(Qt::PointingHandCursor);
    setAccent(accent);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, (fixedWidths.back() - keep_->sizeHint().width()) / 2, 0);
    row->addStretch(1);
    row->addWidget(keep_, 0, Qt::AlignVCenter);
    setFixedHeight(rowHeight);
}

void CaptureChannelRow::set(CaptureChannelLine line) {
    if (line == line_) return;
    // Every second the figures change, seldom the name: only the cells that changed repaint.
    const bool whole = line.name != line_.name || line.gps != line_.gps;
    const auto cells = TableCells::columns(width(), 0, height(), nameMinimum, fixedWidths);
    const std::array<bool, 3> changed{line.value != line_.value, line.events != line_.events,
                                      line.lastArrival != line_.lastArrival};
    line_ = std::move(line);
    if (whole) {
        update();
        return;
    }
    for (std::size_t i = 0; i < changed.size(); ++i) {
        if (changed[i]) update(cells[i + 1].toAlignedRect());
    }
}

void CaptureChannelRow::setAccent(const QColor& accent) {
    QPalette palette = keep_->palette();
    palette.setColor(QPalette::Text, accent);
    palette.setColor(QPalette::Highlight, accent);
    keep_->setPalette(palette);
}

QSize CaptureChannelRow::sizeHint() const { return {TableCells::minimumWidth(nameMinimum, fixedWidths), rowHeight}; }

void CaptureChannelRow::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const auto cells = TableCells::columns(width(), 0, height(), nameMinimum, fixedWidths);
    // A refresh repaints only the cells whose figures changed.
    const auto dirty = [&](std::size_t i) { return cells[i].intersects(QRectF(event->rect())); };
    if (dirty(0) && line_.gps) {
        const CapsuleTag mark{QStringLiteral("GPS"), gpsColour};
        const QSizeF markSize = mark.sizeHint();
        const QRectF nameCell = cells[0].adjusted(0, 0, -markSize.width() - 6, 0);
        const double nameEnd = TableCells::draw(painter, nameFont(), VEQ::textPrimary(), line_.name, nameCell, Qt::AlignLeft);
        mark.paint(painter, QRectF(QPointF(nameEnd + 6, (height() - markSize.height()) / 2), markSize));
    } else if (dirty(0)) {
        TableCells::draw(painter, nameFont(), VEQ::textPrimary(), line_.name, cells[0], Qt::AlignLeft);
    }
    const std::array<std::pair<const QString*, QColor>, 3> figures{{{&line_.value, VEQ::textPrimary()},
                                                                     {&line_.events, VEQ::textSecondary()},
                                                                     {&line_.lastArrival, VEQ::textSecondary()}}};
    for (std::size_t i = 0; i < figures.size(); ++i) {
        if (dirty(i + 1)) TableCells::draw(painter, figureFont(), figures[i].second, *figures[i].first, cells[i + 1], Qt::AlignRight);
    }
    TableCells::drawRowLine(painter, height(), width());
}

CaptureChannelHeader::CaptureChannelHeader(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("captureChannelHeader"));
    setFixedHeight(headerHeight);
}

QSize CaptureChannelHeader::sizeHint() const {
    return {TableCells::minimumWidth(nameMinimum, fixedWidths), headerHeight};
}

void CaptureChannelHeader::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    static const QStringList titles{QStringLiteral("Canal"), QStringLiteral("Dernière valeur"),
                                    QStringLiteral("Événements"), QStringLiteral("Arrivée"), QStringLiteral("Garder")};
    TableCells::drawHeader(painter, titles, TableCells::columns(width(), 0, height(), nameMinimum, fixedWidths));
}

CaptureChannelList::CaptureChannelList(QWidget* parent)
    : QWidget(parent), rows_(new QVBoxLayout), accent_(VEQ::accent()) {
    setObjectName(QStringLiteral("captureChannels"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(new CaptureChannelHeader);
    rows_->setContentsMargins(0, 0, 0, 0);
    rows_->setSpacing(0);
    column->addLayout(rows_);
}

void CaptureChannelList::show(const std::vector<EventRecorder::ChannelSummary>& summaries, std::optional<Date> origin,
                              const std::set<std::uint8_t>& excluded) {
    std::vector<std::uint8_t> order;
    order.reserve(summaries.size());
    for (const auto& summary : summaries) {
        order.push_back(summary.channel);
        CaptureChannelRow*& row = byChannel_[summary.channel];
        if (!row) {
            row = new CaptureChannelRow(CaptureChannelLine::of(summary, origin), accent_, this);
            const std::uint8_t channel = summary.channel;
            QObject::connect(&row->keepSwitch(), &QCheckBox::toggled, this, [this, channel](bool keep) {
                if (onKeepChanged) onKeepChanged(channel, keep);
            });
        } else {
            row->set(CaptureChannelLine::of(summary, origin));
        }
        const QSignalBlocker quiet(&row->keepSwitch());
        row->keepSwitch().setChecked(!excluded.contains(summary.channel));
    }
    if (order == order_) return;
    // A new channel (or one the recorder no longer holds): the rows are laid out again in order.
    while (QLayoutItem* item = rows_->takeAt(0)) delete item;
    for (auto it = byChannel_.begin(); it != byChannel_.end();) {
        if (std::find(order.begin(), order.end(), it->first) == order.end()) {
            delete it->second;
            it = byChannel_.erase(it);
        } else {
            ++it;
        }
    }
    for (const std::uint8_t channel : order) {
        rows_->addWidget(byChannel_.at(channel));
        byChannel_.at(channel)->show();
    }
    order_ = std::move(order);
}

void CaptureChannelList::setAccent(const QColor& accent) {
    if (accent == accent_) return;
    accent_ = accent;
    for (const auto& [channel, row] : byChannel_) row->setAccent(accent);
}

std::vector<std::uint8_t> CaptureChannelList::channels() const { return order_; }

CaptureChannelRow* CaptureChannelList::row(std::uint8_t channel) const {
    const auto it = byChannel_.find(channel);
    return it == byChannel_.end() ? nullptr : it->second;
}

} // namespace veq
