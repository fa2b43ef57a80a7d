#include "ScreenFixtures.hpp"

#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Kit/ComponentView.hpp"
#include "VEQUI/Views/Instruments/MessagesView.hpp"
#include "VEQUI/Views/Kit/HeaderBar.hpp"

#include <gtest/gtest.h>

#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>

namespace veq {
namespace {

using namespace veq::testing;
using Level = VehicleMessage::Level;
using Availability = VehicleMessage::Availability;

struct Messages : LiveScreen<MessagesView> {
    explicit Messages(bool live) : LiveScreen(live, {0x05, 0x5C, 0x42, 0x2F}) {}
    const HeaderBar& header() const { return *view->findChild<HeaderBar*>(); }
    std::string alerts() const { return text(header().summary()); }
    QColor alertsColour() const { return textColor(header().summary()); }
    static std::vector<std::string> ids(const MessageGrid* grid) {
        std::vector<std::string> out;
        for (const auto* card : grid->cards()) out.push_back(card->card().message.id);
        return out;
    }
};

TEST(MessagesView, LiveCarShowsItsMessagesInTwoGroups) {
    Messages screen(true);
    AppModel& model = screen.model();
    screen.tick();
    const auto all = MessagesView::messages(model);
    std::vector<std::string> readable, proprietary;
    for (const auto& m : all) (m.isReadable() ? readable : proprietary).push_back(m.id);
    EXPECT_EQ(Messages::ids(screen.view->readableGrid()), readable);
    EXPECT_EQ(Messages::ids(screen.view->proprietaryGrid()), proprietary);
    EXPECT_EQ(proprietary.size(), VehicleMessageCenter::proprietaryItems.size());
    // The simulated car keeps trouble codes: the engine lamp is lit and counted.
    ASSERT_FALSE(model.dtcs().empty());
    EXPECT_EQ(readable.front(), "mil");
    const int alerts = MessagesView::alertCount(all);
    EXPECT_GE(alerts, 1);
    EXPECT_EQ(screen.alerts(), MessagesView::alertText(alerts).toStdString());
    EXPECT_EQ(screen.alertsColour(), VEQ::critical());
    EXPECT_EQ(screen.header().symbolTint(), VEQ::critical());
    const auto subtitles = named<QLabel>(*screen.view, QStringLiteral("sectionSubtitle"));
    ASSERT_EQ(subtitles.size(), 2);
    EXPECT_EQ(subtitles[0]->text().toStdString(), "Lu en direct sur les paramètres OBD-II normalisés.");
    EXPECT_EQ(subtitles[1]->text().toStdString(),
              "Ces messages ne transitent pas par l'OBD-II normalisé : ils vivent dans des calculateurs de confort, "
              "derrière des identifiants propriétaires non documentés. Utilisez le scanner de DIDs pour les retrouver.");
    shoot(*screen.view, QStringLiteral("messages"));
}

TEST(MessagesView, HeaderCountsOnlyWarningsAndCriticalsOfTheReadableGroup) {
    Messages screen(false);
    AppModel& model = screen.model();
    // Nothing read yet: no alert, the bell in the accent.
    EXPECT_EQ(screen.alerts(), "Aucune alerte");
    EXPECT_EQ(screen.alertsColour(), VEQ::confirm());
    EXPECT_EQ(screen.header().symbolTint(), VEQ::accent());

    // One stored code without monitors lights the engine lamp at critical: one alert.
    AppModelTestAccess::setDtcs(model, {*DTC::decode(0x01, 0x23)});
    screen.tick();
    EXPECT_EQ(screen.alerts(), "1 alerte(s)");
    EXPECT_EQ(screen.alertsColour(), VEQ::critical());
    // A coolant temperature high enough for a critical message adds one.
    feed(model, 0x05, 125);
    screen.tick();
    const auto all = MessagesView::messages(model);
    EXPECT_EQ(screen.alerts(), MessagesView::alertText(MessagesView::alertCount(all)).toStdString());
    EXPECT_EQ(MessagesView::alertCount(all), 2);
    shoot(*screen.view, QStringLiteral("messages-alerts"));

    // Proprietary items never count, whatever their level.
    std::vector<VehicleMessage> only{
        VehicleMessage{"x", "t", "d", Level::critical, Availability::requiresDID("7E0", "h"), {}, "xmark"}};
    EXPECT_EQ(MessagesView::alertCount(only), 0);
    only.push_back(VehicleMessage{"y", "t", "d", Level::warning, Availability::mapped("7E0", 0x123), {}, "xmark"});
    only.push_back(VehicleMessage{"z", "t", "d", Level::attention, Availability::readable(0x05), {}, "xmark"});
    EXPECT_EQ(MessagesView::alertCount(only), 1);
}

TEST(MessagesView, TagsAndLevelColours) {
    struct Tag { Availability availability; const char* text; QColor colour; };
    const Tag tags[] = {
        {Availability::readable(0x05), "LU · PID 0x05", VEQ::confirm()},
        {Availability::readable(0x5C), "LU · PID 0x5C", VEQ::confirm()},
        {Availability::mapped("7E0", 0x123), "DID ASSOCIÉ · 7E0 0x0123", VEQ::confirm()},
        {Availability::requiresDID("SAM avant", "Cherchez"), "NÉCESSITE UN DID · SAM avant", VEQ::warning()},
    };
    for (const auto& t : tags) {
        EXPECT_EQ(MessageCard::tagText(t.availability).toStdString(), t.text);
        EXPECT_EQ(MessageCard::tagColor(t.availability), t.colour);
    }
    struct Colour { Level level; QColor colour; };
    const Colour colours[] = {{Level::ok, VEQ::confirm()},      {Level::info, VEQ::textSecondary()},
                              {Level::attention, VEQ::warning()}, {Level::warning, VEQ::warning()},
                              {Level::critical, VEQ::critical()}};
    for (const auto& c : colours) EXPECT_EQ(MessageCard::levelColor(c.level), c.colour);
}

TEST(MessagesView, CardsKeepTheirPlaceAndNightModeTurnsTheAccentOnly) {
    Messages screen(false);
    AppModel& model = screen.model();
    feed(model, 0x05, 90);
    feed(model, 0x42, 14);
    screen.tick();
    const auto before = screen.view->readableGrid()->cards();
    ASSERT_FALSE(before.empty());
    feed(model, 0x05, 91, 1);
    screen.tick();
    EXPECT_EQ(screen.view->readableGrid()->cards(), before);

    model.setNightMode(true);
    screen.tick();
    EXPECT_EQ(screen.header().symbolTint(), VEQ::nightAccent());
    for (const auto* card : screen.view->proprietaryGrid()->cards()) EXPECT_EQ(card->card().accent, VEQ::nightAccent());
    shoot(*screen.view, QStringLiteral("messages-night"));
}

TEST(MessagesView, CardsStandInColumnsAtLeast320Wide) {
    Messages screen(false);
    const auto cards = screen.view->proprietaryGrid()->cards();
    ASSERT_EQ(cards.size(), 5u);
    // 1069 wide: the content (less the margins and the scroll bar) holds three columns of 320 or more.
    EXPECT_GE(cards[0]->width(), MessageGrid::minimumColumn);
    // Cards of a row are centred on one line.
    EXPECT_NEAR(cards[0]->geometry().center().y(), cards[2]->geometry().center().y(), 1);
    EXPECT_GT(cards[3]->y(), cards[0]->y());
    EXPECT_EQ(cards[1]->x() - cards[0]->x() - cards[0]->width(), MessageGrid::gap);
}

TEST(MessagesView, ShowsItsScrollBarOnlyWhenTheCardsOutgrowTheScreen) {
    Messages screen(false);
    const auto barShown = [&](int height) {
        screen.view->resize(1069, height);
        settle();
        return only<QScrollArea>(*screen.view, QStringLiteral("messagesScroll"))->verticalScrollBar()->isVisible();
    };
    EXPECT_FALSE(barShown(800));
    EXPECT_TRUE(barShown(400));
}

} // namespace
} // namespace veq
