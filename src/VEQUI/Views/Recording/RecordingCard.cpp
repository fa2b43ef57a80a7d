#include "VEQUI/Views/Recording/RecordingCard.hpp"

#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Kit/Labels.hpp"
#include "VEQUI/Views/Kit/ListScreen.hpp"
#include "VEQUI/Views/Kit/RoundedPanel.hpp"
#include "VEQUI/Views/Kit/VEQStyle.hpp"

#include <QScrollArea>
#include <QVBoxLayout>

namespace veq {

namespace {

constexpr int cornerRadius = 12;
constexpr int inset = 14;
constexpr int spacing = 10;
constexpr int screenMargin = 18;
constexpr int cardSpacing = 14;

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

QVBoxLayout* addScrollingCards(QVBoxLayout& column, const QString& scrollName) {
    auto* body = new QWidget;
    auto* cards = new QVBoxLayout(body);
    cards->setContentsMargins(screenMargin, screenMargin, screenMargin, screenMargin);
    cards->setSpacing(cardSpacing);
    column.addWidget(ListScreen::makeScroll(scrollName, body), 1);
    return cards;
}

} // namespace veq
