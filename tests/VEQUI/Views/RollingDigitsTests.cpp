// Changed digits roll on the value tile, the gauge readout and the tachometer's speed: mid-roll
// the picture is neither the old figure nor the new one and only the changed cells differ from
// the new one; the roll ends on exactly the picture of the new figure. On a live screen a burst
// of values costs one paint per tick, and the ticks stop once the rolls end.
#include "ScreenFixtures.hpp"

#include "VEQUI/Views/Gauges/CircularGaugeView.hpp"
#include "VEQUI/Views/Instruments/CockpitView.hpp"
#include "VEQUI/Views/Instruments/GaugeFocusView.hpp"
#include "VEQUI/Views/Instruments/HeroTachometer.hpp"
#include "VEQUI/Views/Kit/ValueTile.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <utility>

namespace veq {
namespace {

using namespace veq::testing;

QImage picture(QWidget& widget) { return widget.grab().toImage().convertToFormat(QImage::Format_RGB32); }

// The columns where `a` and `b` differ by more than the last bits of antialiasing.
std::pair<int, int> differingColumns(const QImage& a, const QImage& b) {
    int first = a.width();
    int last = -1;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            if (colorDistance(a.pixelColor(x, y), b.pixelColor(x, y)) <= 4) continue;
            first = std::min(first, x);
            last = std::max(last, x);
        }
    }
    return {first, last};
}

// A widget rolling from one figure to another on frames the test steps itself. `fresh` shows the
// new figure, drawn without a roll; both stand on the instruments' background.
template <typename W>
void expectRoll(W& widget, W& fresh, const std::function<void()>& change, const QString& name) {
    for (W* w : {&widget, &fresh}) {
        QPalette palette = w->palette();
        palette.setColor(QPalette::Window, VEQ::background());
        w->setPalette(palette);
        w->setAutoFillBackground(true);
    }
    int wakes = 0;
    widget.setFrameClock([&wakes] { ++wakes; });
    const QImage before = picture(widget);
    const QImage after = picture(fresh);
    ASSERT_NE(before, after);
    change();
    EXPECT_EQ(wakes, 1) << "the roll asks the frame clock for ticks";
    for (int frame = 0; frame < 6; ++frame) widget.advanceFrame(); // a tenth of a second
    const QImage middle = picture(widget);
    saveScreen(middle, name + "-mid-roll");
    EXPECT_NE(middle, before);
    EXPECT_NE(middle, after);
    // Cells the two figures share stay put: mid-roll, the picture differs from the new figure
    // only in the columns of the cells that changed.
    const auto [changedFrom, changedTo] = differingColumns(before, after);
    const auto [movingFrom, movingTo] = differingColumns(middle, after);
    EXPECT_GE(movingFrom, changedFrom);
    EXPECT_LE(movingTo, changedTo);
    int frames = 6;
    for (; widget.isMoving() && frames < 60; ++frames) widget.advanceFrame();
    EXPECT_EQ(frames, 18) << "about 0.3 s at 60 frames a second";
    EXPECT_EQ(picture(widget), after);
    EXPECT_EQ(wakes, 1);
}

TEST(RollingDigits, TheValueTileRollsItsChangedDigitsAndSettlesOnTheNewFigure) {
    const ValueTile next{QStringLiteral("Charge"), QStringLiteral("48.2"), QStringLiteral("%")};
    ValueTileView tile(ValueTile{QStringLiteral("Charge"), QStringLiteral("47.5"), QStringLiteral("%")});
    ValueTileView fresh(next);
    tile.resize(180, 70);
    fresh.resize(180, 70);
    expectRoll(tile, fresh, [&] { tile.set(next); }, QStringLiteral("value-tile"));
}

TEST(RollingDigits, TheGaugeReadoutRollsItsChangedDigitsAndSettlesOnTheNewFigure) {
    // Both values beyond the scale: the needle stands still, only the readout moves.
    const auto gauge = [](double value, const char* title = "Eau") {
        return CircularGauge{.value = value, .scale = GaugeScale{0, 10, std::nullopt, std::nullopt, 5},
                             .title = QString::fromUtf8(title), .unit = QStringLiteral("°C")};
    };
    CircularGaugeView view(gauge(47.5));
    CircularGaugeView fresh(gauge(48.2));
    view.resize(300, 300);
    fresh.resize(300, 300);
    expectRoll(view, fresh, [&] { view.setGauge(gauge(48.2)); }, QStringLiteral("gauge-readout"));
    view.setGauge(gauge(12.3, "Huile"));
    EXPECT_FALSE(view.isMoving()) << "another parameter shows its value at once";
}

