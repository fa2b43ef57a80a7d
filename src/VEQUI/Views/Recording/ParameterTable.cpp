#include "VEQUI/Views/Recording/ParameterTable.hpp"

#include "VEQProtocol/PIDCatalog.hpp"
#include "VEQUI/Model/DisplayUnits.hpp"
#include "VEQUI/Model/TelemetryStore.hpp"
#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Gauges/GaugeReadout.hpp"
#include "VEQUI/Views/Kit/Labels.hpp"
#include "VEQUI/Views/Kit/VEQStyle.hpp"

#include <QFontMetricsF>
#include <QPaintEvent>
#include <QPainter>

#include <fmt/format.h>

#include <algorithm>

namespace veq {

namespace {

// The fixed columns after the name, left to right: unit, the four values, samples.
constexpr std::array<int, 6> fixedWidths{64, 78, 78, 78, 78, 116};
constexpr int nameMinimum = 160;
constexpr int cellPadding = 8;

QFont headerFont() { return tracked(VEQ::label(9, QFont::DemiBold), 1); }
QFont nameFont() { return VEQ::label(12, QFont::Medium); }
QFont figureFont() { return VEQ::numeric(12, QFont::Medium); }

int fixedTotal() {
    int total = 0;
    for (const int w : fixedWidths) total += w;
    return total;
}

// The left edges and widths of the seven columns for a table `width` wide.
std::array<QRectF, 7> columns(double width, double top, double height) {
    std::array<QRectF, 7> out;
    const double nameWidth = std::max<double>(nameMinimum, width - fixedTotal());
    out[0] = QRectF(0, top, nameWidth, height);
    double left = nameWidth;
    for (std::size_t i = 0; i < fixedWidths.size(); ++i) {
        out[i + 1] = QRectF(left, top, fixedWidths[i], height);
        left += fixedWidths[i];
    }
    return out;
}

void drawCell(QPainter& painter, const QFont& font, const QColor& colour, const QString& text, const QRectF& cell,
              Qt::Alignment alignment) {
    const QRectF room = cell.adjusted(cellPadding, 0, -cellPadding, 0);
    painter.setFont(font);
    painter.setPen(colour);
    painter.drawText(room, alignment | Qt::AlignVCenter,
                     QFontMetricsF(font).elidedText(text, Qt::ElideRight, room.width()));
}

} // namespace

std::vector<ParameterRow> ParameterRow::of(const TelemetryStore& store, UnitSystem system) {
    std::vector<ParameterRow> rows;
    rows.reserve(store.stats().size());
    for (const auto& [pid, stats] : store.stats()) {
        const PIDDefinition* definition = PIDCatalog::definition(pid);
        const auto value = [&](double v) { return GaugeReadout::statisticText(v, definition, system); };
        rows.push_back({definition ? QString::fromStdString(definition->name)
                                   : QString::fromStdString(fmt::format("PID 0x{:02X}", pid)),
                        DisplayUnits::unitSymbol(pid, system),
                        {value(stats.current), value(stats.min), value(stats.average()), value(stats.max)},
                        QString::number(stats.sampleCount)});
    }
    return rows;
}

const QStringList& ParameterTable::columnTitles() {
    static const QStringList titles{QStringLiteral("Paramètre"), QStringLiteral("Unité"),  QStringLiteral("Actuelle"),
                                    QStringLiteral("Min"),       QStringLiteral("Moyenne"), QStringLiteral("Max"),
                                    QStringLiteral("Échantillons")};
    return titles;
}

ParameterTable::ParameterTable(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("parameterTable"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void ParameterTable::setRows(std::vector<ParameterRow> rows) {
    if (rows == rows_) return;
    const bool resized = rows.size() != rows_.size();
    rows_ = std::move(rows);
    if (resized) updateGeometry();
    update();
}

QSize ParameterTable::sizeHint() const {
    return {nameMinimum + fixedTotal(), rowHeight * static_cast<int>(rows_.size() + 1)};
}

QSize ParameterTable::minimumSizeHint() const { return sizeHint(); }

void ParameterTable::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const double width = this->width();
    const auto header = columns(width, 0, rowHeight);
    const QStringList& titles = columnTitles();
    for (std::size_t c = 0; c < header.size(); ++c) {
        drawCell(painter, headerFont(), VEQ::textSecondary(), titles[static_cast<qsizetype>(c)].toUpper(), header[c],
                 c == 0 ? Qt::AlignLeft : Qt::AlignRight);
    }
    painter.fillRect(QRectF(0, rowHeight - 1, width, 1), VEQ::stroke());

    // Only the rows that the exposed region reaches.
    const int first = std::max(0, event->rect().top() / rowHeight - 1);
    const int last = std::min(static_cast<int>(rows_.size()), event->rect().bottom() / rowHeight + 1);
    for (int r = first; r < last; ++r) {
        const ParameterRow& row = rows_[static_cast<std::size_t>(r)];
        const double top = rowHeight * (r + 1);
        const auto cells = columns(width, top, rowHeight);
        drawCell(painter, nameFont(), VEQ::textPrimary(), row.name, cells[0], Qt::AlignLeft);
        drawCell(painter, nameFont(), VEQ::textSecondary(), row.unit, cells[1], Qt::AlignRight);
        for (std::size_t v = 0; v < row.values.size(); ++v) {
            drawCell(painter, figureFont(), v == 0 ? VEQ::textPrimary() : VEQ::textSecondary(), row.values[v],
                     cells[v + 2], Qt::AlignRight);
        }
        drawCell(painter, figureFont(), VEQ::textSecondary(), row.samples, cells[6], Qt::AlignRight);
        if (r + 1 < static_cast<int>(rows_.size())) {
            QColor line = VEQ::stroke();
            line.setAlphaF(0.5f);
            painter.fillRect(QRectF(0, top + rowHeight - 1, width, 1), line);
        }
    }
}

} // namespace veq
