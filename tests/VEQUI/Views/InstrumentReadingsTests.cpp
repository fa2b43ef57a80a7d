#include "ScreenFixtures.hpp"

#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Instruments/InstrumentReadings.hpp"

#include <gtest/gtest.h>

namespace veq {
namespace {

using namespace veq::testing;
namespace R = InstrumentReadings;
using Source = R::GearSource;

struct Caption { std::uint8_t pid; const char* text; };

TEST(InstrumentReadings, CockpitAndFocusCaptionsFollowTheirTablesThenTheCatalogue) {
    // Transcribed from the cockpit's caption table; then a catalogue name and an unknown number.
    static const Caption cockpit[] = {
        {0x04, "Charge"}, {0x10, "Débit air"}, {0x05, "Eau"},      {0x11, "Papillon"},
        {0x0B, "Suralim."}, {0x2F, "Réservoir"}, {0x0C, "Régime"}, {0x42, "Tension"},
        {0x0D, "Vitesse"}, {0x46, "Ambiant"},  {0x0E, "Avance"},   {0x5C, "Huile"},
        {0x0F, "Adm."},    {0x5E, "Conso"},
        {0x06, "Correction court terme banc 1"}, {0x02, "PID"},
    };
    for (const auto& c : cockpit) EXPECT_EQ(R::shortName(c.pid).toStdString(), c.text) << int(c.pid);
    // The focus gauge has its own shorter table.
    static const Caption focus[] = {
        {0x05, "Eau"}, {0x0B, "Suralim."}, {0x0D, "Vitesse"}, {0x10, "Débit air"}, {0x42, "Tension"},
        {0x5C, "Huile"}, {0x5E, "Conso"},
        {0x04, "Charge moteur calculée"}, {0x0C, "Régime moteur"}, {0x02, "PID"},
    };
    for (const auto& c : focus) EXPECT_EQ(R::focusShortName(c.pid).toStdString(), c.text) << int(c.pid);
}

// The mended fault: an imperial label never stands beside a metric number.
TEST(InstrumentReadings, ImperialFlankGaugesConvertValuePeakAndScale) {
    ConnectionRig rig;
    rig->setSelectedProfile(std::nullopt);
    feed(*rig, 0x05, 80);
    feed(*rig, 0x05, 100, 1);
    feed(*rig, 0x05, 90, 2);

    const CircularGauge metric = R::flankGauge(*rig, 0x05, QStringLiteral("Eau"));
    EXPECT_EQ(metric.value, 90.0);
    EXPECT_EQ(metric.peak, 100.0);
    EXPECT_EQ(metric.unit.toStdString(), "°C");
    EXPECT_EQ(metric.scale, GaugeScale::defaultFor(0x05));

    rig->setUnitSystem(UnitSystem::imperial);
    const CircularGauge imperial = R::flankGauge(*rig, 0x05, QStringLiteral("Eau"));
    EXPECT_EQ(imperial.unit.toStdString(), "°F");
    EXPECT_DOUBLE_EQ(*imperial.value, 194);
    EXPECT_DOUBLE_EQ(*imperial.peak, 212);
    // 40...130 °C, warning 112, critical 120.
    EXPECT_DOUBLE_EQ(imperial.scale.min, 104);
    EXPECT_DOUBLE_EQ(imperial.scale.max, 266);
    EXPECT_DOUBLE_EQ(*imperial.scale.warn, 233.6);
    EXPECT_DOUBLE_EQ(*imperial.scale.critical, 248);
    EXPECT_EQ(imperial.scale.majorTicks, metric.scale.majorTicks);
    // The needle stands where it stood: the conversion moves the scale with the value.
    EXPECT_NEAR(imperial.fraction(), metric.fraction(), 1e-12);
}

TEST(InstrumentReadings, HeroShowsZeroForMissingReadingsMilesPerHourInImperialAndCuesOnMetricEngineSpeed) {
    ConnectionRig rig;
    rig->setSelectedProfile(std::nullopt);
    R::Hero hero = R::hero(*rig);
    EXPECT_EQ(hero.speed, 0);
    EXPECT_EQ(hero.dial.value, 0.0);
    EXPECT_EQ(hero.speedUnit.toStdString(), "km/h");
    EXPECT_EQ(hero.dial.title.toStdString(), "Régime ×1000");
    EXPECT_FALSE(hero.dial.showValue);
    EXPECT_TRUE(hero.dial.big);

    feed(*rig, 0x0D, 100);
    feed(*rig, 0x0C, 6000);
    rig->setUnitSystem(UnitSystem::imperial);
    hero = R::hero(*rig);
    EXPECT_NEAR(hero.speed, 62.1371192, 1e-6);
    EXPECT_EQ(hero.speedUnit.toStdString(), "mph");
    EXPECT_EQ(hero.dial.value, 6000.0);
    EXPECT_TRUE(hero.shiftCue);

    // The cue lights at the warning limit, else at the maximum.
    const GaugeScale withWarning{0, 7000, 6000, 6500, 7};
    const GaugeScale withoutWarning{0, 7000, std::nullopt, 6500, 7};
    EXPECT_FALSE(R::shiftCue(withWarning, 5999));
    EXPECT_TRUE(R::shiftCue(withWarning, 6000));
    EXPECT_FALSE(R::shiftCue(withoutWarning, 6999));
    EXPECT_TRUE(R::shiftCue(withoutWarning, 7000));
}

TEST(InstrumentReadings, TelltalesLightOnTheirThresholds) {
    struct Case { std::uint8_t pid; double value; std::size_t lamp; bool lit; };
    static const Case cases[] = {
        {0x05, 111.9, 1, false}, {0x05, 112, 1, true},
        {0x5C, 124.9, 2, false}, {0x5C, 125, 2, true},
        {0x42, 12.0, 3, false},  {0x42, 11.99, 3, true},
        {0x0B, 161.2, 4, false}, {0x0B, 161.4, 4, true},
    };
    ConnectionRig rig;
    for (const auto& c : cases) {
        rig->store().reset();
        feed(*rig, c.pid, c.value);
        const auto lamps = R::telltales(rig->store(), false, VEQ::accent());
        for (std::size_t i = 0; i < lamps.size(); ++i) {
            EXPECT_EQ(lamps[i].active, i == c.lamp && c.lit) << int(c.pid) << " " << c.value << " lamp " << i;
        }
    }
    // Raw values count, not calibrated ones.
    rig->store().reset();
    rig->setCalibration(VehicleCalibration{1.0, std::nullopt, 1.0, 5.0});
    feed(*rig, 0x05, 110);
    EXPECT_EQ(rig->displayValue(0x05), 115.0);
    EXPECT_FALSE(R::telltales(rig->store(), false, VEQ::accent())[1].active);
    rig->store().reset();
    const auto none = R::telltales(rig->store(), true, VEQ::nightAccent());
    const char* labels[] = {"Moteur", "Eau", "Huile", "Batterie", "Turbo"};
    const QColor colours[] = {VEQ::critical(), VEQ::critical(), VEQ::warning(), VEQ::warning(), VEQ::nightAccent()};
    for (std::size_t i = 0; i < none.size(); ++i) {
        EXPECT_EQ(none[i].label.toStdString(), labels[i]);
        EXPECT_EQ(none[i].color, colours[i]);
        EXPECT_EQ(none[i].active, i == 0); // trouble codes light the engine lamp; no value lights nothing
    }
}

// Engine speed for the estimator's gear `gear` (counted from 1) at `speed` km/h.
double rpmFor(const GearEstimator& estimator, int gear, double speed) {
    return estimator.expectedRatio(gear - 1) * speed;
}

TEST(InstrumentReadings, CockpitGearAndItsSource) {
    ConnectionRig rig;
    const GearEstimator& estimator = rig->gearEstimator();
    ASSERT_EQ(estimator.gearCount(), 9);
    const double speed = 60;
    const double rpm3 = rpmFor(estimator, 3, speed);
    struct Case { std::optional<double> reported; bool engineAndRoadSpeed; std::optional<TransmissionGear> gear; Source source; };
    const Case cases[] = {
        {7, true, TransmissionGear::forward(7), Source::read},
        {9, false, TransmissionGear::forward(9), Source::read},
        {10, true, TransmissionGear::forward(3), Source::estimated}, // a gear the box lacks
        {10, false, std::nullopt, Source::none},
        {0, true, std::nullopt, Source::neutral},
        {14, true, TransmissionGear::reverse(), Source::read},
        {15, false, TransmissionGear::reverse(), Source::read},
        {std::nullopt, true, TransmissionGear::forward(3), Source::estimated},
        {std::nullopt, false, std::nullopt, Source::none},
    };
    for (const auto& c : cases) {
        rig->store().reset();
        if (c.reported) feed(*rig, 0xA4, *c.reported);
        if (c.engineAndRoadSpeed) {
            feed(*rig, 0x0C, rpm3);
            feed(*rig, 0x0D, speed);
        }
        const auto got = R::cockpitGear(rig->store(), estimator);
        EXPECT_EQ(got.gear, c.gear) << c.reported.value_or(-1);
        EXPECT_EQ(got.source, c.source) << c.reported.value_or(-1);
    }
    rig->store().reset();
    feed(*rig, 0x0C, (rpmFor(estimator, 3, speed) + rpmFor(estimator, 4, speed)) / 2);
    feed(*rig, 0x0D, speed);
    EXPECT_EQ(R::cockpitGear(rig->store(), estimator), (R::CurrentGear{std::nullopt, Source::none}));
}

TEST(InstrumentReadings, FocusGearTrustsTheReportedGearWithoutEstimating) {
    ConnectionRig rig;
    const double speed = 60;
    const double rpm3 = rpmFor(rig->gearEstimator(), 3, speed);
    struct Case { std::optional<double> reported; std::optional<TransmissionGear> gear; };
    const Case cases[] = {
        {10, TransmissionGear::forward(10)}, // no box of the strip lights, and no estimate
        {0, std::nullopt},
        {14, TransmissionGear::reverse()},
        {std::nullopt, TransmissionGear::forward(3)},
    };
    for (const auto& c : cases) {
        rig->store().reset();
        if (c.reported) feed(*rig, 0xA4, *c.reported);
        feed(*rig, 0x0C, rpm3);
        feed(*rig, 0x0D, speed);
        EXPECT_EQ(R::focusGear(rig->store(), rig->gearEstimator()), c.gear) << c.reported.value_or(-1);
    }
}

TEST(InstrumentReadings, SourceBadges) {
    struct Case { Source source; const char* text; QColor colour; };
    const Case cases[] = {
        {Source::read, "LU · PID 0xA4", VEQ::confirm()},
        {Source::estimated, "ESTIMÉ · régime/vitesse", VEQ::warning()},
        {Source::neutral, "POINT MORT", VEQ::textSecondary()},
        {Source::none, "INDISPONIBLE", VEQ::textSecondary()},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(R::sourceBadgeText(c.source).toStdString(), c.text);
        EXPECT_EQ(R::sourceBadgeColor(c.source), c.colour);
    }
}

TEST(InstrumentReadings, ChipTexts) {
    EXPECT_EQ(R::faultChipText(0).toStdString(), "0 défaut");
    EXPECT_EQ(R::faultChipText(3).toStdString(), "3 défaut");
    EXPECT_EQ(R::requestRateText(41.6).toStdString(), "42 req/s");
    EXPECT_EQ(R::distanceText(0.06).toStdString(), "0.1 km");
    EXPECT_EQ(R::distanceText(1234.56).toStdString(), "1234.6 km");
    EXPECT_EQ(R::zeroToHundredText(6.84).toStdString(), "0-100 6.8s");
}

} // namespace
} // namespace veq
