#include "VEQUI/Views/Report/ReportECUTable.hpp"

#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Recording/TableCells.hpp"

#include <QPainter>

#include <array>

namespace veq {

namespace {

// The fixed columns after the name: address, part number, software version, codes.
constexpr std::array<int, 4> fixedWidths{78, 150, 130, 74};
constexpr int nameMinimum = 160;

} // namespace

const QStringList& ReportECUTable::columnTitles() {
    static const QStringList titles{QStringLiteral("Calculateur"), QStringLiteral("Adresse"),
                                    QStringLiteral("Référence"), QStringLiteral("Logiciel"),
                                    QStringLiteral("Défauts")};
    return titles;
}

ReportECUTable::ReportECUTable(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("reportECUTable"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void ReportECUTable::setRows(std::vector<ReportECU> rows) {
    if (rows == rows_) return;
    const bool resized = rows.size() != rows_.size();
    rows_ = std::move(rows);
    if (resized) updateGeometry();
    update();
}

QSize ReportECUTable::sizeHint() const {
    return {TableCells::minimumWidth(nameMinimum, fixedWidths), rowHeight * static_cast<int>(rows_.size() + 1)};
}

QSize ReportECUTable::minimumSizeHint() const { return sizeHint(); }

void ReportECUTable::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const double width = this->width();
    TableCells::drawHeader(painter, columnTitles(), TableCells::columns(width, 0, rowHeight, nameMinimum, fixedWidths));
    for (std::size_t r = 0; r < rows_.size(); ++r) {
        const ReportECU& ecu = rows_[r];
        const double top = rowHeight * static_cast<double>(r + 1);
        const auto cells = TableCells::columns(width, top, rowHeight, nameMinimum, fixedWidths);
        TableCells::draw(painter, TableCells::nameFont(), VEQ::textPrimary(), ecu.name, cells[0], Qt::AlignLeft);
        TableCells::draw(painter, TableCells::figureFont(), VEQ::textSecondary(), ecu.address, cells[1], Qt::AlignRight);
        TableCells::draw(painter, TableCells::figureFont(), VEQ::textSecondary(), ecu.partNumber, cells[2], Qt::AlignRight);
        TableCells::draw(painter, TableCells::figureFont(), VEQ::textSecondary(), ecu.softwareVersion, cells[3],
                         Qt::AlignRight);
        TableCells::draw(painter, TableCells::figureFont(), ecu.codeCount > 0 ? VEQ::critical() : VEQ::textSecondary(),
                         QString::number(ecu.codeCount), cells[4], Qt::AlignRight);
        if (r + 1 < rows_.size()) {
            QColor line = VEQ::stroke();
            line.setAlphaF(0.5f);
            painter.fillRect(QRectF(0, top + rowHeight - 1, width, 1), line);
        }
    }
}

} // namespace veq
