#include "InstrumentFixtures.hpp"

#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/CockpitTopBar.hpp"
#include "VEQUI/Views/CockpitView.hpp"
#include "VEQUI/Views/EventLogControl.hpp"
#include "VEQUI/Views/GearStripView.hpp"
#include "VEQUI/Views/HeroTachometer.hpp"
#include "VEQUI/Views/InstrumentReadings.hpp"
#include "VEQUI/Views/TextItem.hpp"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace veq {
namespace {

using namespace veq::testing;
namespace R = InstrumentReadings;
using LogKind = AppModel::LogPhase::Kind;

// The cockpit as the content area shows it beside the sidebar in a 1280 x 800 window.
constexpr QSize contentSize(1069, 800);

struct Cockpit {
    ConnectionRig rig;
    std::unique_ptr<CockpitView> view;

    explicit Cockpit(bool live) {
        if (live) {
            EXPECT_TRUE(rig.connect());
            // The flanks and tiles of the road layout have all answered once.
            EXPECT_TRUE(waitUntil([&] {
                for (const std::uint8_t pid : {0x05, 0x5C, 0x0B, 0x2F, 0x46, 0x42, 0x04, 0x0F, 0x0C, 0x0D}) {
                    if (!rig->store().value(pid)) return false;
                }
                return true;
            }));
        }
        view = std::make_unique<CockpitView>(*rig);
        view->setAnimated(false);
        view->resize(contentSize);
        view->show();
        settle();
    }

