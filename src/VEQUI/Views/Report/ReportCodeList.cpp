#include "VEQUI/Views/Report/ReportCodeList.hpp"

#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Kit/Divider.hpp"
#include "VEQUI/Views/Kit/Dot.hpp"
#include "VEQUI/Views/Kit/FlowingText.hpp"
#include "VEQUI/Views/Kit/Labels.hpp"
#include "VEQUI/Views/Kit/VEQStyle.hpp"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace veq {

namespace {

constexpr int codeWidth = 64;
constexpr int severityWidth = 92;
constexpr int spacing = 14;

} // namespace

ReportCodeList::ReportCodeList(QWidget* parent) : QWidget(parent), column_(new QVBoxLayout(this)) {
    setObjectName(QStringLiteral("reportCodes"));
    column_->setContentsMargins(0, 0, 0, 0);
    column_->setSpacing(8);
}

void ReportCodeList::setRows(std::vector<ReportCode> rows) {
    if (rows == rows_) return;
    rows_ = std::move(rows);
    while (QLayoutItem* item = column_->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        if (i > 0) column_->addWidget(new Divider(Qt::Horizontal));
        column_->addWidget(makeRow(rows_[i]));
    }
}

QWidget* ReportCodeList::makeRow(const ReportCode& code) const {
    auto* row = new QWidget;
    row->setObjectName(QStringLiteral("reportCodeRow"));
    auto* line = new QHBoxLayout(row);
    line->setContentsMargins(0, 0, 0, 0);
    line->setSpacing(spacing);

    auto* codeLabel = makeLabel(code.code, VEQ::numeric(13, QFont::Bold), VEQ::textPrimary(), QStringLiteral("reportCode"));
    codeLabel->setFixedWidth(codeWidth);
    line->addWidget(codeLabel, 0, Qt::AlignTop);

    auto* described = new QVBoxLayout;
    described->setSpacing(2);
    described->addWidget(makeFlowingLabel(code.title, VEQ::label(12, QFont::DemiBold), VEQ::textPrimary(),
                                          QStringLiteral("reportCodeTitle")));
    described->addWidget(makeFlowingLabel(code.system + QStringLiteral(" · ") + code.subsystem,
                                          VEQ::label(11, QFont::Medium), VEQ::textSecondary(),
                                          QStringLiteral("reportCodeSystem")));
    line->addLayout(described, 4);

    auto* severity = new QWidget;
    severity->setFixedWidth(severityWidth);
    auto* severityLine = new QHBoxLayout(severity);
    severityLine->setContentsMargins(0, 0, 0, 0);
    severityLine->setSpacing(5);
    auto* dot = new DotView(Dot{8, code.severityColor});
    dot->setObjectName(QStringLiteral("reportSeverityDot"));
    dot->setFixedSize(8, 8);
    severityLine->addWidget(dot, 0, Qt::AlignVCenter);
    severityLine->addWidget(makeLabel(code.severity, VEQ::label(11, QFont::DemiBold), code.severityColor,
                                      QStringLiteral("reportSeverity")));
    severityLine->addStretch(1);
    line->addWidget(severity, 0, Qt::AlignTop);

    line->addWidget(makeFlowingLabel(Report::causeLines(code.causes).join(QLatin1Char('\n')),
                                     VEQ::label(11, QFont::Medium), VEQ::textSecondary(),
                                     QStringLiteral("reportCauses")),
                    5);
    return row;
}

} // namespace veq
