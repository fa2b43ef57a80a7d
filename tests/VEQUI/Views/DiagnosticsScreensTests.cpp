// The two diagnostics screens: the stored codes' cards and the ECU map, over a model fed by hand,
// and what they send the car (nothing but polling).
#include "ScreenFixtures.hpp"

#include "VEQProtocol/DTCDatabase.hpp"
#include "VEQUI/Model/AppModel.hpp"
#include "VEQUI/Model/ModelFixtures.hpp"
#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Kit/AdaptiveGridLayout.hpp"
#include "VEQUI/Views/Kit/CapsuleTag.hpp"
#include "VEQUI/Views/Diagnostics/DTCCard.hpp"
#include "VEQUI/Views/Diagnostics/DiagnosticView.hpp"
#include "VEQUI/Views/Diagnostics/ECUBusDiagram.hpp"
#include "VEQUI/Views/Diagnostics/ECUCard.hpp"
#include "VEQUI/Views/Diagnostics/ECUMapRules.hpp"
#include "VEQUI/Views/Diagnostics/ECUMapView.hpp"
#include "VEQUI/Views/Kit/SymbolView.hpp"

#include <gtest/gtest.h>

#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

#include <set>

namespace veq {
namespace {

using namespace veq::testing;
using Access = AppModelTestAccess;

namespace codes_screen {

const QSize screenSize(900, 640);

DTC code(const std::string& text) { return DTC{DTC::System::powertrain, text, {}}; }

std::vector<DTC> codes(std::initializer_list<const char*> texts) {
    std::vector<DTC> out;
    for (const char* t : texts) out.push_back(code(t));
    return out;
}

struct Screen {
    ModelRig rig;
    DiagnosticView view{*rig.model};