    CockpitTopBar& bar() const { return *view->topBar(); }
    EventLogControl& log() const { return *bar().logControl(); }
    const StatusChips& chips() const {
        return bar().findChild<ComponentView<StatusChips>*>(QStringLiteral("statusChips"))->component();
    }
    const VehicleIdentity& identity() const {
        return bar().findChild<ComponentView<VehicleIdentity>*>(QStringLiteral("vehicleIdentity"))->component();
    }
    QAbstractButton* button(const QString& name) const { return view->findChild<QAbstractButton*>(name); }
    // Lets the display tick pass until `done` holds.
    bool until(const std::function<bool()>& done) const { return waitUntil(done); }
};

std::string title(const CircularGaugeView* gauge) { return gauge->gauge().title.toStdString(); }

TEST(CockpitView, EachLayoutShowsItsFlankGaugesAndValueTiles) {
    struct Layout {
        CockpitLayout layout;
        const char* id;
        std::array<std::uint8_t, 2> flanks;
        std::array<const char*, 2> flankTitles;
        std::array<std::uint8_t, 6> band;
        std::array<const char*, 6> tileTitles;
    };
    // Transcribed from the cockpit's layout tables and its caption table.
    static const Layout layouts[] = {
        {CockpitLayout::road, "road", {0x05, 0x5C}, {"Eau", "Huile"},
         {0x0B, 0x2F, 0x46, 0x42, 0x04, 0x0F}, {"Suralim.", "Réservoir", "Ambiant", "Tension", "Charge", "Adm."}},
        {CockpitLayout::track, "track", {0x0B, 0x5C}, {"Suralim.", "Huile"},
         {0x04, 0x0E, 0x11, 0x10, 0x05, 0x42}, {"Charge", "Avance", "Papillon", "Débit air", "Eau", "Tension"}},
        {CockpitLayout::economy, "economy", {0x10, 0x5E}, {"Débit air", "Conso"},
         {0x04, 0x0D, 0x11, 0x05, 0x2F, 0x42}, {"Charge", "Vitesse", "Papillon", "Eau", "Réservoir", "Tension"}},
        {CockpitLayout::engine, "engine", {0x05, 0x5C}, {"Eau", "Huile"},
         {0x04, 0x0E, 0x10, 0x5E, 0x0F, 0x42}, {"Charge", "Avance", "Débit air", "Conso", "Adm.", "Tension"}},
        {CockpitLayout::transmission, "transmission", {0x5C, 0x42}, {"Huile", "Tension"},
         {0x0C, 0x0D, 0x04, 0x11, 0x05, 0x42}, {"Régime", "Vitesse", "Charge", "Papillon", "Eau", "Tension"}},
    };
    Cockpit cockpit(true);
    AppModel& model = *cockpit.rig;
    // Start away from the first layout so that every tab press is a change.
    model.setActiveLayout(CockpitLayout::transmission);
    int position = 1;
    for (const auto& l : layouts) {
        SCOPED_TRACE(l.id);
        EXPECT_EQ(layoutFlankPIDs(l.layout), l.flanks);
        EXPECT_EQ(layoutBandPIDs(l.layout), l.band);
        QAbstractButton* tab = cockpit.button(QStringLiteral("layoutTab-") + QString::fromLatin1(l.id));
        ASSERT_NE(tab, nullptr);
        EXPECT_EQ(tab->toolTip().toStdString(), "Ctrl+" + std::to_string(position++));
        QTest::mouseClick(tab, Qt::LeftButton);
        EXPECT_EQ(model.activeLayout(), l.layout);
        EXPECT_TRUE(cockpit.until([&] { return title(cockpit.view->leftFlank()) == l.flankTitles[0]; }));
        EXPECT_EQ(title(cockpit.view->rightFlank()), l.flankTitles[1]);
        EXPECT_EQ(cockpit.view->leftFlank()->gauge().scale, model.scale(l.flanks[0]));
        EXPECT_EQ(cockpit.view->rightFlank()->gauge().unit, R::unitSymbol(l.flanks[1], UnitSystem::metric));
        for (std::size_t i = 0; i < 6; ++i) {
            const ValueTile& tile = cockpit.view->tiles()[i]->component();
            EXPECT_EQ(tile.title.toStdString(), l.tileTitles[i]) << i;
            EXPECT_EQ(tile.unit, R::unitSymbol(l.band[i], UnitSystem::metric)) << i;
        }
        shoot(*cockpit.view, QStringLiteral("cockpit-") + QString::fromLatin1(l.id));
    }
}

TEST(CockpitView, PressingTheActiveTabChangesNothing) {
    Cockpit cockpit(false);
    QSignalSpy changes(cockpit.rig.model.get(), &AppModel::activeLayoutChanged);
    QTest::mouseClick(cockpit.button(QStringLiteral("layoutTab-road")), Qt::LeftButton);
    EXPECT_EQ(changes.count(), 0);
    QTest::mouseClick(cockpit.button(QStringLiteral("layoutTab-economy")), Qt::LeftButton);
    EXPECT_EQ(changes.count(), 1);
}

TEST(CockpitView, LiveCarShowsItsChipsTelltalesIdentityAndTiles) {
    Cockpit cockpit(true);
    AppModel& model = *cockpit.rig;
    ASSERT_FALSE(model.dtcs().empty()); // the simulated car keeps trouble codes
    EXPECT_TRUE(cockpit.until([&] {
        const auto& chips = cockpit.chips().chips;
        return chips.size() >= 3 && chips[2].text == R::requestRateText(model.store().requestsPerSecond());
    }));
    const auto& chips = cockpit.chips().chips;
    EXPECT_EQ(chips[0].text.toStdString(), "Contact");
    EXPECT_TRUE(chips[0].on);
    EXPECT_EQ(chips[1].text, R::faultChipText(model.dtcs().size()));
    EXPECT_TRUE(chips[1].on);
    EXPECT_EQ(chips[1].color, VEQ::critical());

    const auto& lamps = cockpit.view->telltales()->component().lamps;
    EXPECT_TRUE(lamps[0].active); // trouble codes light the engine lamp

    const VehicleIdentity& identity = cockpit.identity();
    EXPECT_EQ(identity.label.toStdString(), model.vehicleLabel());
    EXPECT_EQ(identity.vin.toStdString(), model.vin().value_or("<none>"));
    EXPECT_EQ(identity.matchedFromVIN, model.profileMatchedFromVIN());
    ASSERT_TRUE(model.identifiedEngine());
    EXPECT_EQ(identity.family.toStdString(), model.identifiedEngine()->family);
    EXPECT_FALSE(identity.calibrated);
    model.setCalibration(VehicleCalibration::matchDashboard);
    EXPECT_TRUE(cockpit.until([&] { return cockpit.identity().calibrated; }));
    // The tank capacity alone is no calibration.
    model.setCalibration(VehicleCalibration{1.0, 60.0, 1.0, 0.0});
    EXPECT_TRUE(cockpit.until([&] { return !cockpit.identity().calibrated; }));

    const ValueTile& first = cockpit.view->tiles()[0]->component();
    EXPECT_FALSE(first.value.isEmpty());
    EXPECT_NE(first.value.toStdString(), "—");
    EXPECT_EQ(first.accent, VEQ::accent());
    shoot(*cockpit.view, QStringLiteral("cockpit-live"));

    model.disconnect();
    EXPECT_TRUE(cockpit.until([&] { return !cockpit.chips().chips[0].on; }));
    EXPECT_EQ(cockpit.chips().chips[1].text.toStdString(), "0 défaut");
    EXPECT_FALSE(cockpit.chips().chips[1].on);
    EXPECT_EQ(cockpit.view->tiles()[0]->component().value.toStdString(), "—");
    EXPECT_EQ(cockpit.view->leftFlank()->gauge().value, std::nullopt);
}

TEST(CockpitView, TripChipsAppearOnceThereIsATrip) {
    Cockpit cockpit(false);
    AppModel& model = *cockpit.rig;
    EXPECT_EQ(cockpit.chips().chips.size(), 3u);
    feed(model, 0x0D, 0, 0);
    feed(model, 0x0D, 50, 3);
    feed(model, 0x0D, 100, 6);
    ASSERT_GT(model.store().trip().distanceKm, 0.05);
    ASSERT_TRUE(model.store().trip().zeroToHundredSec);
    EXPECT_TRUE(cockpit.until([&] { return cockpit.chips().chips.size() == 5; }));
    const auto& chips = cockpit.chips().chips;
    EXPECT_EQ(chips[3].text, R::distanceText(model.store().trip().distanceKm));
    EXPECT_EQ(chips[3].icon, "road.lanes");
    EXPECT_EQ(chips[4].text.toStdString(), "0-100 6.0s");
    EXPECT_EQ(chips[4].color, VEQ::warning());
}

TEST(CockpitView, GearStripShowsWhereTheGearComesFrom) {
    Cockpit cockpit(false);
    AppModel& model = *cockpit.rig;
    const GearEstimator& estimator = model.gearEstimator();
    struct Case {
        const char* name;
        std::optional<double> reported;
        bool engineAndRoadSpeed;
        int activeBox; // -1: none
        R::GearSource source;
    };
    static const Case cases[] = {
        {"read", 7, false, 7, R::GearSource::read},
        {"estimated", std::nullopt, true, 4, R::GearSource::estimated},
        {"neutral", 0, true, -1, R::GearSource::neutral},
        {"none", std::nullopt, false, -1, R::GearSource::none},
        {"reverse", 14, false, 0, R::GearSource::read},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        model.store().reset();
        if (c.reported) feed(model, 0xA4, *c.reported);
        if (c.engineAndRoadSpeed) {
            feed(model, 0x0D, 80);
            feed(model, 0x0C, estimator.expectedRatio(3) * 80);
        }
        // Reset and feeding both notify the cockpit; one tick shows the result.
        cockpit.view->coalescer().tick();
        const GearStripView& strip = *cockpit.view->gearStrip();
        EXPECT_EQ(strip.content().source, c.source);
        for (int box = 0; box <= estimator.gearCount(); ++box) {
            EXPECT_EQ(strip.isActive(box), box == c.activeBox) << box;
            EXPECT_DOUBLE_EQ(strip.boxScale(box), box == c.activeBox ? 1.12 : 1.0) << box;
        }
        settle();
        const QImage image = cockpit.view->grab(cockpit.view->gearStrip()->geometry()).toImage();
        saveScreen(image, QStringLiteral("cockpit-gear-") + QString::fromLatin1(c.name));
    }
}

TEST(CockpitView, EventLogControlInItsFourFormsWithTheResultLine) {
    Cockpit cockpit(true);
    AppModel& model = *cockpit.rig;
    EventLogControl& log = cockpit.log();
    const auto form = [&] { return log.form(); };
    const auto text = [&](const char* name) {
        auto* item = log.findChild<TextItemView*>(QString::fromLatin1(name));
        return item ? item->component().text.toStdString() : std::string("<none>");
    };

    ASSERT_EQ(form(), LogKind::idle);
    QAbstractButton* start = cockpit.button(QStringLiteral("logButton"));
    ASSERT_NE(start, nullptr);
    EXPECT_EQ(start->toolTip().toStdString(), "Poser la marque de début du log");
    EXPECT_EQ(text("savedLogLine"), "<none>");

    // Start, stop, discard: back to the LOG button with no result line.
    QTest::mouseClick(start, Qt::LeftButton);
    ASSERT_EQ(model.logPhase().kind, LogKind::running);
    EXPECT_EQ(form(), LogKind::running);
    QAbstractButton* stop = cockpit.button(QStringLiteral("stopLogButton"));
    ASSERT_NE(stop, nullptr);
    EXPECT_EQ(stop->toolTip().toStdString(), "Poser la marque de fin");
    QTest::mouseClick(stop, Qt::LeftButton);
    ASSERT_EQ(model.logPhase().kind, LogKind::ended);
    settle();
    QAbstractButton* discard = cockpit.button(QStringLiteral("discardLogButton"));
    ASSERT_NE(discard, nullptr);
    EXPECT_EQ(discard->toolTip().toStdString(), "Abandonner ce log");
    QTest::mouseClick(discard, Qt::LeftButton);
    EXPECT_EQ(model.logPhase().kind, LogKind::idle);
    EXPECT_EQ(form(), LogKind::idle);
    settle();

    // Start, let a second of the drive pass, stop, save.
    QTest::mouseClick(cockpit.button(QStringLiteral("logButton")), Qt::LeftButton);
    const auto since = model.logPhase().start;
    log.setClock([since] { return since + std::chrono::milliseconds(75'400); });
    settle();
    auto* clock = log.findChild<QWidget*>(QStringLiteral("runningClock"));
    ASSERT_NE(clock, nullptr);
    shoot(*cockpit.view, QStringLiteral("cockpit-log-running"));
    const auto samples = model.store().recordedSampleCount();
    EXPECT_TRUE(waitUntil([&] { return model.store().recordedSampleCount() > samples + 4; }));
    QTest::mouseClick(cockpit.button(QStringLiteral("stopLogButton")), Qt::LeftButton);
    ASSERT_EQ(model.logPhase().kind, LogKind::ended);
    settle();
    EXPECT_EQ(text("endedDuration"), R::elapsedLabel(model.logPhase().start, model.logPhase().end).toStdString());
    shoot(*cockpit.view, QStringLiteral("cockpit-log-ended"));

    cockpit.rig.dialogs->saveAnswers.push_back(cockpit.rig.folder / "marked.mf4");
    QTest::mouseClick(cockpit.button(QStringLiteral("saveLogButton")), Qt::LeftButton);
    if (model.logPhase().kind == LogKind::saving) {
        EXPECT_EQ(form(), LogKind::saving);
        EXPECT_EQ(text("savingText"), "Écriture…");
        // The picture without letting the save finish first: layouts only.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        const QImage image = cockpit.view->grab().toImage();
        saveScreen(image, QStringLiteral("cockpit-log-saving"));
    }
    ASSERT_TRUE(waitUntil([&] { return model.logPhase().kind == LogKind::idle && model.lastSavedLog(); }));
    settle();
    EXPECT_EQ(form(), LogKind::idle);
    const auto& saved = *model.lastSavedLog();
    EXPECT_GT(saved.records, 0u);
    EXPECT_EQ(text("savedLogLine"), R::savedLogText(saved.records, saved.duration).toStdString());
    shoot(*cockpit.view, QStringLiteral("cockpit-log-saved"));
}

TEST(CockpitView, RunningTimeCountsFromTheStartMark) {
    Cockpit cockpit(true);
    AppModel& model = *cockpit.rig;
    EventLogControl& log = cockpit.log();
    model.startLog();
    ASSERT_EQ(log.form(), LogKind::running);
    const auto since = model.logPhase().start;
    struct Case {
        std::int64_t elapsedMs;
        const char* shown;
    };
    static const Case cases[] = {{3'599'700, "59:59"}, {3'600'000, "60:00"}, {4'500'000, "75:00"}, {-5'000, "00:00"}};
    for (const auto& c : cases) {
        log.setClock([since, c] { return since + std::chrono::milliseconds(c.elapsedMs); });
        EXPECT_EQ(log.runningTime().toStdString(), c.shown) << c.elapsedMs;
    }
    model.endLog();
    EXPECT_EQ(log.runningTime().toStdString(), "");
}

TEST(CockpitView, ImperialUnitsConvertFlanksHeroAndTiles) {
    Cockpit cockpit(true);
    AppModel& model = *cockpit.rig;
    model.setUnitSystem(UnitSystem::imperial);
    EXPECT_TRUE(cockpit.until([&] { return cockpit.view->leftFlank()->gauge().unit.toStdString() == "°F"; }));
    const CircularGauge left = cockpit.view->leftFlank()->gauge();
    const GaugeScale metricScale = model.scale(0x05);
    EXPECT_DOUBLE_EQ(left.scale.max, metricScale.max * 9 / 5 + 32);
    ASSERT_TRUE(left.value);
    EXPECT_TRUE(*left.value >= left.scale.min - 100 && *left.value <= left.scale.max);
    EXPECT_EQ(cockpit.view->hero()->readout().speedUnit.toStdString(), "mph");
    EXPECT_EQ(cockpit.view->tiles()[0]->component().unit.toStdString(), "psi");
    shoot(*cockpit.view, QStringLiteral("cockpit-imperial"));
    model.setUnitSystem(UnitSystem::metric);
    EXPECT_TRUE(cockpit.until([&] { return cockpit.view->leftFlank()->gauge().unit.toStdString() == "°C"; }));
    EXPECT_EQ(cockpit.view->hero()->readout().speedUnit.toStdString(), "km/h");
}

TEST(CockpitView, NightModeTurnsTheAccentAmber) {
    Cockpit cockpit(false);
    AppModel& model = *cockpit.rig;
    model.setNightMode(true);
    EXPECT_TRUE(cockpit.until([&] { return cockpit.view->tiles()[0]->component().accent == VEQ::nightAccent(); }));
    EXPECT_EQ(cockpit.view->hero()->readout().accent, VEQ::nightAccent());
    EXPECT_TRUE(cockpit.view->leftFlank()->gauge().night);
    EXPECT_EQ(cockpit.view->gearStrip()->content().accent, VEQ::nightAccent());
    EXPECT_EQ(cockpit.view->telltales()->component().lamps[4].color, VEQ::nightAccent());
    shoot(*cockpit.view, QStringLiteral("cockpit-night"));
}

// However fast samples arrive, the cockpit and each of its parts paint at most once per tick.
TEST(CockpitView, OnePaintPerTickUnderABurstOfSamples) {
    Cockpit cockpit(false);
    AppModel& model = *cockpit.rig;
    cockpit.view->coalescer().setManualTicks(true);
    settle();
    PaintsPerWidget paints(*cockpit.view);
    for (int tick = 1; tick <= 3; ++tick) {
        for (int i = 0; i < 200; ++i) {
            const double t = tick * 10 + i * 0.001;
            feed(model, 0x0C, 800 + 20 * i + tick, t);
            feed(model, 0x0D, 10 + i * 0.1, t);
            feed(model, 0x05, 60 + i * 0.05 + tick, t);
            feed(model, 0x5C, 70 + i * 0.05 + tick, t);
            feed(model, 0x0B, 100 + i * 0.2, t);
            QCoreApplication::processEvents();
        }
        EXPECT_EQ(paints.of(cockpit.view->hero()), tick - 1) << "nothing is painted between ticks";
        cockpit.view->coalescer().tick();
        settle();
        EXPECT_EQ(paints.of(cockpit.view->hero()), tick);
        EXPECT_EQ(paints.of(cockpit.view->leftFlank()), tick);
        EXPECT_LE(paints.most(), tick) << paints.over(tick);
    }
}

} // namespace
} // namespace veq
