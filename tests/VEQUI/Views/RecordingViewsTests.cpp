#include "ScreenFixtures.hpp"

#include "VEQUI/Model/ModelFixtures.hpp"
#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Kit/DateTexts.hpp"
#include "VEQUI/Views/Capture/CaptureChannelList.hpp"
#include "VEQUI/Views/Recording/BackgroundWrite.hpp"
#include "VEQUI/Views/Recording/FactView.hpp"
#include "VEQUI/Views/Report/ParameterTable.hpp"
#include "VEQUI/Views/Report/ReportView.hpp"
#include "VEQUI/Views/Recording/TripFigures.hpp"
#include "VEQUI/Views/Trips/SessionList.hpp"

#include <gtest/gtest.h>

#include <QLabel>

#include <cmath>
#include <filesystem>
#include <limits>
#include <unordered_set>

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
    // A mark on a whole second of the clock, 1001 ms after an origin between two seconds: 1.001 s
    // falls a hair short of it, and must not read the second before.
    EXPECT_EQ(recorderMoment(1.001, at(1000.999)), DateTexts::clockTime(at(1002)));
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
    EXPECT_EQ(only<QLabel>(report, QStringLiteral("noCodes"))->text().toStdString(), "Aucun code défaut");
    AppModelTestAccess::setDtcsUnread(screen.model());
    report.refresh();
    EXPECT_EQ(only<QLabel>(report, QStringLiteral("noCodes"))->text().toStdString(), "Codes non lus");
    EXPECT_EQ(textColor(only<QLabel>(report, QStringLiteral("noCodes"))), VEQ::warning());
    EXPECT_EQ(report.table().columnTitles(), (QStringList{"Paramètre", "Unité", "Actuelle", "Min", "Moyenne", "Max",
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

// The save every export and the report end in: the application's own files and the file the bytes
// were made from are refused, with nothing written; anything else is written whole.
TEST(SaveInBackground, RefusesTheApplicationsFilesAndTheSourceAndWritesAnythingElse) {
    namespace fs = std::filesystem;
    ConnectionRig rig;
    const fs::path source = rig.folder / "trajet.mf4";
    writeFile(source, "mesures");
    struct Case {
        const char* what;
        fs::path destination;
        std::optional<fs::path> source;
        const char* refusal; // none: written
    };
    const Case cases[] = {
        {"the source", source, source, "est le fichier exporté"},
        {"the source by another path", rig.folder / "." / "trajet.mf4", source, "est le fichier exporté"},
        {"the catalogue, without a source", rig.sessionsFolder() / "sessions.store", std::nullopt,
         "appartient au catalogue des trajets"},
        {"the audit log", rig->auditLog().logFileURL(), source, "est le journal d'audit du mode expert"},
        {"another file", rig.folder / "trajet.csv", source, nullptr},
        {"a file, without a source", rig.folder / "rapport.pdf", std::nullopt, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string before = readFile(c.destination);
        const std::size_t told = rig.dialogs->messages.size();
        rig.dialogs->saveAnswers.push_back(c.destination);
        std::optional<std::optional<fs::path>> finished;
        saveInBackground(*rig, std::make_shared<const std::string>("octets"), "nom.csv", {"Fichier CSV", "csv"},
                         c.source, [&](std::optional<fs::path> written) { finished = written; });
        ASSERT_TRUE(waitUntil([&] { return finished.has_value(); }));
        if (!c.refusal) {
            EXPECT_EQ(*finished, c.destination);
            EXPECT_EQ(readFile(c.destination), "octets");
            EXPECT_EQ(rig.dialogs->messages.size(), told);
            continue;
        }
        EXPECT_EQ(*finished, std::nullopt);
        EXPECT_EQ(readFile(c.destination), before);
        ASSERT_EQ(rig.dialogs->messages.size(), told + 1);
        const std::string& message = rig.dialogs->messages.back().text;
        EXPECT_TRUE(message.starts_with("Enregistrement impossible : « " + c.destination.filename().string() + " » " +
                                        c.refusal))
            << message;
    }
    EXPECT_EQ(readFile(source), "mesures");
    EXPECT_EQ(rig.dialogs->saveRequests.back().suggestedName, "nom.csv");
}

// Whether a drive is being exported is its keeper's to say: rows set anew never bring back an
// export that has ended, and the marks shown follow a change the list is told of.
TEST(SessionList, ADriveShowsBusyWhileItsKeeperSaysSo) {
    const SessionRecord past(at(0), "VF1RFB00X12345678", std::nullopt, std::nullopt, "session-1.veqt");
    const SessionRecord live(at(3600), "VF1RFB00X12345678", std::nullopt, std::nullopt, "session-2.veqt");
    const std::vector<SessionRow> rows{{past}, {live, true}};
    std::unordered_set<SessionRecord> exporting;
    SessionList list;
    list.busyTest = [&](const SessionRecord& record) { return exporting.contains(record); };
    const auto marks = [&] {
        std::vector<std::string> shown;
        for (std::size_t i = 0; i < list.rows().size(); ++i) shown.push_back(list.textsOf(i).mark.toStdString());
        return shown;
    };
    struct Step {
        const char* what;
        std::unordered_set<SessionRecord> exporting;
        bool setRows; // else the list is told of the change
        std::vector<std::string> marks;
    };
    const Step steps[] = {
        {"listed while exported", {past}, true, {"Export…", "En cours"}},
        {"its export ended", {}, false, {"", "En cours"}},
        {"both exported", {past, live}, false, {"Export…", "Export…"}},
        {"listed again once both ended", {}, true, {"", "En cours"}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        exporting = step.exporting;
        if (step.setRows) {
            list.setRows(rows);
        } else {
            list.busyChanged();
        }
        EXPECT_EQ(marks(), step.marks);
        EXPECT_EQ(list.isBusy(rows[0]), step.exporting.contains(past));
    }
}

} // namespace
} // namespace veq