    explicit Screen(std::vector<DTC> dtcs = {}, QSize size = screenSize) {
        Access::setDtcs(*rig.model, std::move(dtcs));
        present(view, size);
    }
    AppModel& model() { return *rig.model; }
    QList<DTCCard*> cards() const { return named<DTCCard>(view, QStringLiteral("dtcCard")); }
};

TEST(DiagnosticView, WithoutCodesShowsTheCentredEmptyStateAndNoList) {
    Screen screen;
    shoot(screen.view, QStringLiteral("diagnostic-empty"));
    EXPECT_EQ(textOf(screen.view, "headerTitle"), "Diagnostic");
    EXPECT_EQ(textOf(screen.view, "codeCount"), "Aucun code");
    EXPECT_EQ(textColor(only<QLabel>(screen.view, QStringLiteral("codeCount"))), VEQ::confirm());
    EXPECT_EQ(textOf(screen.view, "emptyText"), "Aucun code d\u00E9faut confirm\u00E9");
    EXPECT_EQ(textColor(only<QLabel>(screen.view, QStringLiteral("emptyText"))), VEQ::textSecondary());
    EXPECT_TRUE(screen.view.findChildren<QScrollArea*>().isEmpty());
    EXPECT_TRUE(screen.cards().isEmpty());

    // The seal sits in the middle of the space under the header.
    const auto* symbol = only<SymbolView>(screen.view, QStringLiteral("emptySymbol"));
    ASSERT_NE(symbol, nullptr);
    EXPECT_EQ(symbol->symbol(), "checkmark.seal.fill");
    const QRect seal = placeIn(screen.view, *symbol);
    EXPECT_EQ(seal.size(), QSize(34, 34));
    EXPECT_NEAR(seal.center().x(), screenSize.width() / 2, 2);
    EXPECT_GT(seal.top(), placeIn(screen.view, *only(screen.view, QStringLiteral("headerBar"))).bottom() + 200);
}

TEST(DiagnosticView, SeverityGivesTheOutlineDotColourAndLabel) {
    // P0113 is low, P0171 medium, P0300 high in the text base.
    struct Case { const char* code; QColor color; const char* label; };
    const Case cases[] = {
        {"P0113", VEQ::confirm(), "Gravit\u00E9 : Faible"},
        {"P0171", VEQ::warning(), "Gravit\u00E9 : Moyenne"},
        {"P0300", VEQ::critical(), "Gravit\u00E9 : \u00C9lev\u00E9e"},
    };
    Screen screen(codes({"P0113", "P0171", "P0300"}));
    const QImage image = shoot(screen.view, QStringLiteral("diagnostic-severities"));
    const auto cards = screen.cards();
    ASSERT_EQ(cards.size(), 3);
    // The count has no singular form and takes the fault colour.
    EXPECT_EQ(textOf(screen.view, "codeCount"), "3 code(s)");
    EXPECT_EQ(textColor(only<QLabel>(screen.view, QStringLiteral("codeCount"))), VEQ::critical());
    for (int i = 0; i < 3; ++i) {
        const Case& c = cases[i];
        const DTCCard& card = *cards[i];
        EXPECT_EQ(textOf(card, "dtcCode"), c.code);
        EXPECT_EQ(textOf(card, "severityLabel"), c.label);
        const QRect box = placeIn(screen.view, card);
        // The 1-pixel outline at 40 % over the card's surface, halfway down the left edge.
        EXPECT_LT(colorDistance(image.pixelColor(box.left(), box.center().y()), blend(c.color, 0.4, VEQ::surface1())), 4)
            << c.code;
        EXPECT_EQ(image.pixelColor(box.left() + 20, box.center().y()), VEQ::surface1()) << c.code;
        const QRect dot = placeIn(screen.view, *only(card, QStringLiteral("severityDot")));
        EXPECT_LT(colorDistance(image.pixelColor(dot.center()), c.color), 4) << c.code;
        for (const QLabel* bullet : named<QLabel>(card, QStringLiteral("causeBullet"))) {
            EXPECT_EQ(textColor(bullet), c.color) << c.code;
        }
    }
}

TEST(DiagnosticView, CardShowsTitleSubsystemCausesAndSourceTagOfTheTextBase) {
    struct Case { const char* code; const char* tag; QColor tagColor; };
    // A written-out row, a row of a generated series, a code the base does not hold, and a code
    // of the wrong length: described from its structure, with no causes and no causes block.
    const Case cases[] = {
        {"P0300", "NORMALIS\u00C9", VEQ::confirm()},
        {"P0304", "SAE", VEQ::confirm()},
        {"P1234", "STRUCTUREL", VEQ::textSecondary()},
        {"P03", "STRUCTUREL", VEQ::textSecondary()},
    };
    Screen screen(codes({"P0300", "P0304", "P1234", "P03"}));
    shoot(screen.view, QStringLiteral("diagnostic-sources"));
    const auto cards = screen.cards();
    ASSERT_EQ(cards.size(), 4);
    for (int i = 0; i < 4; ++i) {
        const Case& c = cases[i];
        const DTCCard& card = *cards[i];
        const DTCInfo info = DTCDatabase::describe(c.code);
        EXPECT_EQ(textOf(card, "dtcTitle"), info.title);
        EXPECT_EQ(textOf(card, "subsystem"), info.subsystem);
        EXPECT_EQ(texts(card, QStringLiteral("cause")), info.causes) << c.code;
        EXPECT_EQ(textOf(card, "causesHeading"), info.causes.empty() ? "<none>" : "CAUSES PROBABLES");
        EXPECT_EQ(only(card, QStringLiteral("causes")) != nullptr, !info.causes.empty()) << c.code;
        const auto* tag = only<CapsuleTagView>(card, QStringLiteral("sourceTag"));
        ASSERT_NE(tag, nullptr);
        EXPECT_EQ(tag->component().shownText().toStdString(), c.tag);
        EXPECT_EQ(tag->component().color, c.tagColor) << c.code;
    }
    EXPECT_TRUE(DTCDatabase::describe("P03").causes.empty());
    EXPECT_LT(cards[3]->height(), cards[0]->height());
}

TEST(DiagnosticView, CardsFollowTheModelsListItsOrderAndItsEmptying) {
    Screen screen(codes({"P0300", "P0171"}));
    const auto order = [&] {
        std::vector<std::string> out;
        for (const DTCCard* card : screen.cards()) out.push_back(textOf(*card, "dtcCode"));
        return out;
    };
    EXPECT_EQ(order(), (std::vector<std::string>{"P0300", "P0171"}));
    Access::setDtcs(screen.model(), codes({"P0171", "P0420", "P0300"}));
    settle();
    EXPECT_EQ(order(), (std::vector<std::string>{"P0171", "P0420", "P0300"}));
    EXPECT_EQ(textOf(screen.view, "codeCount"), "3 code(s)");
    Access::setDtcs(screen.model(), {});
    settle();
    EXPECT_TRUE(screen.cards().isEmpty());
    EXPECT_TRUE(screen.view.findChildren<QScrollArea*>().isEmpty());
    EXPECT_EQ(textOf(screen.view, "codeCount"), "Aucun code");
    // Codes unread: no list and no "no code", the ECU map's words in its warning colour.
    Access::setDtcsUnread(screen.model());
    settle();
    shoot(screen.view, QStringLiteral("diagnostic-unread"));
    EXPECT_TRUE(screen.cards().isEmpty());
    EXPECT_EQ(textOf(screen.view, "codeCount"), "Codes non lus");
    EXPECT_EQ(textColor(only<QLabel>(screen.view, QStringLiteral("codeCount"))), VEQ::warning());
    EXPECT_EQ(textOf(screen.view, "emptyText"), "Codes non lus");
    Access::setDtcs(screen.model(), {});
    settle();
    EXPECT_EQ(textOf(screen.view, "codeCount"), "Aucun code");
    EXPECT_EQ(textOf(screen.view, "emptyText"), "Aucun code d\u00E9faut confirm\u00E9");
    Access::setDtcs(screen.model(), codes({"P0420"}));
    settle();
    EXPECT_EQ(order(), (std::vector<std::string>{"P0420"}));
    EXPECT_EQ(only(screen.view, QStringLiteral("emptyState")), nullptr);
}

} // namespace codes_screen

namespace ecu_map {

using Codes = ECUMap::CodesByHeader;

const QSize screenSize(900, 700);

std::string hex(unsigned value, int digits) {
    return QString::number(value, 16).toUpper().rightJustified(digits, QLatin1Char('0')).toStdString();
}

DiscoveredECU ecu(std::string name, std::string tx, bool responded, std::optional<std::string> part = std::nullopt,
                  std::optional<std::string> version = std::nullopt) {
    std::string rx = hex(static_cast<unsigned>(std::stoul(tx, nullptr, 16) + 8), 3);
    return {std::move(name), std::move(tx), std::move(rx), responded, std::move(part), std::move(version)};
}

UDSDTC uds(const char* code, std::uint8_t failureType, std::uint8_t status) {
    return {DTC{DTC::System::powertrain, code, {}}, failureType, status};
}

// Engine with two codes, transmission answering without codes, a silent ABS unit, and an
// answering gateway with no part number and no entry at all.
std::vector<DiscoveredECU> fourECUs() {
    return {ecu("Moteur", "7E0", true, "A2569006200", "0044/3.11.0"), ecu("Bo\u00EEte de vitesses", "7E1", true, "A7252702300"),
            ecu("ABS / ESP", "7E2", false), ecu("Passerelle", "7E3", true)};
}
Codes fourCodes() {
    return {{"7E0", std::vector<UDSDTC>{uds("P0300", 0x64, 0x08), uds("P0171", 0x00, 0x04)}}, {"7E1", std::vector<UDSDTC>{}}};
}

// The grid's cards in its order (rows may not line up at their tops).
QList<ECUCard*> cardsOf(const QWidget& view) {
    QList<ECUCard*> out;
    const QWidget* grid = only(view, QStringLiteral("ecuGrid"));
    for (int i = 0; grid && i < grid->layout()->count(); ++i) out.append(dynamic_cast<ECUCard*>(grid->layout()->itemAt(i)->widget()));
    return out;
}
ECUBusDiagram* diagramOf(const QWidget& view) { return only<ECUBusDiagram>(view, QStringLiteral("busDiagram")); }
QWidget* detailOf(const QWidget& view) { return only(view, QStringLiteral("ecuDetail")); }
void clickCard(const QWidget& view, int card) {
    QTest::mouseClick(cardsOf(view).at(card), Qt::LeftButton);
    settle();
}

struct Screen {
    ModelRig rig;
    ECUMapView view{*rig.model};

