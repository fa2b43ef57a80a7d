#include "VEQUI/Views/Diagnostics/ECUCard.hpp"

#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Kit/Dot.hpp"
#include "VEQUI/Views/Diagnostics/ECUMapRules.hpp"
#include "VEQUI/Views/Kit/RoundedPanel.hpp"
#include "VEQUI/Views/Kit/Labels.hpp"
#include "VEQUI/Views/Kit/FlowingText.hpp"
#include "VEQUI/Views/Kit/VEQStyle.hpp"

#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include <fmt/format.h>

namespace veq {

namespace {
constexpr int padding = 12;
constexpr double cornerRadius = 10;
} // namespace

ECUCard::ECUCard(const DiscoveredECU& ecu, const Look& look, QWidget* parent)
    : QAbstractButton(parent), panel_(new RoundedPanel(cornerRadius, VEQ::surface1())), txHeader_(ecu.txHeader),
      selected_(look.selected), accent_(look.accent), opacity_(ecu.responded ? 1.0 : silentOpacity) {
    setObjectName(QStringLiteral("ecuCard"));
    setCursor(Qt::PointingHandCursor);
    auto* frame = new QVBoxLayout(this);
    frame->setContentsMargins(0, 0, 0, 0);
    frame->addWidget(panel_);
    outline();

    auto* stack = new QVBoxLayout(panel_);
    stack->setContentsMargins(padding, padding, padding, padding);
    stack->setSpacing(8);

    auto* top = new QHBoxLayout;
    top->setSpacing(8);
    auto* dot = new DotView(Dot{9, look.color});
    dot->setObjectName(QStringLiteral("ecuDot"));
    dot->setFixedSize(9, 9);
    top->addWidget(dot, 0, Qt::AlignVCenter);
    // A long name wraps: the card has no line limit for it.
    top->addWidget(makeFlowingLabel(QString::fromStdString(ecu.name), VEQ::label(13, QFont::DemiBold),
                                    VEQ::textPrimary(), QStringLiteral("ecuName")),
                   1);
    top->addWidget(makeLabel(QString::fromStdString(ecu.txHeader), VEQ::numeric(11, QFont::DemiBold),
                             VEQ::textSecondary(), QStringLiteral("ecuHeader")));
    stack->addLayout(top);

    stack->addWidget(new ElidedLabel(ECUMap::statusLine(ecu), VEQ::numeric(11, QFont::DemiBold), VEQ::textSecondary(),
                                     QStringLiteral("ecuStatus")));
    if (look.codesUnread) {
        stack->addWidget(makeLabel(QStringLiteral("Codes non lus"), VEQ::label(10, QFont::DemiBold), VEQ::warning(),
                                   QStringLiteral("ecuCodesUnread")));
    } else if (look.codeCount >= 1) {
        stack->addWidget(makeLabel(QString::fromStdString(fmt::format("{} d\u00E9faut(s)", look.codeCount)),
                                   VEQ::label(10, QFont::DemiBold), VEQ::critical(), QStringLiteral("ecuCodeCount")));
    }

    if (!ecu.responded) {
        auto* dim = new QGraphicsOpacityEffect(this);
        dim->setOpacity(silentOpacity);
        setGraphicsEffect(dim);
    }
}

void ECUCard::setSelectedCard(bool selected, const QColor& accent) {
    selected_ = selected;
    accent_ = accent;
    outline();
}

void ECUCard::outline() {
    if (selected_) panel_->setOutline(accent_, 1.5);
    else panel_->setOutline(VEQ::stroke(), 1);
}

} // namespace veq
