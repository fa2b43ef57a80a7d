#include "VEQUI/Views/Recording/RecordingCard.hpp"

#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Kit/Labels.hpp"
#include "VEQUI/Views/Kit/RoundedPanel.hpp"
#include "VEQUI/Views/Kit/VEQStyle.hpp"

#include <QVBoxLayout>

namespace veq {

namespace {

constexpr int cornerRadius = 12;
constexpr int inset = 14;
constexpr int spacing = 10;

} // namespace

RoundedPanel* makeRecordingCard(const QString& title, const QString& objectName, QVBoxLayout*& column) {
    auto* card = new RoundedPanel(cornerRadius, VEQ::surface1());
    card->setObjectName(objectName);
    card->setOutline(VEQ::stroke(), 1);
    column = new QVBoxLayout(card);
    column->setContentsMargins(inset, inset, inset, inset);
    column->setSpacing(spacing);
    column->addWidget(makeLabel(title, VEQ::label(13, QFont::DemiBold), VEQ::textPrimary(), QStringLiteral("cardTitle")));
    return card;
}

} // namespace veq
