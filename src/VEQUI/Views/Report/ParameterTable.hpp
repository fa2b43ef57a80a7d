#pragma once

#include "VEQProtocol/MeasurementUnit.hpp"
#include "VEQUI/Views/Recording/PaintedTable.hpp"

#include <QString>

#include <array>
#include <vector>

namespace veq {

class TelemetryStore;

// One parameter of the report: its name and unit, its current, minimum, mean and maximum values
// in the unit shown, and the number of samples behind them.
struct ParameterRow {
    QString name;
    QString unit;
    std::array<QString, 4> values; // current, minimum, mean, maximum
    QString samples;

    // Every parameter the store has statistics for, ascending by number.
    static std::vector<ParameterRow> of(const TelemetryStore& store, UnitSystem system);

    bool operator==(const ParameterRow&) const = default;
};

// The report's table of parameters: a header row, then one row per parameter.
class ParameterTable : public PaintedRows<ParameterRow> {
public:
    explicit ParameterTable(QWidget* parent = nullptr);

protected:
    void paintRow(QPainter& painter, const ParameterRow& row, const std::vector<QRectF>& cells) const override;
};

} // namespace veq
