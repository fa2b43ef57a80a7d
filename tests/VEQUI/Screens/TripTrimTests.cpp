// The trips screen's trim timeline and the exports of an excerpt: read back in every format,
// named with their range in the machine's zone, refused over the application's own files; and
// the export's marks, which hold while it runs whatever screen shows the drive.
#include "TripsScreen.hpp"

#include "VEQStore/Export/ExportNaming.hpp"
#include "VEQStore/Export/GPXExporter.hpp"
#include "VEQStore/Export/SRTDocument.hpp"
#include "VEQSupport/AtomicFile.hpp"
#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Support/GaugePixels.hpp"
#include "VEQUI/Views/Kit/PlainButton.hpp"
#include "VEQUI/Views/Kit/RangeTimeline.hpp"
#include "VEQUI/Views/Capture/CaptureRangeCard.hpp"
#include "VEQUI/Views/Trips/DriveReading.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <QComboBox>
#include <QLabel>
#include <QProcess>
#include <QScrollArea>
#include <QScrollBar>

#include <cmath>

namespace veq::testing {
namespace {

namespace fs = std::filesystem;
using Format = DriveExport::Format;

// The lines of a CSV export after its header.
std::vector<std::string> records(const std::string& csv) {
    std::vector<std::string> lines;
    std::size_t at = csv.find('\n') + 1;
    while (at < csv.size()) {
        const std::size_t end = csv.find('\n', at);
        lines.push_back(csv.substr(at, end - at));
        at = end + 1;
    }
    return lines;
}

// What the store tests' independent MDF reader finds in a file.
nlohmann::json readMDF(const fs::path& file) {
    QProcess reader;
    reader.start(QStringLiteral("python3"), {QStringLiteral(VEQ_STORE_DATA_DIR "/mdf4_read.py"),
                                             QString::fromStdString(file.string())});
    if (!reader.waitForFinished(60'000) || reader.exitCode() != 0) {
        ADD_FAILURE() << "mdf4_read: " << reader.readAllStandardError().toStdString();
        return {};
    }
    return nlohmann::json::parse(reader.readAllStandardOutput().toStdString())[0];
}

std::string base(const SessionRecord& drive) { return ExportNaming::dji(drive.startDate, TimeZone::current()); }

TEST(DriveReading, TheTrendFollowsSpeedElseTheFirstChannelThatIsNoPosition) {
    const auto channels = [](std::vector<std::uint8_t> pids) {
        TelemetryFile::Contents drive;
        for (const std::uint8_t pid : pids) drive.channels.push_back({pid, "c"});
        return drive;
    };
    const std::pair<std::vector<std::uint8_t>, std::optional<std::uint8_t>> cases[] = {
        {{0x0C, 0x0D, GPSChannel::latitude}, 0x0D},
        {{GPSChannel::latitude, 0x05, 0x0C}, 0x05},
        {{GPSChannel::latitude, GPSChannel::altitude}, std::nullopt},
        {{}, std::nullopt},
    };
    for (const auto& [pids, expected] : cases) EXPECT_EQ(DriveReading::defaultChannel(channels(pids)), expected);
}

// Four records a second over 90 s: the bounds fall on records and between them.
TEST(TripsTrim, AnExcerptOfAPastDriveInEveryFormatHoldsTheRecordsBetweenItsBoundsFromZero) {
    ScreenRig rig;
    ASSERT_TRUE(rig.connect());
    const SessionRecord drive = addPastDrive(rig.model(), {.perSecond = 4});
    const TripsScreen trips{rig};
    ASSERT_TRUE(trips.open());
    ASSERT_TRUE(trips.open(drive));
    EXPECT_EQ(trips.timeline().channel(), std::optional<std::uint8_t>(0x0D));
    EXPECT_EQ(trips.timeline().channelPicker().count(), 5);
    EXPECT_DOUBLE_EQ(trips.range().upper(), 90);
    EXPECT_TRUE(trips.range().isWhole());
    const auto file = [&](const std::string& name) { return rig.folder.path() / name; };

    // The keys reach the handles inside the panel's scroll area.
    trips.range().strip().setFocus(Qt::TabFocusReason);
    trips.range().setFocusedHandle(RangeTimeline::Handle::start);
    QTest::keyClick(&trips.range().strip(), Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_DOUBLE_EQ(trips.range().start(), 10);
    ASSERT_TRUE(trips.timeline().excerpt());
    EXPECT_DOUBLE_EQ(trips.timeline().excerpt()->from, 10);

    // Bounds between whole seconds stop on the nearest ones, halves to even: the texts, the name
    // and the records hold the same bounds, the first record at 0 s.
    trips.range().setRange(12.5, 30.5);
    EXPECT_EQ(trips.range().startLabel().text(), QStringLiteral("Début 0:12"));
    EXPECT_EQ(trips.range().endLabel().text(), QStringLiteral("Fin 0:30"));
    EXPECT_EQ(trips.range().lengthLabel().text(), QStringLiteral("Durée 0:18"));
    ASSERT_TRUE(trips.exportTo(Format::csv, file("bounds.csv")));
    EXPECT_EQ(trips.suggested(), base(drive) + "-12s-30s.csv");
    const auto lines = records(contentsOf(file("bounds.csv")));
    ASSERT_EQ(lines.size(), 73u); // 12 s to 30 s, four a second
    EXPECT_TRUE(lines.front().starts_with("0.000;1140.000;")) << lines.front();
    EXPECT_TRUE(lines.back().starts_with("18.000;1500.000;")) << lines.back();

    // Bounds each rounded on its own would read 0:12 to 0:31 over "Durée 0:18" and name a start
    // the records do not hold.
    trips.range().setRange(12.4, 30.6);
    EXPECT_EQ(trips.range().startLabel().text(), QStringLiteral("Début 0:12"));
    EXPECT_EQ(trips.range().endLabel().text(), QStringLiteral("Fin 0:31"));
    EXPECT_EQ(trips.range().lengthLabel().text(), QStringLiteral("Durée 0:19"));
    const std::string named = base(drive) + "-12s-31s.";
    ASSERT_TRUE(trips.exportTo(Format::mdf4, file("excerpt.mf4")));
    EXPECT_EQ(trips.suggested(), named + "mf4");
    const nlohmann::json mdf = readMDF(file("excerpt.mf4"));
    ASSERT_EQ(mdf["groups"].size(), 1u);
    EXPECT_EQ(mdf["groups"][0]["cycle_count"], 77);
    const auto& channels = mdf["groups"][0]["channels"];
    ASSERT_EQ(channels.size(), 6u); // the time and five channels
    EXPECT_NEAR(channels[0]["values"][0].get<double>(), 0, 1e-9);
    EXPECT_NEAR(channels[0]["values"][76].get<double>(), 19, 1e-9);
    EXPECT_DOUBLE_EQ(channels[1]["values"][0].get<double>(), 1140.0);

    ASSERT_TRUE(trips.exportTo(Format::srt, file("excerpt.srt")));
    EXPECT_EQ(trips.suggested(), named + "srt");
    const SRTDocument subtitles = SRTDocument::parse(contentsOf(file("excerpt.srt")));
    ASSERT_FALSE(subtitles.isEmpty());
    EXPECT_LT(subtitles.blocks.front().start, 0.25);
    EXPECT_LE(subtitles.blocks.back().start, 19);
    EXPECT_GE(subtitles.blocks.size(), 19u); // one a second over the 19 s excerpt
    EXPECT_LE(subtitles.blocks.size(), 21u);

    ASSERT_TRUE(trips.exportTo(Format::csv, file("excerpt.csv")));
    EXPECT_EQ(trips.suggested(), named + "csv");
    const auto excerpt = records(contentsOf(file("excerpt.csv")));
    EXPECT_TRUE(excerpt.front().starts_with("0.000;1140.000;")) << excerpt.front();
    EXPECT_TRUE(excerpt.back().starts_with("19.000;1520.000;")) << excerpt.back();
    ASSERT_TRUE(trips.exportTo(Format::json, file("excerpt.json")));
    EXPECT_EQ(trips.suggested(), named + "json");
    EXPECT_EQ(nlohmann::json::parse(contentsOf(file("excerpt.json")))["samples"].size(), 77u);
    ASSERT_TRUE(trips.exportTo(Format::gpx, file("excerpt.gpx")));
    EXPECT_EQ(trips.suggested(), named + "gpx");
    EXPECT_EQ(GPXExporter::trackPoints(contentsOf(file("excerpt.gpx"))).size(), 77u);
    ASSERT_TRUE(trips.exportTo(Format::html, file("excerpt.html")));
    EXPECT_EQ(trips.suggested(), named + "html");
    EXPECT_TRUE(contentsOf(file("excerpt.html")).starts_with("<!DOCTYPE html>"));

    // "Tout le trajet": the whole drive, under the name without a range.
    QTest::mouseClick(&trips.timeline().wholeButton(), Qt::LeftButton);
    EXPECT_TRUE(trips.range().isWhole());
    EXPECT_FALSE(trips.timeline().excerpt());
    ASSERT_TRUE(trips.exportTo(Format::csv, file("whole.csv")));
    EXPECT_EQ(trips.suggested(), base(drive) + ".csv");
    EXPECT_EQ(records(contentsOf(file("whole.csv"))).size(), 361u);

    // Another channel's trend, computed off the GUI thread.
    QComboBox& picker = trips.timeline().channelPicker();
    const int engine = picker.findData(0x0Cu);
    ASSERT_GE(engine, 0);
    EXPECT_EQ(picker.itemText(engine), QStringLiteral("Régime moteur"));
    picker.setCurrentIndex(engine);
    Q_EMIT picker.activated(engine);
    EXPECT_TRUE(waitUntil([&] { return trips.timeline().channel() == std::optional<std::uint8_t>(0x0C); }));
}

// A drive of 304.97 s reads 5:04 on its tile and over its whole range, as a clock would (rounded,
// the range read 5:05), and an excerpt up to its end is named for that second.
TEST(TripsTrim, ADrivesLengthReadsTheSameOnItsTileAndOnItsWholeRange) {
    ScreenRig rig;
    ASSERT_TRUE(rig.connect());
    const SessionRecord drive = addPastDrive(rig.model(), {.seconds = 304, .gps = false, .tail = 970ms});
    const TripsScreen trips{rig};
    ASSERT_TRUE(trips.open());
    ASSERT_TRUE(trips.open(drive));
    rig.settle();
    EXPECT_DOUBLE_EQ(trips.range().upper(), 304.97);
    const auto facts = rig.findAll<FactView>(QStringLiteral("driveFact"));
    ASSERT_FALSE(facts.empty());
    EXPECT_EQ(facts[0]->component(), (Fact{QStringLiteral("Durée"), QStringLiteral("5:04")}));
    EXPECT_EQ(trips.range().endLabel().text(), QStringLiteral("Fin 5:04"));
    EXPECT_EQ(trips.range().lengthLabel().text(), QStringLiteral("Durée 5:04"));
    rig.snapshot("trips-drive-length");

    trips.range().setRange(10, trips.range().upper());
    EXPECT_EQ(trips.range().lengthLabel().text(), QStringLiteral("Durée 4:54"));
    ASSERT_TRUE(trips.exportTo(Format::csv, rig.folder.path() / "end.csv"));
    EXPECT_EQ(trips.suggested(), base(drive) + "-10s-304s.csv");

    // A drive that ended half a second after its last record (304.6 s) lasted 305.1 s: its whole
    // range runs to its end and reads as its tile does.
    const SessionRecord later = addPastDrive(rig.model(), {.start = drive.startDate + std::chrono::hours(1), .seconds = 304,
                                                           .gps = false, .tail = 600ms, .unrecorded = 500ms});
    ASSERT_TRUE(trips.open(later));
    rig.settle();
    EXPECT_EQ(rig.findAll<FactView>(QStringLiteral("driveFact"))[0]->component().value, QStringLiteral("5:05"));
    EXPECT_EQ(trips.range().endLabel().text(), QStringLiteral("Fin 5:05"));
}

// Handles put together, or so close that no record lies between them: no file, and no panel asked
// (an empty range would otherwise export the whole drive under an excerpt's name).
TEST(TripsTrim, AnExcerptWithoutARecordIsRefusedBeforeThePanel) {
    ScreenRig rig;
    ASSERT_TRUE(rig.connect());
    const SessionRecord drive = addPastDrive(rig.model(), {.perSecond = 4});
    const TripsScreen trips{rig};
    ASSERT_TRUE(trips.open());
    ASSERT_TRUE(trips.open(drive));
    const std::pair<double, double> ranges[] = {{20, 20}, {20.1, 20.2}, {0, 0}};
    for (const auto& [from, to] : ranges) {
        SCOPED_TRACE(from);
        trips.range().setRange(from, to);
        ASSERT_TRUE(trips.timeline().excerpt());
        const fs::path file = rig.folder.path() / "empty.csv";
        const std::size_t asked = rig.dialogs->saveRequests.size();
        const std::size_t told = rig.dialogs->messages.size();
        rig.dialogs->saveAnswers.assign({file});
        QTest::mouseClick(trips.panel().exportButton(Format::csv), Qt::LeftButton);
        ASSERT_TRUE(waitUntil([&] { return rig.dialogs->messages.size() > told && !rig.model().isExporting(drive); }));
        EXPECT_EQ(rig.dialogs->messages.back(),
                  (Dialogs::Message{Dialogs::Message::Kind::error, "Export impossible",
                                    "L'extrait ne contient aucune mesure : il n'y a rien à exporter."}));
        EXPECT_EQ(rig.dialogs->saveRequests.size(), asked);
        EXPECT_FALSE(fs::exists(file));
    }
}

// A file that is not a drive: the timeline says why and holds nothing for the exports.
TEST(TripsTrim, AnUnreadableDriveFileIsToldOnTheTimeline) {
    ScreenRig rig;
    ASSERT_TRUE(rig.connect());
    const SessionRecord drive = addPastDrive(rig.model());
    writeFileAtomically(rig.model().sessionCatalog().sessionsDirectory() / drive.fileName, std::string("not a drive"));
    const TripsScreen trips{rig};
    ASSERT_TRUE(trips.open());
    ASSERT_TRUE(trips.select(drive));
    ASSERT_TRUE(waitUntil([&] { return !trips.range().isBusy(); }));
    EXPECT_TRUE(trips.timeline().note().text().startsWith(QStringLiteral("Le fichier « ") + QString::fromStdString(drive.fileName) +
                                                          QStringLiteral(" » ne peut pas être lu : ")))
        << trips.timeline().note().text().toStdString();
    EXPECT_EQ(trips.timeline().contents(), nullptr);
    EXPECT_FALSE(trips.timeline().wholeButton().isEnabled());
}

// Drives selected one after another while one is read: the timeline ends on the last selected,
// whether it is read or its file is missing, and an earlier read never shows over it.
TEST(TripsTrim, TheTimelineEndsOnTheLastDriveSelectedWhileAnotherWasRead) {
    ScreenRig rig;
    ASSERT_TRUE(rig.connect());
    AppModel& model = rig.model();
    const auto day = [](int n) { return PastDrive{}.start - std::chrono::hours(24 * n); };
    const SessionRecord first = addPastDrive(model, {.start = day(1), .seconds = 30});
    const SessionRecord second = addPastDrive(model, {.start = day(2), .seconds = 40});
    const SessionRecord third = addPastDrive(model, {.start = day(3), .seconds = 50});
    const SessionRecord missing = addPastDrive(model, {.start = day(4), .seconds = 60});
    std::filesystem::remove(model.sessionCatalog().sessionsDirectory() / missing.fileName);
    model.refreshSessions();
    const TripsScreen trips{rig};
    ASSERT_TRUE(trips.open());

    ASSERT_TRUE(trips.select(first));
    ASSERT_TRUE(trips.select(second));
    ASSERT_TRUE(trips.select(third));
    ASSERT_TRUE(trips.readIn());
    EXPECT_DOUBLE_EQ(trips.range().upper(), 50);
    settleFor(std::chrono::milliseconds(300)); // nothing read earlier comes after
    EXPECT_DOUBLE_EQ(trips.range().upper(), 50);

    ASSERT_TRUE(trips.select(first));
    ASSERT_TRUE(trips.select(missing));
    settleFor(std::chrono::milliseconds(500));
    EXPECT_EQ(trips.timeline().contents(), nullptr);
    EXPECT_FALSE(trips.range().isBusy());
    EXPECT_EQ(trips.timeline().note().text(),
              QStringLiteral("Le fichier de ce trajet est introuvable : il ne peut pas être découpé."));

    ASSERT_TRUE(trips.open(second)); // reads still run once the earlier ones are over
    EXPECT_DOUBLE_EQ(trips.range().upper(), 40);
}

TEST(TripsTrim, AnExportOverTheApplicationsOwnFilesIsRefusedAndLeavesThemWhole) {
    ScreenRig rig;
    ASSERT_TRUE(rig.connect());
    AppModel& model = rig.model();
    const SessionRecord drive = addPastDrive(model);
    const SessionRecord other = addPastDrive(model, {.start = drive.startDate - std::chrono::hours(24)});
    const TripsScreen trips{rig};
    ASSERT_TRUE(trips.open());
    ASSERT_TRUE(trips.open(drive));
    trips.range().setRange(10, 20);

    const fs::path folder = model.sessionCatalog().sessionsDirectory();
    const std::string catalogue = " » appartient au catalogue des trajets ; choisissez un autre fichier.";
    for (const std::string& name : {drive.fileName, other.fileName, std::string("sessions.store"),
                                   std::string("sessions.store-wal"), std::string("sessions.store-shm"),
                                   std::string("sessions.store-journal")}) {
        SCOPED_TRACE(name);
        const fs::path target = folder / name;
        const auto before = fs::exists(target) ? contentsOf(target) : std::string();
        const std::size_t told = rig.dialogs->messages.size();
        rig.dialogs->saveAnswers.push_back(target);
        QTest::mouseClick(trips.panel().exportButton(Format::csv), Qt::LeftButton);
        ASSERT_TRUE(waitUntil([&] { return rig.dialogs->messages.size() > told && !model.isExporting(drive); }));
        EXPECT_EQ(rig.dialogs->messages.back().text, "Enregistrement impossible : « " + name + catalogue);
        EXPECT_EQ(fs::exists(target) ? contentsOf(target) : std::string(), before);
    }
    EXPECT_EQ(TelemetryFile::read(folder / drive.fileName).records.size(), 91u);
}

// A handle's body, clear of its outline and grip lines: the strip's accent.
QColor handleColour(const RangeTimeline& range) { return range.strip().grab().toImage().pixelColor(3, 40); }

TEST(TripsTrim, TheStripTakesTheScreensAccentByDayAndAtNight) {
    ScreenRig rig;
    ASSERT_TRUE(rig.connect());
    const SessionRecord drive = addPastDrive(rig.model());
    const TripsScreen trips{rig};
    ASSERT_TRUE(trips.open());
    ASSERT_TRUE(trips.open(drive));
    EXPECT_LE(colorDistance(handleColour(trips.range()), VEQ::accent()), 8);
    rig.model().setNightMode(true);
    ASSERT_GT(colorDistance(rig.model().accent(), VEQ::accent()), 60);
    EXPECT_LE(colorDistance(handleColour(trips.range()), rig.model().accent()), 8);

    CaptureRangeCard capture(rig.model());
    EXPECT_LE(colorDistance(handleColour(capture.timeline()), rig.model().accent()), 8);
    rig.model().setNightMode(false);
    EXPECT_LE(colorDistance(handleColour(capture.timeline()), VEQ::accent()), 8);
}

// The drive under way: trimmed, read again as it grows, and exported in every format.
TEST(TripsTrim, TheLiveDriveKeepsItsHandlesOnRefreshAndItsExcerptExportsInEveryFormat) {
    ScreenRig rig;
    ASSERT_TRUE(rig.connect());
    AppModel& model = rig.model();
    ASSERT_TRUE(waitUntil([&] { return model.store().replayDuration() > 2.5; }, std::chrono::seconds(10)));
    const TripsScreen trips{rig};
    ASSERT_TRUE(trips.open());
    SessionRecord live;
    for (const SessionRecord& record : model.pastSessions()) {
        if (model.isCurrentSession(record)) live = record;
    }
    ASSERT_TRUE(trips.open(live));
    ASSERT_TRUE(trips.timeline().refreshButton().isVisible());

    // An end handle at the drive's end follows it; a start handle keeps its time.
    const double first = trips.range().upper();
    ASSERT_GT(first, 2.0);
    trips.range().setRange(1, first);
    ASSERT_TRUE(waitUntil([&] { return model.store().replayDuration() > first + 1.5; }, std::chrono::seconds(10)));
    QTest::mouseClick(&trips.timeline().refreshButton(), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return trips.range().upper() > first + 1 && !trips.range().isBusy(); }));
    EXPECT_DOUBLE_EQ(trips.range().start(), 1);
    EXPECT_DOUBLE_EQ(trips.range().end(), trips.range().upper());
    // An end handle inside the drive keeps its time too, a whole second now that the drive's end
    // has moved on.
    trips.range().setRange(1, first);
    const double kept = std::nearbyint(first);
    EXPECT_DOUBLE_EQ(trips.range().end(), kept);
    const double second = trips.range().upper();
    ASSERT_TRUE(waitUntil([&] { return model.store().replayDuration() > second + 1; }, std::chrono::seconds(10)));
    QTest::mouseClick(&trips.timeline().refreshButton(), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return trips.range().upper() > second && !trips.range().isBusy(); }));
    EXPECT_DOUBLE_EQ(trips.range().start(), 1);
    EXPECT_DOUBLE_EQ(trips.range().end(), kept);

