#include "ScreenFixtures.hpp"

#include "VEQProtocol/DTCDatabase.hpp"
#include "VEQUI/Model/AppModel.hpp"
#include "VEQUI/Model/ModelFixtures.hpp"
#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/CapsuleTag.hpp"
#include "VEQUI/Views/DTCCard.hpp"
#include "VEQUI/Views/DiagnosticView.hpp"
#include "VEQUI/Views/SymbolView.hpp"

#include <gtest/gtest.h>

#include <QScrollArea>
#include <QScrollBar>

namespace veq {
namespace {

using namespace veq::testing;
using Access = AppModelTestAccess;

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
    const QImage image = shoot(screen.view, QStringLiteral("diagnostic-empty"));
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
    EXPECT_GT(countNear(image, seal, VEQ::confirm(), 10), 200);
    // The header bar is the raised surface; the rest is the screen's background.
    EXPECT_EQ(image.pixelColor(screenSize.width() / 2, 5), VEQ::surface1());
    EXPECT_EQ(image.pixelColor(10, screenSize.height() - 10), VEQ::background());
}

TEST(DiagnosticView, CountReadsTheNumberOfCodesWithoutSingularInTheFaultColour) {
    struct Case {
        std::vector<DTC> dtcs;
        const char* text;
    };
    const Case cases[] = {
        {codes({"P0300"}), "1 code(s)"},
        {codes({"P0300", "P0171"}), "2 code(s)"},
        {codes({"P0300", "P0300", "P0300"}), "3 code(s)"},
    };
    for (const auto& c : cases) {
        Screen screen(c.dtcs);
        const auto* count = only<QLabel>(screen.view, QStringLiteral("codeCount"));
        EXPECT_EQ(text(count), c.text);
        EXPECT_EQ(textColor(count), VEQ::critical()) << c.text;
        EXPECT_EQ(screen.cards().size(), static_cast<qsizetype>(c.dtcs.size())) << c.text;
    }
}

TEST(DiagnosticView, SeverityGivesTheOutlineDotColourAndLabel) {
    // P0113 is low, P0171 medium, P0300 high in the text base.
    struct Case {
        const char* code;
        QColor color;
        const char* label;
    };
    const Case cases[] = {
        {"P0113", VEQ::confirm(), "Gravit\u00E9 : Faible"},
        {"P0171", VEQ::warning(), "Gravit\u00E9 : Moyenne"},
        {"P0300", VEQ::critical(), "Gravit\u00E9 : \u00C9lev\u00E9e"},
    };
    Screen screen(codes({"P0113", "P0171", "P0300"}));
    const QImage image = shoot(screen.view, QStringLiteral("diagnostic-severities"));
    const auto cards = screen.cards();
    ASSERT_EQ(cards.size(), 3);
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
    struct Case {
        const char* code;
        const char* tag;
        QColor tagColor;
    };
    // A written-out row, a row of a generated series, a code the base does not hold, and a code
    // of the wrong length: described from its structure, with no causes and no causes block.
    const Case cases[] = {
        {"P0300", "NORMALIS\u00C9", VEQ::confirm()},
        {"P0304", "SAE", VEQ::confirm()},
        {"P1234", "STRUCTUREL", VEQ::textSecondary()},
        {"P03", "STRUCTUREL", VEQ::textSecondary()},
    };
    Screen screen(codes({"P0300", "P0304", "P1234", "P03"}));
    const QImage image = shoot(screen.view, QStringLiteral("diagnostic-sources"));
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
        EXPECT_GT(countNear(image, placeIn(screen.view, *tag), c.tagColor, 40), 10) << c.code;
    }
    EXPECT_TRUE(DTCDatabase::describe("P03").causes.empty());
    EXPECT_LT(cards[3]->height(), cards[0]->height());
}

TEST(DiagnosticView, ALongTitleWrapsWholeAndMakesTheCardTaller) {
    // The longest written-out title of the base, at a width that cannot hold it on one line.
    Screen screen(codes({"P0118", "P0300"}), {420, 640});
    shoot(screen.view, QStringLiteral("diagnostic-narrow-wrapping"));
    const auto cards = screen.cards();
    ASSERT_EQ(cards.size(), 2);
    const auto* label = only<QLabel>(*cards[0], QStringLiteral("dtcTitle"));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(text(label), DTCDatabase::describe("P0118").title);
    EXPECT_GE(label->height(), 2 * label->fontMetrics().lineSpacing());
    // Every line of the wrapped title fits in the label's height.
    EXPECT_LE(label->fontMetrics().boundingRect(QRect(0, 0, label->width(), 10000), Qt::TextWordWrap, label->text()).height(),
              label->height());
    // The card holds the whole title within its 16-point padding, and the card fits the screen.
    EXPECT_LE(label->mapTo(cards[0], QPoint(0, label->height())).y(), cards[0]->height() - 16);
    for (const DTCCard* card : cards) {
        EXPECT_EQ(placeIn(screen.view, *card).right() + 1 + 18, 420);
        for (const QLabel* inside : card->findChildren<QLabel*>()) {
            EXPECT_LE(inside->mapTo(card, QPoint(inside->width(), 0)).x(), card->width() - 16) << text(inside);
        }
    }
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
    Access::setDtcs(screen.model(), codes({"P0420"}));
    settle();
    EXPECT_EQ(order(), (std::vector<std::string>{"P0420"}));
    EXPECT_EQ(only(screen.view, QStringLiteral("emptyState")), nullptr);
}

TEST(DiagnosticView, TwentyCodesWithRepeatsGiveTwentyCardsInAScrollingList) {
    const auto twenty = codes({"P0300", "P0171", "P0300", "P0420", "U0100", "P0171", "C1000", "B1000", "P0301", "P0302",
                               "P0134", "P1234", "P0300", "P0562", "P0700", "P0715", "P0087", "P2463", "P0442", "P0128"});
    Screen screen(twenty);
    const auto cards = screen.cards();
    ASSERT_EQ(cards.size(), 20);
    for (int i = 0; i < 20; ++i) EXPECT_EQ(textOf(*cards[i], "dtcCode"), twenty[static_cast<std::size_t>(i)].code) << i;
    EXPECT_EQ(textOf(screen.view, "codeCount"), "20 code(s)");

    auto* scroll = only<QScrollArea>(screen.view, QStringLiteral("codeList"));
    ASSERT_NE(scroll, nullptr);
    EXPECT_FALSE(inView(*scroll->viewport(), *cards.back()));
    scroll->verticalScrollBar()->setValue(scroll->verticalScrollBar()->maximum());
    const QImage bottom = shoot(screen.view, QStringLiteral("diagnostic-twenty-bottom"));
    EXPECT_FALSE(inView(*scroll->viewport(), *cards.front()));
    EXPECT_TRUE(inView(*scroll->viewport(), *cards.back()));
    // The last card ends 18 points above the end of the list, spans its width within the
    // padding, 10 points of background under the one before.
    const QRect last = placeIn(screen.view, *cards.back());
    EXPECT_NEAR(last.bottom() + 1 + 18, screenSize.height(), 1);
    EXPECT_EQ(last.left(), 18);
    EXPECT_EQ(last.right() + 1 + 18, scroll->viewport()->width());
    EXPECT_EQ(last.top() - placeIn(screen.view, *cards[18]).bottom() - 1, 10);
    EXPECT_EQ(bottom.pixelColor(100, last.top() - 5), VEQ::background());
}

} // namespace
} // namespace veq
