#include "ScreenFixtures.hpp"

#include "VEQUI/Model/DisplayUnits.hpp"
#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Instruments/CockpitTopBar.hpp"
#include "VEQUI/Views/Instruments/CockpitView.hpp"
#include "VEQUI/Views/Instruments/GaugeFocusView.hpp"
#include "VEQUI/Views/Instruments/GearStripView.hpp"
#include "VEQUI/Views/Instruments/HeroTachometer.hpp"
#include "VEQUI/Views/Instruments/InstrumentReadings.hpp"
#include "VEQUI/Views/Instruments/LiveDataView.hpp"
#include "VEQUI/Views/Instruments/MessagesView.hpp"
#include "VEQUI/Views/Kit/EventLogControl.hpp"
#include "VEQUI/Views/Kit/LogMarkTexts.hpp"
#include "VEQUI/Views/Kit/TextItem.hpp"

#include "VEQProtocol/PIDCatalog.hpp"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QSignalSpy>
#include <QTest>

namespace veq {
namespace {

using namespace veq::testing;
namespace R = InstrumentReadings;
using LogKind = AppModel::LogPhase::Kind;

// The cockpit as the content area shows it beside the sidebar (in a 1280 x 800 window unless
// told); live, once the flanks and tiles of the road layout have all answered.
struct Cockpit : LiveScreen<CockpitView> {
    explicit Cockpit(bool live, QSize size = userSizes[0].content)
        : LiveScreen(live, {0x05, 0x5C, 0x0B, 0x2F, 0x46, 0x42, 0x04, 0x0F, 0x0C, 0x0D}, size) {}
    CockpitTopBar& bar() const { return *view->topBar(); }
    const StatusChips& chips() const {
        return bar().findChild<ComponentView<StatusChips>*>(QStringLiteral("statusChips"))->component();
    }
    const VehicleIdentity& identity() const {
        return bar().findChild<ComponentView<VehicleIdentity>*>(QStringLiteral("vehicleIdentity"))->component();
    }
    QAbstractButton* button(const char* name) const { return view->findChild<QAbstractButton*>(QString::fromLatin1(name)); }
    void click(const char* name) const {
        QTest::mouseClick(button(name), Qt::LeftButton);
        settle();
    }
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
    AppModel& model = cockpit.model();
    // Start away from the first layout so that every tab press is a change.
    model.setActiveLayout(CockpitLayout::transmission);
    QSignalSpy changes(&model, &AppModel::activeLayoutChanged);
    int position = 1;
    for (const auto& l : layouts) {
        SCOPED_TRACE(l.id);
        EXPECT_EQ(layoutFlankPIDs(l.layout), l.flanks);
        EXPECT_EQ(layoutBandPIDs(l.layout), l.band);
        QAbstractButton* tab = cockpit.button((std::string("layoutTab-") + l.id).c_str());
        ASSERT_NE(tab, nullptr);
        EXPECT_EQ(tab->toolTip().toStdString(), "Ctrl+" + std::to_string(position++));
        QTest::mouseClick(tab, Qt::LeftButton);
        EXPECT_EQ(model.activeLayout(), l.layout);
        EXPECT_TRUE(waitUntil([&] { return title(cockpit.view->leftFlank()) == l.flankTitles[0]; }));
        EXPECT_EQ(title(cockpit.view->rightFlank()), l.flankTitles[1]);
        EXPECT_EQ(cockpit.view->leftFlank()->gauge().scale, model.scale(l.flanks[0]));
        EXPECT_EQ(cockpit.view->rightFlank()->gauge().unit, DisplayUnits::unitSymbol(l.flanks[1], UnitSystem::metric));
        for (std::size_t i = 0; i < 6; ++i) {
            const ValueTile& tile = cockpit.view->tiles()[i]->component();
            EXPECT_EQ(tile.title.toStdString(), l.tileTitles[i]) << i;
            EXPECT_EQ(tile.unit, DisplayUnits::unitSymbol(l.band[i], UnitSystem::metric)) << i;
        }
        shoot(*cockpit.view, QStringLiteral("cockpit-") + QString::fromLatin1(l.id));
    }
    // Pressing the active tab again changes nothing.
    cockpit.click("layoutTab-transmission");
    EXPECT_EQ(changes.count(), 5);
}

TEST(CockpitView, LiveCarShowsItsChipsTelltalesIdentityAndTiles) {
    Cockpit cockpit(true);
    AppModel& model = cockpit.model();
    ASSERT_FALSE(model.dtcs().empty()); // the simulated car keeps trouble codes
    EXPECT_TRUE(waitUntil([&] {
        const auto& chips = cockpit.chips().chips;
        return chips.size() >= 3 && chips[2].text == R::requestRateText(model.store().requestsPerSecond());
    }));
    const auto& chips = cockpit.chips().chips;
    EXPECT_EQ(chips[0].text.toStdString(), "Contact");
    EXPECT_TRUE(chips[0].on);
    EXPECT_EQ(chips[1].text, R::faultChipText(model.dtcs().size()));
    EXPECT_EQ(chips[1].color, VEQ::critical());
    EXPECT_TRUE(cockpit.view->telltales()->component().lamps[0].active); // trouble codes light the engine lamp

    const VehicleIdentity& identity = cockpit.identity();
    EXPECT_EQ(identity.label.toStdString(), model.vehicleLabel());
    EXPECT_EQ(identity.vin.toStdString(), model.vin().value_or("<none>"));
    EXPECT_EQ(identity.matchedFromVIN, model.profileMatchedFromVIN());
    ASSERT_TRUE(model.identifiedEngine());
    EXPECT_EQ(identity.family.toStdString(), model.identifiedEngine()->family);
    EXPECT_FALSE(identity.calibrated);
    model.setCalibration(VehicleCalibration::matchDashboard);
    EXPECT_TRUE(waitUntil([&] { return cockpit.identity().calibrated; }));
    // The tank capacity alone is no calibration.
    model.setCalibration(VehicleCalibration{1.0, 60.0, 1.0, 0.0});
    EXPECT_TRUE(waitUntil([&] { return !cockpit.identity().calibrated; }));

    const ValueTile& first = cockpit.view->tiles()[0]->component();
    EXPECT_NE(first.value.toStdString(), "—");
    EXPECT_EQ(first.accent, VEQ::accent());
    shoot(*cockpit.view, QStringLiteral("cockpit-live"));

    model.disconnect();
    EXPECT_TRUE(waitUntil([&] { return !cockpit.chips().chips[0].on; }));
    EXPECT_EQ(cockpit.chips().chips[1].text.toStdString(), "0 défaut");
    EXPECT_EQ(cockpit.view->tiles()[0]->component().value.toStdString(), "—");
    EXPECT_EQ(cockpit.view->leftFlank()->gauge().value, std::nullopt);
}

TEST(CockpitView, TripChipsAppearOnceThereIsATrip) {
    Cockpit cockpit(false);
    AppModel& model = cockpit.model();
    EXPECT_EQ(cockpit.chips().chips.size(), 3u);
    feed(model, 0x0D, 0, 0);
    feed(model, 0x0D, 50, 3);
    feed(model, 0x0D, 100, 6);
    ASSERT_TRUE(model.store().trip().zeroToHundredSec);
    EXPECT_TRUE(waitUntil([&] { return cockpit.chips().chips.size() == 5; }));
    const auto& chips = cockpit.chips().chips;
    EXPECT_EQ(chips[3].text, R::distanceText(model.store().trip().distanceKm));
    EXPECT_EQ(chips[3].icon, "road.lanes");
    EXPECT_EQ(chips[4].text.toStdString(), "0-100 6.0s");
    EXPECT_EQ(chips[4].color, VEQ::warning());
}

// A bar too short for every chip drops the least important first: the trouble codes stay
// longest, then the contact, then the others in their order; the chips kept keep their order.
TEST(CockpitView, ChipsGiveWayByImportanceKeepingTheTroubleCodesLongest) {
    const std::vector<StatusChip> all{
        {"bolt.fill", QStringLiteral("Contact"), true, VEQ::confirm()},
        {"exclamationmark.triangle.fill", QStringLiteral("2 défaut"), true, VEQ::critical()},
        {"gauge.with.dots.needle.bottom.50percent", QStringLiteral("592 req/s"), true, VEQ::accent()},
        {"road.lanes", QStringLiteral("12.4 km"), true, VEQ::accent()},
        {"stopwatch.fill", QStringLiteral("0-100 6.0s"), true, VEQ::warning()},
    };
    // The room that exactly these chips need, side by side.
    const auto room = [&](std::vector<std::size_t> chips) {
        StatusChips some;
        for (const std::size_t i : chips) some.chips.push_back(all[i]);
        return some.sizeHint().width();
    };
    struct Case { const char* name; double width; std::vector<std::size_t> shown; };
    const Case cases[] = {
        {"all fit", room({0, 1, 2, 3, 4}), {0, 1, 2, 3, 4}},
        {"one short of all", room({0, 1, 2, 3, 4}) - 2, {0, 1, 2, 3}},
        {"three", room({0, 1, 2}) + 10, {0, 1, 2}},
        {"contact and codes", room({0, 1}), {0, 1}},
        {"codes alone", room({0, 1}) - 2, {1}},
        {"not even the codes", room({1}) - 2, {}},
    };
    const StatusChips chips{all};
    for (const Case& c : cases) EXPECT_EQ(chips.fitting(c.width), c.shown) << c.name;
}

// At the sizes users see, the live car's trouble-code chip is drawn whatever else gives way.
TEST(CockpitView, TheTroubleCodeChipStaysOnTheBarAtBothWindowSizes) {
    Cockpit cockpit(true); // one connection; the codes do not depend on the size
    ASSERT_FALSE(cockpit.model().dtcs().empty());
    for (const UserSize& size : userSizes) {
        SCOPED_TRACE(size.name);
        present(*cockpit.view, size.content);
        EXPECT_TRUE(waitUntil([&] { return cockpit.chips().chips.size() >= 3 && cockpit.chips().chips[1].on; }));
        const QImage image = shoot(*cockpit.view, QStringLiteral("cockpit-chips-") + QString::fromStdString(size.name));
        const QWidget& chips = *cockpit.bar().findChild<QWidget*>(QStringLiteral("statusChips"));
        const auto shown = cockpit.chips().fitting(chips.width());
        EXPECT_TRUE(std::find(shown.begin(), shown.end(), std::size_t{1}) != shown.end());
        // Its icon, in the critical colour, is painted among the chips.
        EXPECT_GT(countNear(image, placeIn(*cockpit.view, chips), VEQ::critical(), 40), 10);
    }
}

TEST(CockpitView, GearStripLightsTheGearReadOrEstimated) {
    Cockpit cockpit(false);
    AppModel& model = cockpit.model();
    const GearEstimator& estimator = model.gearEstimator();
    // A reported 7th, then no report but engine and road speeds of the 4th; the box lit grows 12 %.
    for (const auto& [reported, activeBox] : {std::pair<std::optional<double>, int>{7, 7}, {std::nullopt, 4}}) {
        model.store().reset();
        if (reported) feed(model, 0xA4, *reported);
        feed(model, 0x0D, 80);
        feed(model, 0x0C, estimator.expectedRatio(3) * 80);
        cockpit.tick();
        const GearStripView& strip = *cockpit.view->gearStrip();
        EXPECT_EQ(strip.content().source, reported ? R::GearSource::read : R::GearSource::estimated);
        for (int box = 0; box <= estimator.gearCount(); ++box) {
            EXPECT_EQ(strip.isActive(box), box == activeBox) << box;
            EXPECT_DOUBLE_EQ(strip.boxScale(box), box == activeBox ? 1.12 : 1.0) << box;
        }
        settle();
        saveScreen(cockpit.view->grab(strip.geometry()).toImage(), QStringLiteral("cockpit-gear-%1").arg(activeBox));
    }
}

TEST(CockpitView, EventLogControlInItsFourFormsWithTheResultLine) {
    Cockpit cockpit(true);
    AppModel& model = cockpit.model();
    EventLogControl& log = *cockpit.bar().logControl();
    const auto item = [&](const char* name) {
        auto* found = log.findChild<TextItemView*>(QString::fromLatin1(name));
        return found ? found->component().text.toStdString() : std::string("<none>");
    };
    const auto tip = [&](const char* name) { return cockpit.button(name) ? cockpit.button(name)->toolTip().toStdString() : "<none>"; };
    ASSERT_EQ(log.form(), LogKind::idle);
    EXPECT_EQ(tip("logButton"), "Poser la marque de début du log");
    EXPECT_EQ(item("savedLogLine"), "<none>");

    // Start, stop, discard: back to the LOG button with no result line.
    cockpit.click("logButton");
    EXPECT_EQ(log.form(), LogKind::running);
    EXPECT_EQ(tip("stopLogButton"), "Poser la marque de fin");
    cockpit.click("stopLogButton");
    ASSERT_EQ(model.logPhase().kind, LogKind::ended);
    EXPECT_EQ(tip("discardLogButton"), "Abandonner ce log");
    cockpit.click("discardLogButton");
    EXPECT_EQ(model.logPhase().kind, LogKind::idle);
    EXPECT_EQ(log.form(), LogKind::idle);

    // Start; the running time counts from the start mark; stop, save.
    cockpit.click("logButton");
    const auto since = model.logPhase().start;
    log.setClock([since] { return since + std::chrono::milliseconds(75'400); });
    EXPECT_EQ(log.runningTime().toStdString(), "01:15");
    settle();
    shoot(*cockpit.view, QStringLiteral("cockpit-log-running"));
    const auto samples = model.store().recordedSampleCount();
    EXPECT_TRUE(waitUntil([&] { return model.store().recordedSampleCount() > samples + 4; }));
    cockpit.click("stopLogButton");
    ASSERT_EQ(model.logPhase().kind, LogKind::ended);
    EXPECT_EQ(log.runningTime().toStdString(), "");
    EXPECT_EQ(item("endedDuration"), LogMarkTexts::elapsedLabel(model.logPhase().start, model.logPhase().end).toStdString());
    shoot(*cockpit.view, QStringLiteral("cockpit-log-ended"));

    cockpit.rig.dialogs->saveAnswers.push_back(cockpit.rig.folder / "marked.mf4");
    QTest::mouseClick(cockpit.button("saveLogButton"), Qt::LeftButton);
    if (model.logPhase().kind == LogKind::saving) {
        EXPECT_EQ(log.form(), LogKind::saving);
        EXPECT_EQ(item("savingText"), "Écriture…");
    }
    ASSERT_TRUE(waitUntil([&] { return model.logPhase().kind == LogKind::idle && model.lastSavedLog(); }));
    settle();
    EXPECT_EQ(log.form(), LogKind::idle);
    const auto& saved = *model.lastSavedLog();
    EXPECT_GT(saved.records, 0u);
    EXPECT_EQ(item("savedLogLine"), LogMarkTexts::savedLogText(saved.records, saved.duration).toStdString());
    shoot(*cockpit.view, QStringLiteral("cockpit-log-saved"));
}

TEST(CockpitView, ImperialUnitsAndNightModeReachEveryPart) {
    Cockpit cockpit(true);
    AppModel& model = cockpit.model();
    model.setUnitSystem(UnitSystem::imperial);
    EXPECT_TRUE(waitUntil([&] { return cockpit.view->leftFlank()->gauge().unit.toStdString() == "°F"; }));
    EXPECT_DOUBLE_EQ(cockpit.view->leftFlank()->gauge().scale.max, model.scale(0x05).max * 9 / 5 + 32);
    EXPECT_EQ(cockpit.view->hero()->readout().speedUnit.toStdString(), "mph");
    EXPECT_EQ(cockpit.view->tiles()[0]->component().unit.toStdString(), "psi");
    shoot(*cockpit.view, QStringLiteral("cockpit-imperial"));

    model.setNightMode(true);
    EXPECT_TRUE(waitUntil([&] { return cockpit.view->tiles()[0]->component().accent == VEQ::nightAccent(); }));
    EXPECT_EQ(cockpit.view->hero()->readout().accent, VEQ::nightAccent());
    EXPECT_TRUE(cockpit.view->leftFlank()->gauge().night);
    EXPECT_EQ(cockpit.view->gearStrip()->content().accent, VEQ::nightAccent());
    EXPECT_EQ(cockpit.view->telltales()->component().lamps[4].color, VEQ::nightAccent());
    shoot(*cockpit.view, QStringLiteral("cockpit-night"));
}

// However fast samples arrive, each instrument screen and each of its parts paint at most once
// per display tick, and the part that shows them once on every tick.
template <typename V>
void burstPaintsOncePerTick(LiveScreen<V>& screen, const std::vector<std::uint8_t>& pids,
                            const std::function<const QWidget*(V&)>& watched) {
    for (const auto pid : pids) feed(screen.model(), pid, 60);
    screen.tick();
    screen.view->coalescer().setManualTicks(true);
    settle();
    const QWidget* part = watched(*screen.view);
    ASSERT_NE(part, nullptr);
    PaintsPerWidget paints(*screen.view);
    for (int tick = 1; tick <= 3; ++tick) {
        for (int i = 0; i < 100; ++i) {
            for (const auto pid : pids) feed(screen.model(), pid, 60 + 10 * tick + i * 0.01, tick * 10 + i * 0.001);
            QCoreApplication::processEvents();
        }
        EXPECT_EQ(paints.of(part), tick - 1) << "nothing is painted between ticks";
        screen.tick();
        settle();
        EXPECT_EQ(paints.of(part), tick);
        EXPECT_LE(paints.most(), tick) << paints.over(tick);
    }
}

TEST(InstrumentScreens, OnePaintPerTickUnderABurstOfSamples) {
    {
        SCOPED_TRACE("cockpit");
        LiveScreen<CockpitView> cockpit;
        burstPaintsOncePerTick<CockpitView>(cockpit, {0x0C, 0x0D, 0x05, 0x5C, 0x0B}, [](CockpitView& v) { return v.hero(); });
    }
    {
        SCOPED_TRACE("focus gauge");
        LiveScreen<GaugeFocusView> focus;
        focus.view->hideTimer().stop();
        burstPaintsOncePerTick<GaugeFocusView>(focus, {0x0C, 0x0D, 0x05, 0x5C}, [](GaugeFocusView& v) { return v.hero(); });
    }
    {
        SCOPED_TRACE("live data");
        std::vector<std::uint8_t> thirty; // parameters of the catalogue
        for (const auto& definition : PIDCatalog::all()) {
            if (definition.pid % 0x20 != 0 && thirty.size() < 30) thirty.push_back(definition.pid);
        }
        LiveScreen<LiveDataView> list;
        burstPaintsOncePerTick<LiveDataView>(list, thirty, [&](LiveDataView& v) { return v.row(thirty.front()); });
    }
    {
        SCOPED_TRACE("messages");
        LiveScreen<MessagesView> messages;
        burstPaintsOncePerTick<MessagesView>(messages, {0x05}, [](MessagesView& v) {
            return v.findChild<QWidget*>(QStringLiteral("messageCard-coolant"));
        });
    }
}

} // namespace
} // namespace veq
