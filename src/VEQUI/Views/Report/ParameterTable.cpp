#include "VEQUI/Views/Report/ParameterTable.hpp"

#include "VEQProtocol/PIDCatalog.hpp"
#include "VEQUI/Model/DisplayUnits.hpp"
#include "VEQUI/Model/TelemetryStore.hpp"
#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Gauges/GaugeReadout.hpp"
#include "VEQUI/Views/Recording/TableCells.hpp"

#include <QPaintEvent>
#include <QPainter>

#include <fmt/format.h>

#include <algorithm>

namespace veq {

namespace {

// The fixed columns after the name, left to right: unit, the four values, samples.
constexpr std::array<int, 6> fixedWidths{64, 78, 78, 78, 78, 116};
constexpr int nameMinimum = 160;

using TableCells::figureFont;
using TableCells::nameFont;

// fmt keeps the sign of a negative value that rounds to zero; the table says "0.0" for it. The
// instruments' readouts keep their own formatting.
QString tableFigure(QString text) {
    if (text == QStringLiteral("-0.0")) return QStringLiteral("0.0");
    return text;
}

} // namespace

std::vector<ParameterRow> ParameterRow::of(const TelemetryStore& store, UnitSystem system) {
    std::vector<ParameterRow> rows;
    rows.reserve(store.stats().size());
    for (const auto& [pid, stats] : store.stats()) {
        const PIDDefinition* definition = PIDCatalog::definition(pid);
        const auto value = [&](double v) { return tableFigure(GaugeReadout::statisticText(v, definition, system)); };
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
    return {TableCells::minimumWidth(nameMinimum, fixedWidths), rowHeight * static_cast<int>(rows_.size() + 1)};
}

QSize ParameterTable::minimumSizeHint() const { return sizeHint(); }

void ParameterTable::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const double width = this->width();
    TableCells::drawHeader(painter, columnTitles(), TableCells::columns(width, 0, rowHeight, nameMinimum, fixedWidths));

    // Only the rows that the exposed region reaches.
    const int first = std::max(0, event->rect().top() / rowHeight - 1);
    const int last = std::min(static_cast<int>(rows_.size()), event->rect().bottom() / rowHeight + 1);
    for (int r = first; r < last; ++r) {
        const ParameterRow& row = rows_[static_cast<std::size_t>(r)];
        const double top = rowHeight * (r + 1);
        const auto cells = TableCells::columns(width, top, rowHeight, nameMinimum, fixedWidths);
        TableCells::draw(painter, nameFont(), VEQ::textPrimary(), row.name, cells[0], Qt::AlignLeft);
        TableCells::draw(painter, nameFont(), VEQ::textSecondary(), row.unit, cells[1], Qt::AlignRight);
        for (std::size_t v = 0; v < row.values.size(); ++v) {
            TableCells::draw(painter, figureFont(), v == 0 ? VEQ::textPrimary() : VEQ::textSecondary(), row.values[v],
                     cells[v + 2], Qt::AlignRight);
        }
        TableCells::draw(painter, figureFont(), VEQ::textSecondary(), row.samples, cells[6], Qt::AlignRight);
        if (r + 1 < static_cast<int>(rows_.size())) {
            QColor line = VEQ::stroke();
            line.setAlphaF(0.5f);
            painter.fillRect(QRectF(0, top + rowHeight - 1, width, 1), line);
        }
    }
}

} // namespace veq
