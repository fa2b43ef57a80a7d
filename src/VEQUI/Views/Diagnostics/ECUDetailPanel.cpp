#include "VEQUI/Views/Diagnostics/ECUDetailPanel.hpp"

#include "VEQProtocol/DTCDatabase.hpp"
#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Kit/Divider.hpp"
#include "VEQUI/Views/Kit/Labels.hpp"
#include "VEQUI/Views/Kit/FlowingText.hpp"
#include "VEQUI/Views/Kit/VEQStyle.hpp"

#include <QHBoxLayout>
#include <QVBoxLayout>

#include <optional>
#include <string>

namespace veq {

namespace {

constexpr int padding = 16;
constexpr int codeColumnWidth = 90;

QString qs(const std::string& text) { return QString::fromStdString(text); }
QString orDash(const std::optional<std::string>& text) { return text ? qs(*text) : QStringLiteral("\u2014"); }

// A labelled value: the label in tracked capitals over the value.
QWidget* field(const QString& label, const QString& value, const QString& valueName) {
    auto* box = new QWidget;
    box->setObjectName(valueName + QStringLiteral("Field"));
    auto* stack = new QVBoxLayout(box);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(2);
    stack->addWidget(makeLabel(label.toUpper(), tracked(VEQ::label(9, QFont::Medium), 1), VEQ::textSecondary(),
                               QStringLiteral("fieldLabel")));
    stack->addWidget(makeLabel(value, VEQ::numeric(12, QFont::DemiBold), VEQ::textPrimary(), valueName));
    return box;
}

QLayout* codeRow(const UDSDTC& code) {
    auto* row = new QHBoxLayout;
    row->setSpacing(10);
    auto* id = makeLabel(qs(code.id()), VEQ::numeric(13, QFont::DemiBold), VEQ::textPrimary(), QStringLiteral("udsCode"));
    id->setFixedWidth(codeColumnWidth);
    row->addWidget(id, 0, Qt::AlignVCenter);
    row->addWidget(makeFlowingLabel(qs(DTCDatabase::describe(code.dtc.code).title), VEQ::label(12, QFont::Medium),
                                     VEQ::textSecondary(), QStringLiteral("udsTitle")),
                   1, Qt::AlignVCenter);
    if (code.isConfirmed()) {
        row->addWidget(makeLabel(QStringLiteral("confirm\u00E9"), VEQ::label(10, QFont::Medium), VEQ::critical(),
                                 QStringLiteral("udsConfirmed")),
                       0, Qt::AlignVCenter);
    }
    return row;
}

} // namespace

ECUDetailPanel::ECUDetailPanel(const DiscoveredECU& ecu, const std::optional<std::vector<UDSDTC>>& codes,
                               QWidget* parent)
    : RoundedPanel(12, VEQ::surface2(), parent) {
    setObjectName(QStringLiteral("ecuDetail"));
    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(padding, padding, padding, padding);
    stack->setSpacing(12);
    stack->addWidget(makeLabel(qs(ecu.name), VEQ::label(15, QFont::Bold), VEQ::textPrimary(), QStringLiteral("detailName")));

    auto* fields = new QHBoxLayout;
    fields->setSpacing(24);
    fields->addWidget(field(QStringLiteral("Adresse Tx / Rx"), qs(ecu.txHeader + " / " + ecu.rxHeader),
                            QStringLiteral("addresses")));
    fields->addWidget(field(QStringLiteral("Num\u00E9ro de pi\u00E8ce"), orDash(ecu.partNumber), QStringLiteral("partNumber")));
    fields->addWidget(
        field(QStringLiteral("Version logicielle"), orDash(ecu.softwareVersion), QStringLiteral("softwareVersion")));
    fields->addStretch(1);
    stack->addLayout(fields);

    stack->addWidget(new Divider(Qt::Horizontal));
    stack->addWidget(makeLabel(QStringLiteral("Codes d\u00E9faut UDS (service 0x19)"), VEQ::label(12, QFont::DemiBold),
                               VEQ::textPrimary(), QStringLiteral("udsHeading")));
    if (!codes) {
        stack->addWidget(makeLabel(QStringLiteral("Codes non lus"), VEQ::label(12, QFont::Medium), VEQ::warning(),
                                   QStringLiteral("udsUnread")));
        return;
    }
    if (codes->empty()) {
        stack->addWidget(
            makeLabel(QStringLiteral("Aucun code"), VEQ::label(12, QFont::Medium), VEQ::confirm(), QStringLiteral("udsEmpty")));
    }
    for (const UDSDTC& code : *codes) stack->addLayout(codeRow(code));
}

} // namespace veq