    const std::string suffix = ExportNaming::rangeSuffix(1, kept) + ".";
    for (const DriveExport::FormatRow& format : DriveExport::formats()) {
        SCOPED_TRACE(format.title);
        const fs::path file = rig.folder.path() / ("live." + format.type.extension);
        const std::size_t told = rig.dialogs->messages.size();
        rig.dialogs->saveAnswers.assign({file});
        QTest::mouseClick(trips.panel().exportButton(format.format), Qt::LeftButton);
        ASSERT_TRUE(waitUntil([&] { return (fs::exists(file) || rig.dialogs->messages.size() > told) && !model.isExporting(live); },
                              std::chrono::seconds(20)));
        // The simulated car's drive has a position only when the machine gave one.
        if (format.format == Format::gpx && !fs::exists(file)) {
            EXPECT_EQ(rig.dialogs->messages.back().text, "Ce trajet n'a aucun point GPS : il n'y a rien à exporter en GPX.");
            continue;
        }
        ASSERT_TRUE(fs::exists(file));
        EXPECT_TRUE(trips.suggested().starts_with("DJI_") && trips.suggested().ends_with(suffix + format.type.extension))
            << trips.suggested();
        EXPECT_FALSE(contentsOf(file).empty());
    }
    const auto lines = records(contentsOf(rig.folder.path() / "live.csv"));
    ASSERT_FALSE(lines.empty());
    EXPECT_LT(std::stod(lines.front()), 0.5);
    EXPECT_LE(std::stod(lines.back()), kept - 1 + 1e-9);

