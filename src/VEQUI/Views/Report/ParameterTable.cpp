#include "VEQUI/Views/Report/ParameterTable.hpp"

#include "VEQProtocol/PIDCatalog.hpp"
#include "VEQUI/Model/DisplayUnits.hpp"
#include "VEQUI/Model/TelemetryStore.hpp"
#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Gauges/GaugeReadout.hpp"
#include "VEQUI/Views/Recording/TableCells.hpp"
#include "VEQUI/Views/Report/ReportContent.hpp"

#include <QPainter>

#include <fmt/format.h>

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

ParameterTable::ParameterTable(QWidget* parent)
    : PaintedRows({Report::parameterColumnTitles, nameMinimum, fixedWidths}, QStringLiteral("parameterTable"), parent) {}

void ParameterTable::paintRow(QPainter& painter, const ParameterRow& row, const std::vector<QRectF>& cells) const {
    TableCells::draw(painter, nameFont(), VEQ::textPrimary(), row.name, cells[0], Qt::AlignLeft);
    TableCells::draw(painter, nameFont(), VEQ::textSecondary(), row.unit, cells[1], Qt::AlignRight);
    for (std::size_t v = 0; v < row.values.size(); ++v) {
        TableCells::draw(painter, figureFont(), v == 0 ? VEQ::textPrimary() : VEQ::textSecondary(), row.values[v],
                         cells[v + 2], Qt::AlignRight);
    }
    TableCells::draw(painter, figureFont(), VEQ::textSecondary(), row.samples, cells[6], Qt::AlignRight);
}

} // namespace veq
