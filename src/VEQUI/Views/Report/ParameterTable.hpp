#pragma once

#include "VEQProtocol/MeasurementUnit.hpp"

#include <QString>
#include <QStringList>
#include <QWidget>

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

// The report's table of parameters: a header row, then one row per parameter, painted in one
// widget as tall as its rows (the screen scrolls it); only the rows in view are painted.
class ParameterTable : public QWidget {
public:
    static constexpr int rowHeight = 26;
    // "Paramètre", "Unité", "Actuelle", "Min", "Moyenne", "Max", "Échantillons".
    static const QStringList& columnTitles();

    explicit ParameterTable(QWidget* parent = nullptr);

    void setRows(std::vector<ParameterRow> rows);
    const std::vector<ParameterRow>& rows() const { return rows_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::vector<ParameterRow> rows_;
};

} // namespace veq
