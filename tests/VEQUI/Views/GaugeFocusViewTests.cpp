#include "ScreenFixtures.hpp"

#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Gauges/CircularGaugeView.hpp"
#include "VEQUI/Views/Instruments/GaugeFocusView.hpp"
#include "VEQUI/Views/Instruments/GearStripView.hpp"
#include "VEQUI/Views/Instruments/HeroTachometer.hpp"

#include <gtest/gtest.h>

#include <QTest>

namespace veq {
namespace {

using namespace veq::testing;

struct Focus : LiveScreen<GaugeFocusView> {
    explicit Focus(bool live) : LiveScreen(live, {0x05, 0x5C, 0x0C}, {1300, 800}) {}
};

TEST(GaugeFocusView, LayoutFollowsTheUnitLength) {
    Focus focus(false);
    // min(1300 / 3.25, 800 × 0.78) = 400: flanks 328, hero 448.
    EXPECT_DOUBLE_EQ(focus.view->side(), 400);
    EXPECT_EQ(focus.view->leftFlank()->size(), QSize(328, 328));
    EXPECT_EQ(focus.view->rightFlank()->size(), QSize(328, 328));
    EXPECT_EQ(focus.view->hero()->size(), QSize(448, 448));
    // Centred, 24 points apart (side × 0.06), flanks level with the hero's centre.
    const QRect left = focus.view->leftFlank()->geometry();
    const QRect hero = focus.view->hero()->geometry();
    const QRect right = focus.view->rightFlank()->geometry();
    EXPECT_EQ(hero.left() - left.right() - 1, 24);
    EXPECT_EQ(right.left() - hero.right() - 1, 24);
    EXPECT_NEAR(left.left(), 1300 - right.right() - 1, 1);
    EXPECT_EQ(left.center().y(), hero.center().y());
    const GearStripView& strip = *focus.view->gearStrip();
    EXPECT_EQ(strip.geometry().top() + strip.glowMargin(), hero.bottom() + 1 + 18);
    // The hint sits 18 points from the top right corner.
    const QRectF hint = focus.view->hintRect();
    EXPECT_DOUBLE_EQ(hint.right(), 1300 - 18);
    EXPECT_DOUBLE_EQ(hint.top(), 18);
    EXPECT_EQ(GaugeFocusView::hintText.toStdString(), "Ctrl+Maj+F ou Échap pour quitter le plein écran");

    focus.view->resize(2000, 700); // height-bound: 700 × 0.78 = 546 < 2000 / 3.25
    EXPECT_DOUBLE_EQ(focus.view->side(), 546);
}

TEST(GaugeFocusView, FlanksFollowTheActiveLayout) {
    Focus focus(false);
    EXPECT_EQ(focus.view->leftFlank()->gauge().title.toStdString(), "Eau");
    focus.model().setActiveLayout(CockpitLayout::transmission);
    EXPECT_TRUE(waitUntil([&] { return focus.view->leftFlank()->gauge().title.toStdString() == "Huile"; }));
    EXPECT_EQ(focus.view->rightFlank()->gauge().title.toStdString(), "Tension");
}

TEST(GaugeFocusView, HeroReadoutAndShiftCue) {
    Focus focus(false);
    AppModel& model = focus.model();
    model.setSelectedProfile(std::nullopt); // the default scale: warning from 6000
    struct Case { double rpm; double speed; bool cue; const char* speedText; const char* rpmText; };
    static const Case cases[] = {
        {5999, 87.5, false, "88", "5999 tr/min"}, // the focus gauge rounds, halves away from zero
        {6000, 87.4, true, "87", "6000 tr/min"},
        {2499.5, 0, false, "0", "2500 tr/min"},
    };
    for (const auto& c : cases) {
        feed(model, 0x0C, c.rpm);
        feed(model, 0x0D, c.speed);
        focus.tick();
        const HeroReadout& readout = focus.view->hero()->readout();
        EXPECT_EQ(readout.shiftCue, c.cue) << c.rpm;
        EXPECT_EQ(readout.speedText().toStdString(), c.speedText);
        EXPECT_EQ(readout.rpmText().toStdString(), c.rpmText);
    }
    shoot(*focus.view, QStringLiteral("focus-shift-cue"));
}

TEST(GaugeFocusView, GearStripLightsOnlyTheEngagedGear) {
    Focus focus(false);
    // Reverse: only "R", 10 % larger.
    feed(focus.model(), 0xA4, 15);
    focus.tick();
    const GearStripView& strip = *focus.view->gearStrip();
    for (int box = 0; box <= 9; ++box) {
        EXPECT_EQ(strip.isActive(box), box == 0) << box;
        EXPECT_DOUBLE_EQ(strip.boxScale(box), box == 0 ? 1.1 : 1.0) << box;
    }
    shoot(*focus.view, QStringLiteral("focus-reverse"));
}

TEST(GaugeFocusView, HintFadesAfterThreeSecondsWithoutMovementAndReturnsOnMovement) {
    Focus focus(false);
    GaugeFocusView& view = *focus.view;
    QTimer& timer = view.hideTimer();
    EXPECT_TRUE(view.showChrome());
    EXPECT_EQ(timer.interval(), 3000);
    EXPECT_TRUE(timer.isActive()) << "scheduled when first shown";
    shoot(view, QStringLiteral("focus-hint"));

    // Three seconds pass without movement (shortened here): the hint goes.
    timer.setInterval(20);
    timer.start();
    ASSERT_TRUE(waitUntil([&] { return !view.showChrome(); }));
    EXPECT_EQ(view.chromeOpacity(), 0);

    // A movement over a gauge, not over the view itself, brings it back and re-arms the hide.
    timer.setInterval(3000);
    QTest::mouseMove(view.hero(), QPoint(100, 100));
    settle();
    EXPECT_TRUE(view.showChrome());
    EXPECT_EQ(view.chromeOpacity(), 1);
    EXPECT_TRUE(timer.isActive());
    EXPECT_GT(timer.remainingTime(), 2000);

    // Continuous movement keeps it: every movement restarts the wait.
    QTest::mouseMove(view.leftFlank(), QPoint(50, 60));
    settle();
    EXPECT_GT(timer.remainingTime(), 2000);
    EXPECT_TRUE(view.showChrome());

    // Animated, the hint fades out: begun but not ended when it is hidden, then gone.
    view.setAnimated(true);
    timer.setInterval(10);
    timer.start();
    ASSERT_TRUE(waitUntil([&] { return !view.showChrome(); }));
    EXPECT_GT(view.chromeOpacity(), 0.0);
    EXPECT_TRUE(waitUntil([&] { return view.chromeOpacity() == 0.0; }, std::chrono::seconds(3)));
}

} // namespace
} // namespace veq