    Screen(std::vector<DiscoveredECU> ecus, Codes codes, QSize size = screenSize) {
        Access::setEcus(*rig.model, std::move(ecus));
        Access::setUdsDTCReads(*rig.model, std::move(codes));
        present(view, size);
    }
    AppModel& model() { return *rig.model; }
    QList<ECUCard*> cards() const { return cardsOf(view); }
    ECUBusDiagram* diagram() const { return diagramOf(view); }
    QWidget* detail() const { return detailOf(view); }
    std::string detailName() const { return detail() ? textOf(*detail(), "detailName") : "<none>"; }
    void click(int card) { clickCard(view, card); }
};

TEST(ECUMapRules, ColourFollowsReplyThenCodes) {
    struct Case {
        const char* name;
        bool responded;
        std::optional<std::vector<UDSDTC>> codes; // nothing: no entry
        QColor color;
        int count;
        bool unread = false; // an entry whose codes could not be read
    };
    const Case cases[] = {
        {"answered, no entry", true, std::nullopt, VEQ::confirm(), 0},
        {"answered, codes unread", true, std::nullopt, VEQ::warning(), 0, true},
        {"silent, codes unread", false, std::nullopt, VEQ::stroke(), 0, true},
        {"answered, empty entry", true, std::vector<UDSDTC>{}, VEQ::confirm(), 0},
        {"answered, codes", true, std::vector<UDSDTC>{uds("P0300", 0, 8)}, VEQ::critical(), 1},
        {"silent, no entry", false, std::nullopt, VEQ::stroke(), 0},
        {"silent, codes", false, std::vector<UDSDTC>{uds("P0300", 0, 8), uds("P0301", 1, 0)}, VEQ::stroke(), 2},
    };
    for (const auto& c : cases) {
        const DiscoveredECU unit = ecu("Moteur", "7E0", c.responded);
        Codes codes{{"7E5", std::vector<UDSDTC>{uds("U0100", 0, 8)}}}; // another ECU's codes never count
        if (c.codes) codes["7E0"] = *c.codes;
        if (c.unread) codes["7E0"] = std::nullopt;
        EXPECT_EQ(ECUMap::codesUnread(unit, codes), c.unread) << c.name;
        EXPECT_EQ(ECUMap::color(unit, codes), c.color) << c.name;
        EXPECT_EQ(static_cast<int>(ECUMap::codesOf(unit, codes).size()), c.count) << c.name;
    }
}

TEST(ECUMapRules, SelectionIsTheFirstECUWithThatHeader) {
    const std::vector<DiscoveredECU> ecus{ecu("A", "7E0", true), ecu("B", "7E1", false), ecu("C", "7E1", true)};
    EXPECT_EQ(ECUMap::selectedECU(ecus, std::nullopt), nullptr);
    EXPECT_EQ(ECUMap::selectedECU(ecus, "7E9"), nullptr);
    EXPECT_EQ(ECUMap::selectedECU(ecus, "7e0"), nullptr); // string equality, no case folding
    ASSERT_NE(ECUMap::selectedECU(ecus, "7E1"), nullptr);
    EXPECT_EQ(ECUMap::selectedECU(ecus, "7E1")->name, "B");
    EXPECT_EQ(ECUMap::respondingCount(ecus), 2);
    EXPECT_EQ(ECUMap::respondingCount({}), 0);
}

TEST(ECUMapView, WithoutECUsShowsZeroOfZeroAndTheEmptyStateOnly) {
    Screen screen({}, {});
    const QImage image = shoot(screen.view, QStringLiteral("ecu-map-empty"));
    EXPECT_EQ(textOf(screen.view, "headerTitle"), "Calculateurs");
    EXPECT_EQ(textOf(screen.view, "respondingCount"), "0 / 0 r\u00E9pondent");
    EXPECT_EQ(textColor(only<QLabel>(screen.view, QStringLiteral("respondingCount"))), VEQ::textSecondary());
    EXPECT_EQ(textOf(screen.view, "emptyText"), "Aucun calculateur scann\u00E9");
    EXPECT_TRUE(screen.view.findChildren<QScrollArea*>().isEmpty());
    EXPECT_EQ(screen.diagram(), nullptr);
    EXPECT_TRUE(screen.cards().isEmpty());
    const auto* symbol = only<SymbolView>(screen.view, QStringLiteral("emptySymbol"));
    ASSERT_NE(symbol, nullptr);
    EXPECT_EQ(symbol->symbol(), "point.3.connected.trianglepath.dotted");
    const QRect place = placeIn(screen.view, *symbol);
    EXPECT_EQ(place.size(), QSize(30, 30));
    EXPECT_NEAR(place.center().x(), screenSize.width() / 2, 2);
    EXPECT_GT(countNear(image, place, VEQ::textSecondary(), 10), 60);
}

TEST(ECUMapView, BusNodesCardsAndCountFollowReplyAndCodes) {
    Screen screen(fourECUs(), fourCodes());
    const QImage image = shoot(screen.view, QStringLiteral("ecu-map-four"));
    EXPECT_EQ(textOf(screen.view, "respondingCount"), "3 / 4 r\u00E9pondent");
    EXPECT_EQ(textOf(screen.view, "busCaption"), "Bus CAN-C \u00B7 500 kbit/s \u00B7 broches 6/14");

    struct Expected {
        const char* name;
        const char* header;
        QColor color;
        bool glows;
        const char* status;
        const char* count; // nothing: no count line
        double opacity;
    };
    const Expected expected[] = {
        {"Moteur", "7E0", VEQ::critical(), true, "A2569006200", "2 d\u00E9faut(s)", 1.0},
        {"Bo\u00EEte de vitesses", "7E1", VEQ::confirm(), true, "A7252702300", nullptr, 1.0},
        {"ABS / ESP", "7E2", VEQ::stroke(), false, "aucune r\u00E9ponse", nullptr, 0.55},
        {"Passerelle", "7E3", VEQ::confirm(), true, "pr\u00E9sent", nullptr, 1.0},
    };
    const ECUBusDiagram& diagram = *screen.diagram();
    const auto cards = screen.cards();
    ASSERT_EQ(cards.size(), 4);
    ASSERT_EQ(diagram.nodes().size(), 4U);
    const QPoint diagramAt = diagram.mapTo(&screen.view, QPoint(0, 0));
    for (std::size_t i = 0; i < 4; ++i) {
        const Expected& e = expected[i];
        const ECUCard& card = *cards[static_cast<int>(i)];
        // The node drawn in its colour, glowing or not.
        EXPECT_EQ(diagram.nodes()[i], (ECUBusDiagram::Node{e.color, e.glows})) << e.name;
        const QPointF centre = diagram.nodeCentre(i) + QPointF(diagramAt);
        EXPECT_LT(colorDistance(image.pixelColor(centre.toPoint()), e.color), 4) << e.name;
        EXPECT_EQ(textOf(card, "ecuName"), e.name);
        EXPECT_EQ(textOf(card, "ecuHeader"), e.header);
        EXPECT_EQ(textOf(card, "ecuStatus"), e.status);
        EXPECT_EQ(textOf(card, "ecuCodeCount"), e.count ? e.count : "<none>");
        if (e.count) {
            EXPECT_EQ(textColor(only<QLabel>(card, QStringLiteral("ecuCodeCount"))), VEQ::critical());
        }
        // A silent card is dimmed: its dot is seen through the card's opacity.
        EXPECT_DOUBLE_EQ(card.opacity(), e.opacity) << e.name;
        const QRect dot = placeIn(screen.view, *only(card, QStringLiteral("ecuDot")));
        EXPECT_LT(colorDistance(image.pixelColor(dot.center()), blend(e.color, e.opacity, VEQ::background())), 6) << e.name;
    }
    // The bus line spans the diagram inside its padding, in the stroke colour.
    const QRectF line = diagram.lineRect().translated(diagramAt);
    for (const double x : {line.left() + 3, line.center().x(), line.right() - 3}) {
        EXPECT_EQ(image.pixelColor(QPointF(x, line.center().y()).toPoint()), VEQ::stroke()) << x;
    }
    EXPECT_EQ(static_cast<int>(line.width()), diagram.width() - 32);
    EXPECT_FALSE(screen.view.selected().has_value()); // nothing is selected when the screen opens
}

TEST(ECUMapView, ClickingSelectsTogglesAndMovesTheSelectionWithItsDetail) {
    Screen screen(fourECUs(), fourCodes());
    const auto outlined = [&] {
        std::vector<int> out;
        const auto cards = screen.cards();
        for (int i = 0; i < cards.size(); ++i) {
            if (cards[i]->isSelectedCard()) out.push_back(i);
        }
        return out;
    };
    screen.click(0);
    EXPECT_EQ(screen.view.selected(), "7E0");
    EXPECT_EQ(outlined(), std::vector<int>{0});
    EXPECT_EQ(screen.detailName(), "Moteur");
    screen.click(0);
    EXPECT_FALSE(screen.view.selected().has_value());
    EXPECT_TRUE(outlined().empty());
    EXPECT_EQ(screen.detail(), nullptr);

    screen.click(2); // a silent ECU can be selected too
    screen.click(1);
    EXPECT_EQ(screen.view.selected(), "7E1");
    EXPECT_EQ(outlined(), std::vector<int>{1});
    EXPECT_EQ(screen.detailName(), "Bo\u00EEte de vitesses");
}

TEST(ECUMapView, DetailShowsAddressesIdentificationAndUDSCodes) {
    struct Case {
        int card;
        const char* addresses;
        const char* part;
        const char* version;
        std::vector<std::string> codes;
        std::vector<std::string> titles;
        std::vector<std::string> confirmed; // the "confirmé" marks, in order
        bool empty;                         // "Aucun code"
    };
    const Case cases[] = {
        {0, "7E0 / 7E8", "A2569006200", "0044/3.11.0", {"P0300-64", "P0171-00"},
         {DTCDatabase::describe("P0300").title, DTCDatabase::describe("P0171").title}, {"confirm\u00E9"}, false},
        {1, "7E1 / 7E9", "A7252702300", "\u2014", {}, {}, {}, true},
        {2, "7E2 / 7EA", "\u2014", "\u2014", {}, {}, {}, true},
        {3, "7E3 / 7EB", "\u2014", "\u2014", {}, {}, {}, true},
    };
    for (const auto& c : cases) {
        Screen screen(fourECUs(), fourCodes());
        screen.click(c.card);
        const QWidget* detail = screen.detail();
        ASSERT_NE(detail, nullptr) << c.card;
        if (c.card == 0) shoot(screen.view, QStringLiteral("ecu-map-detail-codes"));
        if (c.card == 0) {
            EXPECT_EQ(texts(*detail, QStringLiteral("fieldLabel")),
                      (std::vector<std::string>{"ADRESSE TX / RX", "NUM\u00C9RO DE PI\u00C8CE", "VERSION LOGICIELLE"}));
            EXPECT_EQ(textOf(*detail, "udsHeading"), "Codes d\u00E9faut UDS (service 0x19)");
        }
        EXPECT_EQ(textOf(*detail, "addresses"), c.addresses);
        EXPECT_EQ(textOf(*detail, "partNumber"), c.part);
        EXPECT_EQ(textOf(*detail, "softwareVersion"), c.version);
        EXPECT_EQ(texts(*detail, QStringLiteral("udsCode")), c.codes);
        EXPECT_EQ(texts(*detail, QStringLiteral("udsTitle")), c.titles);
        EXPECT_EQ(texts(*detail, QStringLiteral("udsConfirmed")), c.confirmed);
        EXPECT_EQ(textOf(*detail, "udsEmpty"), c.empty ? "Aucun code" : "<none>");
        if (c.empty) {
            EXPECT_EQ(textColor(only<QLabel>(*detail, QStringLiteral("udsEmpty"))), VEQ::confirm());
        }
    }
}

// An ECU whose codes could not be read says so on its card and in its detail, in the warning
// colour: neither the green "Aucun code" nor a count of faults.
TEST(ECUMapView, CodesThatCouldNotBeReadAreNotShownAsNone) {
    Screen screen({ecu("Moteur", "7E0", true, "A2569006200"), ecu("Bo\u00EEte de vitesses", "7E1", true)},
                  {{"7E0", std::nullopt}, {"7E1", std::vector<UDSDTC>{}}});
    const auto cards = screen.cards();
    ASSERT_EQ(cards.size(), 2);
    EXPECT_EQ(textOf(*cards[0], "ecuCodesUnread"), "Codes non lus");
    EXPECT_EQ(textColor(only<QLabel>(*cards[0], QStringLiteral("ecuCodesUnread"))), VEQ::warning());
    EXPECT_EQ(textOf(*cards[0], "ecuCodeCount"), "<none>");
    EXPECT_EQ(textOf(*cards[1], "ecuCodesUnread"), "<none>");
    EXPECT_EQ(screen.diagram()->nodes().at(0).color, VEQ::warning());
    screen.click(0);
    ASSERT_NE(screen.detail(), nullptr);
    shoot(screen.view, QStringLiteral("ecu-map-codes-unread"));
    EXPECT_EQ(textOf(*screen.detail(), "udsUnread"), "Codes non lus");
    EXPECT_EQ(textColor(only<QLabel>(*screen.detail(), QStringLiteral("udsUnread"))), VEQ::warning());
    EXPECT_EQ(textOf(*screen.detail(), "udsEmpty"), "<none>");
    screen.click(1);
    EXPECT_EQ(textOf(*screen.detail(), "udsEmpty"), "Aucun code");
    EXPECT_EQ(textOf(*screen.detail(), "udsUnread"), "<none>");
}

TEST(ECUMapView, ConfirmedMarkFollowsStatusBit08Only) {
    const std::pair<std::uint8_t, bool> statuses[] = {{0x08, true}, {0x09, true}, {0xFF, true}, {0x88, true},
                                                      {0x04, false}, {0x00, false}, {0x01, false}, {0xF7, false}};
    std::vector<UDSDTC> codes;
    for (std::size_t i = 0; i < std::size(statuses); ++i) {
        codes.push_back(uds("P0300", static_cast<std::uint8_t>(i), statuses[i].first));
    }
    Screen screen({ecu("Moteur", "7E0", true)}, {{"7E0", codes}});
    screen.click(0);
    ASSERT_NE(screen.detail(), nullptr);
    // Each row: its code, and "confirmé" on the same line or nothing.
    const auto rows = named<QLabel>(*screen.detail(), QStringLiteral("udsCode"));
    const auto marks = named<QLabel>(*screen.detail(), QStringLiteral("udsConfirmed"));
    ASSERT_EQ(rows.size(), static_cast<qsizetype>(std::size(statuses)));
    for (std::size_t i = 0; i < std::size(statuses); ++i) {
        const int rowMiddle = rows[static_cast<int>(i)]->mapTo(&screen.view, rows[static_cast<int>(i)]->rect().center()).y();
        const bool marked = std::any_of(marks.begin(), marks.end(), [&](const QLabel* mark) {
            return std::abs(mark->mapTo(&screen.view, mark->rect().center()).y() - rowMiddle) <= 2;
        });
        EXPECT_EQ(marked, statuses[i].second) << "status " << int(statuses[i].first);
        EXPECT_EQ(text(rows[static_cast<int>(i)]), "P0300-" + hex(static_cast<unsigned>(i), 2));
    }
}

TEST(ECUMapView, ASelectionSurvivesItsECUGoingAwayAndShowsAgainWhenItReturns) {
    Screen screen(fourECUs(), fourCodes());
    screen.click(1);
    ASSERT_EQ(screen.detailName(), "Bo\u00EEte de vitesses");
    auto others = fourECUs();
    others.erase(others.begin() + 1);
    Access::setEcus(screen.model(), others);
    settle();
    EXPECT_EQ(screen.view.selected(), "7E1");
    EXPECT_EQ(screen.detail(), nullptr);
    const auto left = screen.cards();
    EXPECT_TRUE(std::none_of(left.begin(), left.end(), [](const ECUCard* c) { return c->isSelectedCard(); }));
    Access::setEcus(screen.model(), fourECUs());
    settle();
    EXPECT_EQ(screen.detailName(), "Bo\u00EEte de vitesses");
    EXPECT_TRUE(screen.cards()[1]->isSelectedCard());
    // New codes for the selected ECU reach its card, node and detail.
    Access::setUdsDTCs(screen.model(), {{"7E1", {uds("P0715", 0x62, 0x08)}}});
    settle();
    EXPECT_EQ(texts(*screen.detail(), QStringLiteral("udsCode")), std::vector<std::string>{"P0715-62"});
    EXPECT_EQ(textOf(*screen.cards()[1], "ecuCodeCount"), "1 d\u00E9faut(s)");
    EXPECT_EQ(screen.diagram()->nodes().at(1).color, VEQ::critical());
    EXPECT_EQ(screen.diagram()->nodes().at(0).color, VEQ::confirm()); // the engine's codes are gone
    Access::setEcus(screen.model(), {});
    settle();
    EXPECT_NE(only(screen.view, QStringLiteral("emptyState")), nullptr);
    EXPECT_EQ(screen.detail(), nullptr);
}

// The simulated car's ECUs at the sizes users see: a long name ("Module de porte conducteur")
// wraps inside its card rather than being cut.
TEST(ECUMapView, LongNamesWrapWholeInsideTheirCards) {
    LiveScreen<ECUMapView> screen(true); // one connection; the ECUs do not depend on the size
    ASSERT_TRUE(waitUntil([&] { return !screen.model().ecus().empty(); }));
    for (const UserSize& size : userSizes) {
        SCOPED_TRACE(size.name);
        present(*screen.view, size.content);
        const auto cards = cardsOf(*screen.view);
        ASSERT_EQ(cards.size(), static_cast<qsizetype>(screen.model().ecus().size()));
        int wrapped = 0;
        for (const ECUCard* card : cards) {
            const auto* name = only<QLabel>(*card, QStringLiteral("ecuName"));
            ASSERT_NE(name, nullptr);
            EXPECT_TRUE(shownWhole(*name)) << text(name);
            EXPECT_TRUE(card->rect().contains(placeIn(*card, *name))) << text(name);
            if (name->height() >= 2 * QFontMetrics(name->font()).lineSpacing()) ++wrapped;
        }
        EXPECT_GT(wrapped, 0) << "no name long enough to need two lines";
        shoot(*screen.view, QStringLiteral("ecu-map-live-") + QString::fromStdString(size.name));
    }
}

// Both diagnostics screens only show what the model holds: showing, selecting and redrawing them
// sends the car nothing but polling.
TEST(DiagnosticsScreens, ShowingSelectingAndRedrawingSendNothingToTheCar) {
    ScriptedCar car;
    ConnectionRig rig({.car = &car});
    ASSERT_TRUE(settledLive(rig)) << rig->phase().message;
    const std::size_t before = car.lines().size();
    {
        DiagnosticView view(*rig);
        present(view, screenSize);
        shoot(view, QStringLiteral("diagnostic-scripted-car"));
        Access::setDtcs(*rig, {uds("P0420", 0, 0).dtc, uds("P0300", 0, 0).dtc});
        view.resize(500, 400);
        settle();
        view.grab();
    }
    {
        ECUMapView view(*rig);
        present(view, screenSize);
        const auto cards = view.findChildren<ECUCard*>(QStringLiteral("ecuCard"));
        ASSERT_FALSE(cards.isEmpty());
        for (ECUCard* card : cards) {
            QTest::mouseClick(card, Qt::LeftButton);
            settle();
        }
        rig->setNightMode(true);
        shoot(view, QStringLiteral("ecu-map-scripted-car"));
        view.resize(400, 500);
        settle();
        view.grab();
    }
    // Polling goes on meanwhile: wait for some of it so that the check sees traffic.
    EXPECT_TRUE(waitUntil([&] { return car.lines().size() >= before + 10; }));
    EXPECT_TRUE(onlyPollingFrom(car, before));
    rig->disconnect();
}

} // namespace ecu_map

} // namespace
} // namespace veq
