#pragma once

#include "VEQUI/Views/Report/ReportContent.hpp"

#include <QWidget>

#include <vector>

class QVBoxLayout;

namespace veq {

// The report's trouble codes, one row each: the code; its French title over its system and
// subsystem; its severity after a dot in the severity's colour; its likely causes. Every text
// wraps rather than being cut.
class ReportCodeList : public QWidget {
public:
    explicit ReportCodeList(QWidget* parent = nullptr);

    void setRows(std::vector<ReportCode> rows);
    const std::vector<ReportCode>& rows() const { return rows_; }

private:
    QWidget* makeRow(const ReportCode& code) const;

    QVBoxLayout* column_;
    std::vector<ReportCode> rows_;
};

} // namespace veq
