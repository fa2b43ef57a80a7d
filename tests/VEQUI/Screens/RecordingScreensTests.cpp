// The recording sections in the window on the simulated car: the capture screen's channels and
// its report, the trips screen's exports and deletions, and the drive being recorded.
#include "RecordingFixtures.hpp"
#include "ScreenRig.hpp"
#include "TripsScreen.hpp"

#include "VEQStore/Export/ExportNaming.hpp"
#include "VEQStore/Export/GPXExporter.hpp"
#include "VEQSupport/FileReading.hpp"
#include "VEQUI/Views/Kit/PlainButton.hpp"
#include "VEQUI/Views/Kit/SegmentedPicker.hpp"
#include "VEQUI/Views/Kit/ValueTile.hpp"
#include "VEQUI/Views/Capture/CaptureChannelList.hpp"
#include "VEQUI/Views/Capture/CaptureView.hpp"
#include "VEQUI/Views/Recording/CurrentTripTiles.hpp"
#include "VEQUI/Views/Trips/DrivePanel.hpp"
#include "VEQUI/Views/Trips/SessionList.hpp"
#include "VEQUI/Views/Trips/TripsView.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>

#include <algorithm>
#include <filesystem>
#include <string>

namespace veq::testing {
namespace {

namespace fs = std::filesystem;
using Format = DriveExport::Format;

std::size_t lineCount(const std::string& text) { return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')); }

using Trips = TripsScreen;

SessionRecord liveRecord(const AppModel& model) {
    for (const SessionRecord& record : model.pastSessions()) {
        if (model.isCurrentSession(record)) return record;
    }
    return {};
}

TEST(CaptureScreen, RowsArriveWithTheRefreshAndASwitchedOffChannelStaysOutOfTheNextLog) {
    ScreenRig rig;
    ASSERT_TRUE(rig.connect());
    ASSERT_TRUE(rig.click(QStringLiteral("sidebarRow.Capture")));
    auto* capture = rig.find<CaptureView>(QStringLiteral("CaptureView"));
    ASSERT_NE(capture, nullptr);
    // The first refresh comes at once, the next within a second.
    ASSERT_TRUE(waitUntil([&] { return capture->channels().row(0x0C) && capture->channels().row(0x0D); }));
    EXPECT_TRUE(rig.find(QStringLiteral("noEvents")) == nullptr);
    const CaptureChannelRow& speed = *capture->channels().row(0x0D);
    EXPECT_EQ(speed.line().name, QStringLiteral("Vitesse véhicule"));
    EXPECT_TRUE(speed.line().value.endsWith(QStringLiteral(" km/h"))) << speed.line().value.toStdString();

    // The engine speed switched off, a stretch marked and saved as the own file.
    QCheckBox& keep = capture->channels().row(0x0C)->keepSwitch();
    QTest::mouseClick(&keep, Qt::LeftButton);
    EXPECT_FALSE(keep.isChecked());
    EXPECT_EQ(rig.model().excludedChannels(), (std::set<std::uint8_t>{0x0C}));
    const fs::path stretch = rig.folder.path() / "stretch.veqt";
    ASSERT_TRUE(rig.saveMarkedStretch(stretch));
    std::vector<std::uint8_t> saved;
    for (const auto& channel : TelemetryFile::read(stretch).channels) saved.push_back(channel.pid);
    EXPECT_TRUE(std::find(saved.begin(), saved.end(), 0x0D) != saved.end());
    EXPECT_TRUE(std::find(saved.begin(), saved.end(), 0x0C) == saved.end());

    // The saved log's report: the page of the file read back, saved as HTML.
    auto* report = rig.find<QAbstractButton>(QStringLiteral("htmlReportButton"));
    ASSERT_NE(report, nullptr);
    ASSERT_TRUE(report->isEnabled());
    const fs::path page = rig.folder.path() / "report.html";
    rig.dialogs->saveAnswers.push_back(page);
    QTest::mouseClick(report, Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return fs::exists(page) && !capture->exportingReport(); }));
    const Dialogs::SaveRequest& request = rig.dialogs->saveRequests.back();
    EXPECT_EQ(request.types, (std::vector<Dialogs::FileType>{{"Page HTML", "html"}}));
    EXPECT_TRUE(request.suggestedName.starts_with("DJI_") && request.suggestedName.ends_with(".html"))
        << request.suggestedName;
    const std::string html = contentsOf(page);
    EXPECT_TRUE(html.starts_with("<!DOCTYPE html>\n<html lang=\"fr\">"));
    EXPECT_NE(html.find("<title>Capture stretch</title>"), std::string::npos);
    EXPECT_NE(html.find("<h2>Vitesse véhicule"), std::string::npos);
    EXPECT_EQ(html.find("<h2>Régime moteur"), std::string::npos);

