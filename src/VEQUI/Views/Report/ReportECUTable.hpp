#pragma once

#include "VEQUI/Views/Recording/PaintedTable.hpp"
#include "VEQUI/Views/Report/ReportContent.hpp"

#include <vector>

namespace veq {

// The report's ECUs that answered the scan: a header row, then one painted row per ECU with its
// name, request header, part number, software version and trouble-code count.
class ReportECUTable : public PaintedRows<ReportECU> {
public:
    explicit ReportECUTable(QWidget* parent = nullptr);

protected:
    void paintRow(QPainter& painter, const ReportECU& ecu, const std::vector<QRectF>& cells) const override;
};

} // namespace veq
