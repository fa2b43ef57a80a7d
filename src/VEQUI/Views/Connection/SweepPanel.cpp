#include "VEQUI/Views/Connection/SweepPanel.hpp"

#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Kit/CentredColumn.hpp"
#include "VEQUI/Views/Kit/Labels.hpp"
#include "VEQUI/Views/Kit/SymbolView.hpp"
#include "VEQUI/Views/Kit/VEQStyle.hpp"

#include <fmt/format.h>

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QVBoxLayout>

#include <algorithm>

namespace veq {

namespace SweepPanelText {

namespace {
constexpr std::size_t kListedAttempts = 9;
constexpr std::size_t kQuotedTrafficLines = 8;
} // namespace

std::vector<ProtocolSweep::Attempt> listedAttempts(const std::vector<ProtocolSweep::Attempt>& attempts) {
    const std::size_t shown = std::min(attempts.size(), kListedAttempts);
    return {attempts.rbegin(), attempts.rbegin() + static_cast<std::ptrdiff_t>(shown)};
}

std::string count(std::size_t attempts) { return fmt::format("{} essais", attempts); }

std::optional<std::string> result(const std::optional<ProtocolSweep::Outcome>& sweep) {
    if (!sweep || !sweep->succeeded()) return std::nullopt;
    std::string text = "✓ " + sweep->workingProtocol->name;
    if (sweep->workingHeader) text += " · en-tête " + *sweep->workingHeader;
    return text;
}

std::optional<std::string> traffic(const std::vector<std::string>& busTraffic) {
    if (busTraffic.empty()) return std::nullopt;
    std::string text = "Trafic entendu : ";
    const std::size_t quoted = std::min(busTraffic.size(), kQuotedTrafficLines);
    for (std::size_t i = 0; i < quoted; ++i) {
        if (i > 0) text += ", ";
        text += busTraffic[i];
    }
    return text;
}

} // namespace SweepPanelText

namespace {

constexpr int kInset = 14;
constexpr int kInner = SweepPanel::kWidth - 2 * kInset;
constexpr int kRowIcon = 9;
constexpr int kProtocolFrame = 46;
constexpr int kRowSpacing = 6;

QColor withAlpha(QColor colour, double alpha) {
    colour.setAlphaF(static_cast<float>(alpha));
    return colour;
}

QWidget* attemptRow(const ProtocolSweep::Attempt& attempt) {
    auto* row = new QWidget;
    row->setObjectName(QStringLiteral("sweepAttempt"));
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(kRowSpacing);
    layout->addWidget(attempt.succeeded ? new SymbolView("checkmark.circle.fill", kRowIcon, VEQ::confirm())
                                        : new SymbolView("circle.dotted", kRowIcon, withAlpha(VEQ::textSecondary(), 0.5)));
    auto* protocol = makeLabel(QStringLiteral("ATSP") + QString::fromStdString(attempt.protocolNumber),
                               VEQ::numeric(10, QFont::DemiBold), VEQ::textPrimary(), QStringLiteral("sweepProtocol"));
    protocol->setFixedWidth(kProtocolFrame);
    layout->addWidget(protocol);
    // One line: a long addressing text is cut with an ellipsis.
    const QFont font = VEQ::label(10, QFont::Medium);
    const int room = SweepPanel::kWidth - 2 * kInset - kRowIcon - kProtocolFrame - 3 * kRowSpacing - 12;
    const QString addressing =
        QFontMetrics(font).elidedText(QString::fromStdString(attempt.addressing), Qt::ElideRight, room);
    auto* label = makeLabel(addressing, font, VEQ::textSecondary(), QStringLiteral("sweepAddressing"));
    label->setToolTip(QString::fromStdString(attempt.addressing));
    layout->addWidget(label);
    layout->addStretch(1);
    return row;
}

} // namespace

SweepPanel::SweepPanel(QWidget* parent) : RoundedPanel(12, VEQ::surface1(), parent) {
    setObjectName(QStringLiteral("sweepPanel"));
    setFixedWidth(kWidth);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(kInset, kInset, kInset, kInset);
    column->setSpacing(6);

    auto* header = new QHBoxLayout;
    header->setSpacing(8);
    icon_ = new SymbolView("magnifyingglass.circle.fill", 15, VEQ::accent());
    icon_->setObjectName(QStringLiteral("sweepIcon"));
    header->addWidget(icon_);
    header->addWidget(makeLabel(QStringLiteral("Balayage exhaustif des protocoles"), VEQ::label(12, QFont::DemiBold),
                                VEQ::textPrimary(), QStringLiteral("sweepTitle")));
    header->addStretch(1);
    count_ = makeLabel({}, VEQ::numeric(10, QFont::DemiBold), VEQ::textSecondary(), QStringLiteral("sweepCount"));
    header->addWidget(count_);
    column->addLayout(header);

    column->addWidget(makeWrappingLabel(
        QStringLiteral("L'auto-détection n'a rien donné : on essaie chaque protocole et chaque adressage, comme un "
                       "outil d'atelier."),
        VEQ::label(10, QFont::Medium), VEQ::textSecondary(), kInner, QStringLiteral("sweepExplanation")));

    list_ = makeVerticalScrollArea();
    list_->setObjectName(QStringLiteral("sweepAttempts"));
    list_->setFixedHeight(kListHeight);
    rows_ = new QVBoxLayout(list_->widget());
    rows_->setContentsMargins(0, 0, 0, 0);
    rows_->setSpacing(2);
    rows_->addStretch(1);
    column->addWidget(list_);

    result_ = makeWrappingLabel({}, VEQ::label(11, QFont::DemiBold), VEQ::confirm(), kInner, QStringLiteral("sweepResult"));
    column->addWidget(result_);
    traffic_ = makeWrappingLabel({}, VEQ::numeric(10, QFont::DemiBold), VEQ::warning(), kInner,
                                 QStringLiteral("busTraffic"));
    column->addWidget(traffic_);
}

void SweepPanel::display(const std::vector<ProtocolSweep::Attempt>& attempts,
                         const std::optional<ProtocolSweep::Outcome>& sweep, const std::vector<std::string>& busTraffic) {
    count_->setText(QString::fromStdString(SweepPanelText::count(attempts.size())));

    // The rows before the trailing stretch are replaced.
    while (rows_->count() > 1) {
        QLayoutItem* item = rows_->takeAt(0);
        delete item->widget();
        delete item;
    }
    int index = 0;
    for (const auto& attempt : SweepPanelText::listedAttempts(attempts)) rows_->insertWidget(index++, attemptRow(attempt));

    const auto result = SweepPanelText::result(sweep);
    result_->setText(result ? QString::fromStdString(*result) : QString());
    result_->setVisible(result.has_value());
    const auto traffic = SweepPanelText::traffic(busTraffic);
    traffic_->setText(traffic ? QString::fromStdString(*traffic) : QString());
    traffic_->setVisible(traffic.has_value());
    contentSizeChanged(list_->widget());
}

void SweepPanel::setAccent(const QColor& accent) { icon_->setTint(accent); }

} // namespace veq