    // An MDF log has no report; the button says why.
    ASSERT_TRUE(rig.saveMarkedStretch(rig.folder.path() / "stretch.mf4"));
    EXPECT_FALSE(report->isEnabled());
    EXPECT_EQ(rig.find<QLabel>(QStringLiteral("reportNote"))->text(),
              QStringLiteral("Le rapport HTML se fait depuis un fichier veqt : ce log est en MDF 4.10."));
}

TEST(TripsScreen, EachExportOfADriveWritesAFileThatReadsBack) {
    ScreenRig rig;
    ASSERT_TRUE(rig.connect());
    const SessionRecord drive = addPastDrive(rig.model());
    const Trips trips{rig};
    ASSERT_TRUE(trips.open());
    ASSERT_EQ(trips.list().rows().size(), 2u);
    EXPECT_TRUE(trips.list().rows()[0].live); // newest first: the drive being recorded
    ASSERT_TRUE(trips.select(drive));

    const auto file = [&](const char* name) { return rig.folder.path() / name; };
    ASSERT_TRUE(trips.exportTo(Format::csv, file("drive.csv")));
    const std::string csv = contentsOf(file("drive.csv"));
    EXPECT_TRUE(csv.starts_with("temps_s;Régime moteur;Vitesse du véhicule;Latitude;Longitude;Altitude\n0.000;900.000;"));
    EXPECT_EQ(lineCount(csv), 92u); // the header and 91 records
    const TimeZone zone = TimeZone::current();
    EXPECT_EQ(rig.dialogs->saveRequests.back().suggestedName, ExportNaming::dji(drive.startDate, "csv", zone));
    EXPECT_EQ(rig.dialogs->saveRequests.back().types, (std::vector<Dialogs::FileType>{{"Fichier CSV", "csv"}}));

    ASSERT_TRUE(trips.exportTo(Format::json, file("drive.json")));
    const auto json = nlohmann::json::parse(contentsOf(file("drive.json")));
    EXPECT_EQ(json["channels"].size(), 5u);
    EXPECT_EQ(json["samples"].size(), 91u);

    ASSERT_TRUE(trips.exportTo(Format::mdf4, file("drive.mf4")));
    EXPECT_EQ(contentsOf(file("drive.mf4")).substr(0, 16), std::string("MDF     4.10    "));
    EXPECT_EQ(rig.dialogs->saveRequests.back().suggestedName, ExportNaming::dji(drive.startDate, "mf4", zone));

    ASSERT_TRUE(trips.exportTo(Format::gpx, file("drive.gpx")));
    EXPECT_EQ(GPXExporter::trackPoints(contentsOf(file("drive.gpx"))).size(), 91u);

    ASSERT_TRUE(trips.exportTo(Format::html, file("drive.html")));
    const std::string html = contentsOf(file("drive.html"));
    EXPECT_TRUE(html.starts_with("<!DOCTYPE html>"));
    EXPECT_EQ(occurrences(html, "<div class=\"card\">\n<h2>"), 6u); // five channels and the summary

    // Subtitles, one block a second; the picker's readable layout goes into the model's options.
    ASSERT_TRUE(trips.exportTo(Format::srt, file("dji.srt")));
    const std::string dji = contentsOf(file("dji.srt"));
    EXPECT_EQ(occurrences(dji, " --> "), 91u);
    EXPECT_EQ(occurrences(dji, "SrtCnt : "), 91u);
    QTest::mouseClick(trips.panel().subtitlePicker().segment(1), Qt::LeftButton);
    EXPECT_EQ(rig.model().subtitleOptions().layout, SubtitleExporter::Layout::readable);
    ASSERT_TRUE(trips.exportTo(Format::srt, file("readable.srt")));
    const std::string readable = contentsOf(file("readable.srt"));
    EXPECT_EQ(occurrences(readable, "SPEED: "), 91u);
    EXPECT_EQ(occurrences(readable, "SrtCnt"), 0u);
}

// The drive under way has a tile for every timed run from the start: none comes with a run to
// push the panel under the tiles away from the pointer.
TEST(TripsScreen, TheCurrentTripsTilesKeepThePanelInPlaceAsTheRunsCome) {
    ScreenRig rig;
    ASSERT_TRUE(rig.connect());
    const Trips trips{rig};
    ASSERT_TRUE(trips.open() && trips.open(liveRecord(rig.model())));
    rig.settle();
    const QWidget& refresh = trips.timeline().refreshButton();
    const QPoint place = refresh.mapTo(rig.window.get(), QPoint());
    // 0-100 km/h in 6 s, then 80-120 km/h in 2 s, over readings less than 5 s apart, dated a
    // minute back so that no reading of the simulated car comes between them.
    const auto start = std::chrono::system_clock::now() - std::chrono::minutes(1);
    for (const auto& [speed, second] :
         {std::pair{0.0, 0}, std::pair{50.0, 3}, std::pair{100.0, 6}, std::pair{120.0, 8}}) {
        rig.model().store().ingest(measured(0x0D, speed, start + std::chrono::seconds(second)));
    }
    const auto& tiles = trips.view().tripTiles().tiles();
    ASSERT_TRUE(waitUntil([&] { return tiles.size() > 7 && tiles[7]->component().value == QStringLiteral("2.0"); }));
    rig.settle();
    EXPECT_EQ(refresh.mapTo(rig.window.get(), QPoint()), place);
}

// Disconnecting while it runs takes the screen away, not the export: the file is written whole.
TEST(TripsScreen, TheLiveDriveExportsWhatWasRecordedUpToTheExportAndCannotBeDeleted) {
    ScreenRig rig;
    ASSERT_TRUE(rig.connect());
    AppModel& model = rig.model();
    ASSERT_TRUE(waitUntil([&] { return model.store().recordedSampleCount() >= 12; }, std::chrono::seconds(10)));
    const Trips trips{rig};
    ASSERT_TRUE(trips.open());
    const SessionRecord live = liveRecord(model);
    ASSERT_TRUE(trips.select(live));
    ASSERT_TRUE(trips.list().selectedRow()->live);
    EXPECT_EQ(trips.list().textsOf(*trips.list().selectedIndex()).mark, QStringLiteral("En cours"));

    // Its deletion is off, with the reason; the model refuses it too.
    EXPECT_FALSE(trips.panel().deleteButton().isEnabled());
    EXPECT_TRUE(rig.find<QLabel>(QStringLiteral("deleteNote")) != nullptr);
    const fs::path driveFile = model.sessionCatalog().sessionsDirectory() / live.fileName;
    model.deleteSession(live);
    EXPECT_TRUE(fs::exists(driveFile));
    EXPECT_NE(std::find(model.pastSessions().begin(), model.pastSessions().end(), live), model.pastSessions().end());

    const std::size_t recorded = model.store().recordedSampleCount();
    const fs::path csv = rig.folder.path() / "live.csv";
    rig.dialogs->saveAnswers.push_back(csv);
    QTest::mouseClick(trips.panel().exportButton(Format::csv), Qt::LeftButton);
    model.disconnect();
    // Written, then over: a drive is not deleted while its export runs.
    ASSERT_TRUE(waitUntil([&] { return fs::exists(csv) && !model.isExporting(live); }, std::chrono::seconds(20)));
    const std::string text = contentsOf(csv);
    EXPECT_GE(lineCount(text), recorded + 1) << "records written before the export: " << recorded;
    EXPECT_TRUE(text.ends_with("\n"));
    // Disconnected, the drive is a past drive like any other, and can go.
    model.deleteSession(live);
    EXPECT_FALSE(fs::exists(driveFile));
}

TEST(TripsScreen, DeletingADriveAsksThenRemovesItsRecordAndFile) {
    ScreenRig rig;
    ASSERT_TRUE(rig.connect());
    const SessionRecord drive = addPastDrive(rig.model());
    const fs::path file = rig.model().sessionCatalog().sessionsDirectory() / drive.fileName;
    const Trips trips{rig};
    ASSERT_TRUE(trips.open());
    ASSERT_TRUE(trips.select(drive));
    ASSERT_TRUE(trips.panel().deleteButton().isEnabled());

    rig.dialogs->confirmAnswers.push_back(false);
    QTest::mouseClick(&trips.panel().deleteButton(), Qt::LeftButton);
    ASSERT_EQ(rig.dialogs->confirmations.size(), 1u);
    const Dialogs::Confirmation& asked = rig.dialogs->confirmations.back();
    EXPECT_EQ(asked.title, "Supprimer ce trajet ?");
    EXPECT_EQ(asked.confirmLabel, "Supprimer");
    EXPECT_EQ(asked.cancelLabel, "Annuler");
    EXPECT_TRUE(asked.destructive);
    EXPECT_NE(asked.text.find(drive.fileName), std::string::npos);
    EXPECT_TRUE(fs::exists(file));
    EXPECT_NE(trips.row(drive), nullptr);

    rig.dialogs->confirmAnswers.push_back(true);
    QTest::mouseClick(&trips.panel().deleteButton(), Qt::LeftButton);
    EXPECT_FALSE(fs::exists(file));
    EXPECT_EQ(trips.row(drive), nullptr);
    EXPECT_EQ(std::find(rig.model().pastSessions().begin(), rig.model().pastSessions().end(), drive),
              rig.model().pastSessions().end());
}

TEST(TripsScreen, AMissingDriveFileIsListedRefusedAtExportAndCanBeDeleted) {
    ScreenRig rig;
    ASSERT_TRUE(rig.connect());
    const SessionRecord gone = addPastDrive(rig.model());
    fs::remove(rig.model().sessionCatalog().sessionsDirectory() / gone.fileName);
    const SessionRecord noGPS = addPastDrive(rig.model(), {.start = gone.startDate - std::chrono::hours(24), .gps = false});
    const Trips trips{rig};
    ASSERT_TRUE(trips.open());
    ASSERT_NE(trips.row(gone), nullptr);
    EXPECT_TRUE(trips.row(gone)->fileMissing);
    EXPECT_EQ(trips.texts(gone).mark, QStringLiteral("Fichier introuvable"));
    EXPECT_FALSE(trips.row(noGPS)->fileMissing);

    // Nothing to export: the buttons are off, with the reason; deleting stays possible.
    ASSERT_TRUE(trips.select(gone));
    const std::size_t panels = rig.dialogs->saveRequests.size();
    for (const DriveExport::FormatRow& format : DriveExport::formats()) {
        EXPECT_FALSE(trips.panel().exportButton(format.format)->isEnabled()) << format.title;
    }
    EXPECT_EQ(rig.find<QLabel>(QStringLiteral("exportNote"))->text(),
              QStringLiteral("Le fichier de ce trajet est introuvable : il ne peut pas être exporté."));
    EXPECT_TRUE(trips.panel().deleteButton().isEnabled());

    // A drive without a position has no track to write.
    ASSERT_TRUE(trips.select(noGPS));
    const std::size_t told = rig.dialogs->messages.size();
    QTest::mouseClick(trips.panel().exportButton(Format::gpx), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return rig.dialogs->messages.size() > told; }));
    EXPECT_EQ(rig.dialogs->messages.back().text, "Ce trajet n'a aucun point GPS : il n'y a rien à exporter en GPX.");
    EXPECT_EQ(rig.dialogs->saveRequests.size(), panels);

    ASSERT_TRUE(trips.select(gone));
    rig.dialogs->confirmAnswers.push_back(true);
    QTest::mouseClick(&trips.panel().deleteButton(), Qt::LeftButton);
    EXPECT_EQ(trips.row(gone), nullptr);
}

} // namespace
} // namespace veq::testing
