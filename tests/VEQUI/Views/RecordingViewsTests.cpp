#include "ScreenFixtures.hpp"

#include "VEQUI/Views/Kit/DateTexts.hpp"
#include "VEQUI/Views/Capture/CaptureChannelList.hpp"
#include "VEQUI/Views/Recording/FactView.hpp"
#include "VEQUI/Views/Report/ParameterTable.hpp"
#include "VEQUI/Views/Report/ReportView.hpp"
#include "VEQUI/Views/Recording/TripFigures.hpp"

#include <gtest/gtest.h>

#include <QLabel>

#include <cmath>
#include <limits>

namespace veq {
namespace {

using namespace veq::testing;
using Figure = TripFigures::Figure;

std::vector<std::string> shown(const std::vector<Figure>& figures) {
    std::vector<std::string> out;
    for (const Figure& f : figures) out.push_back((f.title + "|" + f.value + "|" + f.unit).toStdString());
    return out;
}

TEST(TripFigures, TheCurrentDriveAndACataloguedDrive) {
    TripStats trip;
    trip.startTime = at(0);
    trip.lastUpdate = at(125);
    trip.distanceKm = 2.36;
    trip.maxSpeedKmh = 97.6;
    trip.fuelLiters = 0.2;
    trip.zeroToHundredSec = 8.26;
    trip.standing400mSec = 16.04;
    EXPECT_EQ(shown(TripFigures::ofCurrentDrive(trip)),
              (std::vector<std::string>{"Durée|2:05|", "Distance|2.4|km", "Vitesse moyenne|68|km/h",
                                        "Vitesse max|98|km/h", "Carburant|0.20|l", "Consommation|8.5|l/100 km",
                                        "0-100 km/h|8.3|s", "400 m|16.0|s"}));
    // Every run, as the trips screen keeps their tiles: "—" until it is run.
    EXPECT_EQ(shown(TripFigures::ofCurrentDrive(trip, TripFigures::Runs::every))[7], "80-120 km/h|—|s");

    SessionRecord record(at(0), "VF1RFB00X12345678", std::nullopt, std::nullopt, "session-1.veqt");
    record.endDate = at(3725);
    record.distanceKm = 0.1; // too short for a consumption
    record.maxSpeedKmh = 31;
    record.fuelLiters = 0.05;
    record.dtcCount = 2;
    record.sampleCount = 500;
    record.channelCount = 31;
    EXPECT_EQ(shown(TripFigures::ofRecord(record)),
              (std::vector<std::string>{"Durée|1:02:05|", "Distance|0.1|km", "Vitesse max|31|km/h",
                                        "Carburant|0.05|l", "Consommation|—|l/100 km", "Défauts|2|", "Lignes|500|",
                                        "Canaux|31|"}));
    EXPECT_EQ(TripFigures::summaryOf(record).toStdString(), "1:02:05 · 0.1 km · max 31 km/h · 0.05 l · — l/100 km");
    EXPECT_EQ(TripFigures::detailsOf(record).toStdString(), "2 défauts · 500 lignes · 31 canaux");
    record.distanceKm = 0.5;
    record.dtcCount = 1;
    record.zeroToHundredSec = 9.44;
    record.sampleCount = 1;
    record.channelCount = 1;
    EXPECT_EQ(TripFigures::summaryOf(record).toStdString(), "1:02:05 · 0.5 km · max 31 km/h · 0.05 l · 10.0 l/100 km");
    EXPECT_EQ(TripFigures::detailsOf(record).toStdString(), "1 défaut · 0-100 km/h 9.4 s · 1 ligne · 1 canal");
    // A drive stored before its channels were counted says nothing of them rather than "0 canal".
    record.channelCount = 0;
    EXPECT_EQ(TripFigures::detailsOf(record).toStdString(), "1 défaut · 0-100 km/h 9.4 s · 1 ligne");
    const auto figures = shown(TripFigures::ofRecord(record));
    EXPECT_EQ(figures.back(), "Lignes|1|");

    EXPECT_EQ(TripFigures::vehicleOf(record).toStdString(), "VF1RFB00X12345678");
    record.profileName = "Renault Clio IV";
    EXPECT_EQ(TripFigures::vehicleOf(record).toStdString(), "Renault Clio IV");
    record.profileName.reset();
    record.vin.reset();
    EXPECT_EQ(TripFigures::vehicleOf(record).toStdString(), "Véhicule inconnu");
}

TEST(TripFigures, ClockDurations) {
    struct Case { double seconds; const char* text; };
    static const Case cases[] = {
        {0, "0:00"},       {59.9, "0:59"}, {3599, "59:59"}, {3600, "1:00:00"}, {3725.6, "1:02:05"},
        {360000, "100:00:00"}, {-5, "0:00"}, {std::numeric_limits<double>::quiet_NaN(), "0:00"},
    };
    for (const auto& c : cases) EXPECT_EQ(TripFigures::clockDuration(c.seconds).toStdString(), c.text) << c.seconds;
}

TEST(CaptureChannelLine, ValueWithItsUnitAndTheTimeOfDayItLastArrived) {
    const auto origin = at(1000);
    const EventRecorder::ChannelSummary latitude{240, "Latitude GPS", 3, 48.8566f, 2.5, true};
    const auto line = CaptureChannelLine::of(latitude, origin);
    EXPECT_EQ(line.name.toStdString(), "Latitude GPS");
    EXPECT_TRUE(line.gps);
    EXPECT_EQ(line.value.toStdString(), "48.9 °");
    EXPECT_EQ(line.events.toStdString(), "3");
    EXPECT_EQ(line.lastArrival, DateTexts::clockTime(at(1002.5)));
    // Without a recorder's origin the time is told from the start; a large value is whole.
    const EventRecorder::ChannelSummary rpm{0x0C, "Régime moteur", 120, 3456.5f, 61.26, false};
    const auto alone = CaptureChannelLine::of(rpm, std::nullopt);
    EXPECT_EQ(alone.value.toStdString(), "3457 tr/min");
    EXPECT_EQ(alone.lastArrival.toStdString(), "61.3 s");
    EXPECT_FALSE(alone.gps);
}

TEST(ReportView, ARowPerParameterInTheUnitsShownAndTheDriveFacts) {
    LiveScreen<ReportView> screen;
    ReportView& report = *screen.view;
    EXPECT_TRUE(report.table().rows().empty());
    EXPECT_TRUE(only<QLabel>(report, QStringLiteral("noParameters"))->isVisible());
    EXPECT_EQ(report.facts()[1]->component().value.toStdString(), "—"); // no VIN read
    EXPECT_EQ(ParameterTable::columnTitles(), (QStringList{"Paramètre", "Unité", "Actuelle", "Min", "Moyenne", "Max",
                                                           "Échantillons"}));

    feed(screen.model(), 0x05, 100);
    feed(screen.model(), 0x05, 90, 1);
    feed(screen.model(), 0x0C, 812.4, 1);
    report.refresh();
    ASSERT_EQ(report.table().rows().size(), 2u);
    const ParameterRow& coolant = report.table().rows()[0];
    EXPECT_EQ(coolant.name.toStdString(), "Température liquide de refroidissement");
    EXPECT_EQ(coolant.unit.toStdString(), "°C");
    EXPECT_EQ(coolant.values, (std::array<QString, 4>{"90.0", "90.0", "95.0", "100"}));
    EXPECT_EQ(coolant.samples.toStdString(), "2");
    EXPECT_EQ(report.table().rows()[1].values[0].toStdString(), "812");
    EXPECT_FALSE(only<QLabel>(report, QStringLiteral("noParameters"))->isVisible());

    screen.model().setUnitSystem(UnitSystem::imperial);
    report.refresh();
    EXPECT_EQ(report.table().rows()[0].unit.toStdString(), "°F");
    EXPECT_EQ(report.table().rows()[0].values, (std::array<QString, 4>{"194", "194", "203", "212"}));
    shoot(report, QStringLiteral("report-two-parameters"));
}

} // namespace
} // namespace veq
