#pragma once

#include "VEQUI/Views/Report/ReportContent.hpp"

#include <QStringList>
#include <QWidget>

#include <vector>

namespace veq {

// The report's ECUs that answered the scan: a header row, then one painted row per ECU with its
// name, request header, part number, software version and trouble-code count.
class ReportECUTable : public QWidget {
public:
    static constexpr int rowHeight = 26;
    // "Calculateur", "Adresse", "Référence", "Logiciel", "Défauts".
    static const QStringList& columnTitles();

    explicit ReportECUTable(QWidget* parent = nullptr);

    void setRows(std::vector<ReportECU> rows);
    const std::vector<ReportECU>& rows() const { return rows_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::vector<ReportECU> rows_;
};

} // namespace veq