TEST(RollingDigits, TheHeroSpeedRollsItsChangedDigitsAndSettlesOnTheNewFigure) {
    const auto reading = [](double speed) {
        return InstrumentReadings::Hero{CircularGauge{.value = 3000, .scale = GaugeScale::defaultFor(0x0C),
                                                      .title = QStringLiteral("Régime ×1000"), .unit = {},
                                                      .big = true, .night = false, .showValue = false},
                                        speed, QStringLiteral("km/h"), false};
    };
    HeroTachometer hero(HeroReadout::cockpit);
    HeroTachometer fresh(HeroReadout::cockpit);
    for (HeroTachometer* view : {&hero, &fresh}) {
        view->resize(480, 480);
        view->setAnimated(false);
    }
    hero.setReading(reading(87), VEQ::accent());
    fresh.setReading(reading(88), VEQ::accent());
    hero.setAnimated(true);
    expectRoll(hero, fresh, [&] { hero.setReading(reading(88), VEQ::accent()); }, QStringLiteral("hero-speed"));
    hero.setAnimated(false);
    hero.setReading(reading(120), VEQ::accent());
    EXPECT_FALSE(hero.isMoving()) << "off, the speed changes at once";
}

// Feeds `pids` values that change many times within one tick, then ticks until every animation
// has stopped: each of the `rolling` parts paints once on each tick of its roll (18, from the
// tick that shows the values), no widget more than once a tick, and nothing once the ticks stop.
template <typename V>
void burstRollsOncePerTick(LiveScreen<V>& screen, const std::vector<std::uint8_t>& pids,
                           const std::vector<const QWidget*>& rolling) {
    RepaintCoalescer& clock = screen.view->coalescer();
    screen.view->setAnimated(true);
    clock.setManualTicks(true);
    for (const auto pid : pids) feed(screen.model(), pid, 47.5);
    for (int t = 0; t < 300 && (clock.pending() || clock.animating() || t == 0); ++t) screen.tick();
    settle();
    ASSERT_FALSE(clock.animating());

    PaintsPerWidget paints(*screen.view);
    for (int i = 0; i < 100; ++i) {
        for (const auto pid : pids) feed(screen.model(), pid, 48.2 + i * 0.37, 1 + i * 0.001);
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(paints.most(), 0) << "nothing is painted between ticks";
    int ticks = 0;
    do {
        screen.tick();
        settle();
        ++ticks;
        for (const QWidget* part : rolling) {
            EXPECT_EQ(paints.of(part), std::min(ticks, 18)) << part->objectName().toStdString() << " at tick " << ticks;
        }
        EXPECT_LE(paints.most(), ticks) << paints.over(ticks);
    } while (clock.animating() && ticks < 300);
    EXPECT_FALSE(clock.animating()) << "the ticks stop once the rolls end";
    const int painted = paints.most();
    screen.tick();
    settle();
    EXPECT_EQ(paints.most(), painted);
}

TEST(RollingDigits, OnALiveScreenABurstCostsOnePaintPerTickAndTheTicksStopWithTheRolls) {
    {
        SCOPED_TRACE("cockpit");
        LiveScreen<CockpitView> cockpit;
        std::vector<const QWidget*> rolling{cockpit.view->hero()};
        for (const ValueTileView* tile : cockpit.view->tiles()) rolling.push_back(tile);
        // The road layout's band and the speed; the engine speed stays, so that its needle rests.
        burstRollsOncePerTick<CockpitView>(cockpit, {0x0D, 0x0B, 0x2F, 0x46, 0x42, 0x04, 0x0F}, rolling);
    }
    {
        SCOPED_TRACE("focus gauge");
        LiveScreen<GaugeFocusView> focus(false, {}, {1280, 800});
        focus.view->hideTimer().stop();
        burstRollsOncePerTick<GaugeFocusView>(focus, {0x0D}, {focus.view->hero()});
    }
}

} // namespace
} // namespace veq