    // An end at the end of what was read last follows the drive to where the export reads it,
    // as a refresh would move it.
    const double read = trips.range().upper();
    trips.range().setRange(1, read);
    ASSERT_TRUE(waitUntil([&] { return model.store().replayDuration() > read + 2; }, std::chrono::seconds(10)));
    const fs::path grown = rig.folder.path() / "grown.csv";
    rig.dialogs->saveAnswers.assign({grown});
    QTest::mouseClick(trips.panel().exportButton(Format::csv), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return fs::exists(grown) && !model.isExporting(live); }, std::chrono::seconds(20)));
    const auto grownLines = records(contentsOf(grown));
    ASSERT_FALSE(grownLines.empty());
    EXPECT_GT(std::stod(grownLines.back()), read - 1 + 1.0);
    EXPECT_FALSE(trips.suggested().ends_with(ExportNaming::rangeSuffix(1, read) + ".csv")) << trips.suggested();
}

// Run again in a child process under Paris time: ICU reads the zone once per process.
TEST(TripsTrim, TheSuggestedNameReadsTheStartInTheMachinesZone) {
    if (qEnvironmentVariable("TZ") != QStringLiteral("Europe/Paris")) {
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("TZ"), QStringLiteral("Europe/Paris"));
        child.setProcessEnvironment(environment);
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--gtest_filter=TripsTrim.TheSuggestedNameReadsTheStartInTheMachinesZone")});
        ASSERT_TRUE(child.waitForFinished(120'000));
        const std::string output = child.readAll().toStdString();
        EXPECT_EQ(child.exitCode(), 0) << output;
        EXPECT_NE(output.find("[  PASSED  ] 1 test"), std::string::npos) << output;
        return;
    }
    ASSERT_EQ(TimeZone::current().identifier(), "Europe/Paris");
    ScreenRig rig;
    ASSERT_TRUE(rig.connect());
    const SessionRecord drive = addPastDrive(rig.model()); // 28 November 2026, 07:42 UTC
    const TripsScreen trips{rig};
    ASSERT_TRUE(trips.open());
    ASSERT_TRUE(trips.open(drive));
    trips.range().setRange(12, 40);
    ASSERT_TRUE(trips.exportTo(Format::csv, rig.folder.path() / "paris.csv"));
    EXPECT_EQ(trips.suggested(), "DJI_20261128084200-12s-40s.csv");
    trips.range().selectWhole();
    ASSERT_TRUE(trips.exportTo(Format::srt, rig.folder.path() / "paris.srt"));
    EXPECT_EQ(trips.suggested(), "DJI_20261128084200.srt");
}

// While the save panel is up the export runs: its drive stays closed to another export and to
// deletion, on this screen, after the list is refreshed, and on a screen built after it started.
TEST(TripsBusy, ADriveBeingExportedKeepsItsExportsAndDeletionOffUntilTheExportEnds) {
    ScreenRig rig;
    ASSERT_TRUE(rig.connect());
    AppModel& model = rig.model();
    const SessionRecord drive = addPastDrive(model);
    const fs::path driveFile = model.sessionCatalog().sessionsDirectory() / drive.fileName;
    const TripsScreen trips{rig};
    ASSERT_TRUE(trips.open());
    ASSERT_TRUE(trips.open(drive));

    const auto closed = [&](const char* where) {
        SCOPED_TRACE(where);
        for (const DriveExport::FormatRow& format : DriveExport::formats()) {
            EXPECT_FALSE(trips.panel().exportButton(format.format)->isEnabled()) << format.title;
        }
        EXPECT_FALSE(trips.panel().deleteButton().isEnabled());
        auto* note = rig.find<QLabel>(QStringLiteral("deleteNote"));
        ASSERT_NE(note, nullptr);
        EXPECT_EQ(note->text(), QStringLiteral("Export en cours : le trajet pourra être supprimé une fois l'export terminé."));
        EXPECT_EQ(rig.find<QLabel>(QStringLiteral("exportNote"))->text(), QStringLiteral("Export en cours…"));
        EXPECT_EQ(trips.list().textsOf(*trips.list().selectedIndex()).mark, QStringLiteral("Export…"));
    };
    bool asked = false;
    rig.dialogs->whileChoosing = [&] {
        asked = true;
        closed("the screen that started it");
        model.refreshSessions();
        closed("the list refreshed");
        ASSERT_TRUE(rig.click(QStringLiteral("sidebarRow.Live Data")));
        rig.settle();
        ASSERT_TRUE(trips.open());
        ASSERT_TRUE(trips.select(drive));
        closed("a screen built after it started");
        model.deleteSession(drive);
        EXPECT_TRUE(fs::exists(driveFile));
        rig.dialogs->whileChoosing = {};
    };
    const fs::path file = rig.folder.path() / "drive.csv";
    rig.dialogs->saveAnswers.push_back(file);
    QTest::mouseClick(trips.panel().exportButton(Format::csv), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return asked && fs::exists(file) && !model.isExporting(drive); }, std::chrono::seconds(20)));
    EXPECT_TRUE(trips.panel().exportButton(Format::csv)->isEnabled());
    EXPECT_TRUE(trips.panel().deleteButton().isEnabled());
    EXPECT_NE(trips.list().textsOf(*trips.list().selectedIndex()).mark, QStringLiteral("Export…"));
}

