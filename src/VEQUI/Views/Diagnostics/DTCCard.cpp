#include "VEQUI/Views/Diagnostics/DTCCard.hpp"

#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Kit/Dot.hpp"
#include "VEQUI/Views/Kit/Labels.hpp"
#include "VEQUI/Views/Kit/FlowingText.hpp"
#include "VEQUI/Views/Kit/VEQStyle.hpp"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace veq {

namespace {

// clang-format off
struct SourceStyle {
    DTCInfo::Source source;
    const char* text;
    const QColor& (*color)();
};

const SourceStyle sourceStyles[] = {
    {DTCInfo::Source::standard,   "NORMALIS\u00C9", VEQ::confirm},
    {DTCInfo::Source::generated,  "SAE",            VEQ::confirm},
    {DTCInfo::Source::structural, "STRUCTUREL",     VEQ::textSecondary},
};
// clang-format on

constexpr int padding = 16;
constexpr int columnSpacing = 14;
constexpr int codeColumnWidth = 100;
constexpr double cornerRadius = 12;
constexpr double outlineOpacity = 0.4;

QString qs(const std::string& text) { return QString::fromStdString(text); }

QString severityText(DTCInfo::Severity severity) {
    const std::string_view text = label(severity);
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QColor withOpacity(QColor color, double opacity) {
    color.setAlphaF(static_cast<float>(opacity));
    return color;
}

} // namespace

CapsuleTag sourceTag(DTCInfo::Source source) {
    for (const SourceStyle& style : sourceStyles) {
        if (style.source == source) return {QString::fromUtf8(style.text), style.color(), 8, 0.15};
    }
    return {QStringLiteral("STRUCTUREL"), VEQ::textSecondary(), 8, 0.15};
}

DTCCard::DTCCard(const DTC& dtc, QWidget* parent) : RoundedPanel(cornerRadius, VEQ::surface1(), parent) {
    setObjectName(QStringLiteral("dtcCard"));
    const DTCInfo info = DTCDatabase::describe(dtc.code);
    severityColor_ = veq::severityColor(info.severity);
    setOutline(withOpacity(severityColor_, outlineOpacity), 1);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(padding, padding, padding, padding);
    row->setSpacing(columnSpacing);
    row->addWidget(makeCodeColumn(dtc, info), 0, Qt::AlignTop);
    row->addWidget(makeTextColumn(info), 1);
}

QWidget* DTCCard::makeCodeColumn(const DTC& dtc, const DTCInfo& info) {
    auto* column = new QWidget;
    column->setFixedWidth(codeColumnWidth);
    auto* stack = new QVBoxLayout(column);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(3);
    stack->addWidget(
        makeLabel(qs(dtc.code), VEQ::numeric(20, QFont::Bold), VEQ::textPrimary(), QStringLiteral("dtcCode")));
    auto* tag = new CapsuleTagView(sourceTag(info.source));
    tag->setObjectName(QStringLiteral("sourceTag"));
    tag->setFixedSize(tag->sizeHint());
    stack->addWidget(tag, 0, Qt::AlignLeft);
    return column;
}

QWidget* DTCCard::makeTextColumn(const DTCInfo& info) {
    auto* column = new QWidget;
    auto* stack = new QVBoxLayout(column);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(6);
    stack->addWidget(makeFlowingLabel(qs(info.title), VEQ::label(13, QFont::Medium), VEQ::textPrimary(),
                                       QStringLiteral("dtcTitle")));
    stack->addWidget(makeSeverityLine(info));
    if (!info.causes.empty()) stack->addWidget(makeCauses(info));
    return column;
}

QWidget* DTCCard::makeSeverityLine(const DTCInfo& info) {
    const QFont font = VEQ::label(11, QFont::Medium);
    auto* line = new QWidget;
    auto* row = new QHBoxLayout(line);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(10);
    auto* severity = new QHBoxLayout;
    severity->setSpacing(5);
    auto* dot = new DotView(Dot{7, severityColor_});
    dot->setObjectName(QStringLiteral("severityDot"));
    dot->setFixedSize(7, 7);
    severity->addWidget(dot, 0, Qt::AlignVCenter);
    severity->addWidget(makeLabel(QStringLiteral("Gravit\u00E9 : ") + severityText(info.severity), font,
                                  VEQ::textSecondary(), QStringLiteral("severityLabel")));
    row->addLayout(severity);
    row->addWidget(makeLabel(QStringLiteral("\u00B7"), font, VEQ::textSecondary(), QStringLiteral("severitySeparator")));
    // A long subsystem name wraps rather than widen the card past the screen.
    row->addWidget(makeFlowingLabel(qs(info.subsystem), font, VEQ::textSecondary(), QStringLiteral("subsystem")), 1);
    return line;
}

QWidget* DTCCard::makeCauses(const DTCInfo& info) {
    const QFont font = VEQ::label(11, QFont::Medium);
    auto* block = new QWidget;
    block->setObjectName(QStringLiteral("causes"));
    auto* stack = new QVBoxLayout(block);
    stack->setContentsMargins(0, 2, 0, 0);
    stack->setSpacing(2);
    stack->addWidget(makeLabel(QStringLiteral("CAUSES PROBABLES"), tracked(VEQ::label(9, QFont::Bold), 1),
                               withOpacity(VEQ::textSecondary(), 0.8), QStringLiteral("causesHeading")));
    for (const std::string& cause : info.causes) {
        auto* row = new QHBoxLayout;
        row->setSpacing(5);
        row->addWidget(makeLabel(QStringLiteral("\u2022"), font, severityColor_, QStringLiteral("causeBullet")), 0,
                       Qt::AlignTop);
        row->addWidget(makeFlowingLabel(qs(cause), font, VEQ::textSecondary(), QStringLiteral("cause")), 1);
        stack->addLayout(row);
    }
    return block;
}

} // namespace veq
