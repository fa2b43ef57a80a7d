#include "VEQUI/Views/Report/ReportECUTable.hpp"

#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Recording/TableCells.hpp"

#include <QPainter>

#include <array>

namespace veq {

namespace {

// The columns' titles, left to right.
constexpr std::array<const char*, 5> titles{"Calculateur", "Adresse", "Référence", "Logiciel", "Défauts"};
// The fixed columns after the name: address, part number, software version, codes.
constexpr std::array<int, 4> fixedWidths{78, 150, 130, 74};
constexpr int nameMinimum = 160;

} // namespace

ReportECUTable::ReportECUTable(QWidget* parent)
    : PaintedRows({titles, nameMinimum, fixedWidths}, QStringLiteral("reportECUTable"), parent) {}

void ReportECUTable::paintRow(QPainter& painter, const ReportECU& ecu, const std::vector<QRectF>& cells) const {
    TableCells::draw(painter, TableCells::nameFont(), VEQ::textPrimary(), ecu.name, cells[0], Qt::AlignLeft);
    TableCells::draw(painter, TableCells::figureFont(), VEQ::textSecondary(), ecu.address, cells[1], Qt::AlignRight);
    TableCells::draw(painter, TableCells::figureFont(), VEQ::textSecondary(), ecu.partNumber, cells[2], Qt::AlignRight);
    TableCells::draw(painter, TableCells::figureFont(), VEQ::textSecondary(), ecu.softwareVersion, cells[3],
                     Qt::AlignRight);
    const QColor countColour = !ecu.codeCount    ? VEQ::warning()
                               : *ecu.codeCount > 0 ? VEQ::critical()
                                                    : VEQ::textSecondary();
    TableCells::draw(painter, TableCells::figureFont(), countColour, Report::codeCountText(ecu), cells[4], Qt::AlignRight);
}

} // namespace veq