// At the smallest window the panel scrolls: an export must leave it where the user put it.
TEST(TripsPanel, AnExportKeepsThePanelsScrollAndSaysWhatItWrote) {
    ScreenRig rig;
    rig.window->resize(1080, 680);
    rig.settle();
    ASSERT_TRUE(rig.connect());
    const SessionRecord drive = addPastDrive(rig.model());
    const TripsScreen trips{rig};
    ASSERT_TRUE(trips.open());
    ASSERT_TRUE(trips.open(drive));
    rig.settle();
    auto* scroll = rig.find<QScrollArea>(QStringLiteral("drivePanelScroll"));
    ASSERT_NE(scroll, nullptr);
    QPushButton* mdf = trips.panel().exportButton(Format::mdf4);
    scroll->ensureWidgetVisible(mdf);
    const int kept = scroll->verticalScrollBar()->value();
    ASSERT_GT(kept, 0) << "the panel does not scroll at 1080 x 680";

    mdf->setFocus(Qt::MouseFocusReason); // as the click gives it
    ASSERT_TRUE(trips.exportTo(Format::mdf4, rig.folder.path() / "drive.mf4"));
    rig.settle();
    EXPECT_EQ(scroll->verticalScrollBar()->value(), kept);
    EXPECT_EQ(rig.find<QLabel>(QStringLiteral("exportNote"))->text(), QStringLiteral("Exporté : drive.mf4"));
    rig.snapshot(QStringLiteral("trips-exported-1080x680"));
}

// Scrolling the panel with the wheel passes the channel picker under the pointer: the panel
// scrolls on and the channel stays, until a click gives the picker the focus.
TEST(TripsPanel, TheWheelOverTheChannelPickerScrollsThePanelUnlessThePickerHasTheFocus) {
    ScreenRig rig;
    rig.window->resize(1080, 680);
    ASSERT_TRUE(rig.connect());
    const SessionRecord drive = addPastDrive(rig.model());
    const TripsScreen trips{rig};
    ASSERT_TRUE(trips.open() && trips.open(drive));
    rig.settle();
    const QScrollBar& bar = *rig.find<QScrollArea>(QStringLiteral("drivePanelScroll"))->verticalScrollBar();
    QComboBox& picker = trips.timeline().channelPicker();
    const int channel = picker.currentIndex();
    wheelDown(picker);
    EXPECT_GT(bar.value(), 0) << "the panel scrolls";
    EXPECT_EQ(picker.currentIndex(), channel);
    picker.setFocus(Qt::MouseFocusReason);
    wheelDown(picker);
    EXPECT_EQ(picker.currentIndex(), channel + 1) << "focused, the picker takes the wheel";
}

} // namespace
} // namespace veq::testing
