// The event recorder as the model drives it over a live simulated car: marks, saves, the
// capture summaries, and the location relay.
#include "ConnectionFixtures.hpp"

#include "VEQEngine/Coding/AuditLog.hpp"
#include "VEQEngine/Coding/ECUBackupStore.hpp"
#include "VEQProtocol/GPSChannel.hpp"
#include "VEQStore/Export/ExportNaming.hpp"
#include "VEQStore/Telemetry/TelemetryFile.hpp"

#include <QDateTime>
#include <QGeoCoordinate>
#include <QGeoPositionInfo>

#include <gtest/gtest.h>

#include <cstdlib>

using namespace veq;
using namespace veq::testing;
using namespace std::chrono_literals;
using LogPhase = AppModel::LogPhase;
namespace fs = std::filesystem;

namespace {

const std::string failurePrefix = "Échec de la sauvegarde du log : ";

// A live model whose recorder has seen a stretch of polling.
struct LiveRig : ConnectionRig {
    explicit LiveRig(ConnectionRigOptions options = {}) : ConnectionRig(options) {
        EXPECT_TRUE(connect()) << model->phase().message;
        EXPECT_TRUE(waitUntil([&] { return model->store().snapshots().size() >= 2; }));
    }
    ~LiveRig() { model->disconnect(); }

    // Marks a stretch holding some polling; returns its start and end.
    std::pair<AppModel::Date, AppModel::Date> markStretch() {
        model->startLog();
        const auto start = model->logPhase().start;
        settleFor(300ms);
        model->endLog();
        return {start, model->logPhase().end};
    }
    // Answers the next save panel with `file` and saves the marked stretch.
    void saveTo(const fs::path& file) {
        dialogs->saveAnswers.push_back(file);
        model->saveLog();
    }
    bool saved() { return waitUntil([&] { return model->logPhase() == LogPhase::idle(); }); }
};

QGeoPositionInfo position(AppModel::Date at, double accuracy, bool withMotion) {
    QGeoPositionInfo info(QGeoCoordinate(48.8566, 2.3522, 35.0),
                          QDateTime::fromMSecsSinceEpoch(
                              std::chrono::duration_cast<std::chrono::milliseconds>(at.time_since_epoch()).count()));
    info.setAttribute(QGeoPositionInfo::HorizontalAccuracy, accuracy);
    if (withMotion) {
        info.setAttribute(QGeoPositionInfo::GroundSpeed, 10.0);
        info.setAttribute(QGeoPositionInfo::Direction, 90.0);
    }
    return info;
}

std::map<std::uint8_t, EventRecorder::ChannelSummary> gpsSummaries(const AppModel& model) {
    std::map<std::uint8_t, EventRecorder::ChannelSummary> out;
    for (const auto& summary : model.captureSummaries()) {
        if (GPSChannel::isGPS(summary.channel)) out[summary.channel] = summary;
    }
    return out;
}

} // namespace

TEST(RecordingTests, MarksMoveThePhaseOnlyFromTheirOwnPhasesAndACancelledPanelKeepsTheStretch) {
    ConnectionRig idle;
    idle->startLog(); // no recorder
    idle->saveRange(kStart, kStart + 1s);
    EXPECT_EQ(idle->logPhase(), LogPhase::idle());

    LiveRig rig;
    rig->endLog(); // idle
    EXPECT_EQ(rig->logPhase(), LogPhase::idle());
    rig->startLog();
    const auto running = rig->logPhase();
    ASSERT_EQ(running.kind, LogPhase::Kind::running);
    rig->startLog(); // running
    EXPECT_EQ(rig->logPhase(), running);
    rig->endLog();
    const auto ended = rig->logPhase();
    EXPECT_EQ(ended, LogPhase::ended(running.start, ended.end));
    rig->startLog(); // ended
    EXPECT_EQ(rig->logPhase(), ended);
    rig->discardLog();
    EXPECT_EQ(rig->logPhase(), LogPhase::idle());

    // A range whose end is not after its start does nothing; a valid one opens the panel even
    // while a stretch runs.
    rig->saveRange(kStart + 1s, kStart + 1s);
    rig->saveRange(kStart + 2s, kStart + 1s);
    EXPECT_EQ(rig->logPhase(), LogPhase::idle());
    rig->startLog();
    rig->saveRange(kStart, kStart + 1s);
    EXPECT_EQ(rig->logPhase(), LogPhase::ended(kStart, kStart + 1s));
    EXPECT_TRUE(waitUntil([&] { return rig.dialogs->saveRequests.size() == 1; }));

    // A cancelled panel keeps the stretch; discarding it keeps the last save shown.
    rig->discardLog();
    const auto [start, end] = rig.markStretch();
    rig->saveLog(); // no answer queued: cancelled
    EXPECT_EQ(rig->logPhase(), LogPhase::ended(start, end));
    EXPECT_EQ(rig->lastSavedLog(), std::nullopt);
    TemporaryFolder elsewhere;
    rig.saveTo(elsewhere / "a.veqt");
    ASSERT_TRUE(rig.saved());
    const auto saved = rig->lastSavedLog();
    rig->saveRange(start, end);
    ASSERT_TRUE(waitUntil([&] { return rig.dialogs->saveRequests.size() == 4; }));
    EXPECT_EQ(rig->logPhase(), LogPhase::ended(start, end));
    rig->discardLog();
    EXPECT_EQ(rig->logPhase(), LogPhase::idle());
    EXPECT_EQ(rig->lastSavedLog(), saved);
}

TEST(RecordingTests, AnOwnFileSavedIntoTheCatalogueFolderIsCataloguedFromTheStretchStart) {
    LiveRig rig;
    const auto [start, end] = rig.markStretch();
    const fs::path file = rig.sessionsFolder() / "stretch.veqt";
    rig.saveTo(file);
    EXPECT_EQ(rig->logPhase(), LogPhase::saving());
    ASSERT_TRUE(rig.saved()) << rig->lastExecutionMessage().value_or("");

    ASSERT_EQ(rig.dialogs->saveRequests.size(), 1u);
    const auto& request = rig.dialogs->saveRequests[0];
    EXPECT_EQ(request.directory, rig.sessionsFolder());
    EXPECT_EQ(request.suggestedName, ExportNaming::dji(start, "mf4", TimeZone::current()));
    ASSERT_EQ(request.types.size(), 2u);
    EXPECT_EQ(request.types[0].extension, "mf4");
    EXPECT_EQ(request.types[1].extension, "veqt");

    ASSERT_TRUE(rig->lastSavedLog().has_value());
    const auto saved = *rig->lastSavedLog();
    EXPECT_EQ(saved.url, file);
    EXPECT_GT(saved.records, 0u);
    const auto contents = TelemetryFile::read(file);
    EXPECT_EQ(contents.records.size(), saved.records);
    EXPECT_EQ(contents.channels.size(), saved.channels);

    // Beside the live drive's record: the stretch's, dated from its own start.
    const auto it = std::find_if(rig->pastSessions().begin(), rig->pastSessions().end(),
                                 [](const SessionRecord& r) { return r.fileName == "stretch.veqt"; });
    ASSERT_EQ(rig->pastSessions().size(), 2u);
    ASSERT_NE(it, rig->pastSessions().end());
    const auto gap = [](AppModel::Date a, AppModel::Date b) { return std::chrono::duration_cast<std::chrono::milliseconds>(b - a); };
    EXPECT_EQ(gap(start, it->startDate), 0ms);
    EXPECT_EQ(gap(end, it->endDate.value_or(AppModel::Date{})), 0ms);
    EXPECT_EQ(it->sampleCount, static_cast<std::int64_t>(saved.records));
    EXPECT_EQ(it->channelCount, static_cast<std::int64_t>(saved.channels));
    EXPECT_EQ(it->vin, rig->vin());
}

TEST(RecordingTests, AFailedSaveReturnsToEndedWithItsFrenchReasonAndNoSaveLeavesAScratchFile) {
    TemporaryFolder scratch;
    const char* previous = std::getenv("TMPDIR");
    const std::string kept = previous ? previous : "";
    ::setenv("TMPDIR", scratch.path().c_str(), 1);
    const auto scratchFiles = [&] {
        std::vector<fs::path> out;
        for (const auto& entry : fs::directory_iterator(scratch.path())) {
            if (entry.path().extension() == ".veqt") out.push_back(entry.path());
        }
        return out;
    };
    {
        LiveRig rig;
        TemporaryFolder elsewhere;
        // Every channel left out: nothing between the marks.
        const auto [start, end] = rig.markStretch();
        std::set<std::uint8_t> every;
        for (int c = 0; c < 256; ++c) every.insert(static_cast<std::uint8_t>(c));
        rig->setExcludedChannels(every);
        rig.saveTo(elsewhere / "empty.veqt");
        ASSERT_TRUE(waitUntil([&] { return rig->logPhase().kind == LogPhase::Kind::ended; }));
        EXPECT_EQ(rig->logPhase(), LogPhase::ended(start, end));
        const std::string empty = failurePrefix + "aucun échantillon entre les deux marques";
        EXPECT_EQ(rig->lastExecutionMessage(), empty);

        // An MDF file that cannot be written: the scratch own file goes too.
        rig->setExcludedChannels({});
        rig.saveTo(elsewhere / "missing-folder" / "range.mf4");
        ASSERT_TRUE(waitUntil([&] {
            return rig->logPhase() == LogPhase::ended(start, end) && rig->lastExecutionMessage() != empty;
        }));
        EXPECT_TRUE(rig->lastExecutionMessage()->starts_with(failurePrefix));
        EXPECT_TRUE(scratchFiles().empty());

        // The marks stayed: the same stretch saves once a destination works, as MDF (whatever
        // the extension's case) and outside any catalogue.
        rig.saveTo(elsewhere / "range.MF4");
        EXPECT_TRUE(rig.saved()) << rig->lastExecutionMessage().value_or("");
        EXPECT_EQ(readFile(elsewhere / "range.MF4").substr(0, 3), "MDF");
        EXPECT_EQ(rig->pastSessions().size(), 1u); // the live drive's only
        EXPECT_TRUE(scratchFiles().empty());
    }
    if (previous) ::setenv("TMPDIR", kept.c_str(), 1);
    else ::unsetenv("TMPDIR");
}

TEST(RecordingTests, TheLiveDrivesFileCataloguedDrivesAndTheFilesKeptBesideThemAreNeverASaveDestination) {
    LiveRig rig;
    const fs::path live = *rig->store().recordingURL();
    const auto [start, end] = rig.markStretch();
    rig->store().flushRecording();
    const auto liveSize = fs::file_size(live);

    const auto refused = [&](const fs::path& destination, std::string_view reason) {
        rig.saveTo(destination);
        EXPECT_EQ(rig->logPhase(), LogPhase::ended(start, end));
        EXPECT_EQ(rig->lastExecutionMessage(),
                  failurePrefix + "« " + destination.filename().string() + " » " + std::string(reason));
    };
    const std::string liveReason = "est le fichier du trajet en cours d'enregistrement ; choisissez un autre fichier.";
    const std::string catalogueReason = "appartient au catalogue des trajets ; choisissez un autre fichier.";
    refused(live, liveReason);
    refused(live.parent_path() / ".." / live.parent_path().filename() / live.filename(), liveReason); // another way
    refused(rig.sessionsFolder() / "sessions.store", catalogueReason);
    for (const char* working : {"sessions.store-wal", "sessions.store-shm", "sessions.store-journal"}) {
        refused(rig.sessionsFolder() / working, catalogueReason);
    }
    // The other files the application keeps beside its drives.
    refused(rig.sessionsFolder().parent_path() / "oskavel-car.lock",
            "est le verrou qui réserve les données à cette fenêtre ; choisissez un autre fichier.");
    refused(rig->auditLog().logFileURL(), "est le journal d'audit du mode expert ; choisissez un autre fichier.");
    refused(rig->backupStore().storageDirectory() / "ECU_7E0.json",
            "appartient aux sauvegardes des calculateurs ; choisissez un autre fichier.");
    settleFor(100ms);
    EXPECT_GE(fs::file_size(live), liveSize);
    EXPECT_NO_THROW(TelemetryFile::read(live));

    // A drive of the catalogue, once saved, is one too.
    const fs::path stretch = rig.sessionsFolder() / "stretch.veqt";
    rig.saveTo(stretch);
    ASSERT_TRUE(rig.saved());
    const auto before = fs::file_size(stretch);
    const auto [start2, end2] = rig.markStretch();
    rig.saveTo(stretch);
    EXPECT_EQ(rig->logPhase(), LogPhase::ended(start2, end2));
    EXPECT_EQ(rig->lastExecutionMessage(), failurePrefix + "« stretch.veqt » " + catalogueReason);
    EXPECT_EQ(fs::file_size(stretch), before);
}

// The syncs of the drive under way leave its channel count alone: it is set when the file opens,
// as the codes read while connecting reach the record, before any end.
TEST(RecordingTests, TheLiveDrivesRecordCountsTheChannelsOfItsFileAndTheCodesRead) {
    ConnectionRig rig;
    std::vector<SessionRecord> atLive; // as going live leaves them, before any value
    QObject::connect(rig.model.get(), &AppModel::phaseChanged, [&] { atLive = rig->sessionCatalog().allSessions(); });
    ASSERT_TRUE(rig.connect());
    ASSERT_EQ(atLive.size(), 1u);
    EXPECT_TRUE(atLive[0].dtcCount == 2 && !atLive[0].endDate);
    const fs::path live = *rig->store().recordingURL();
    const auto countOf = [&] {
        for (const SessionRecord& record : rig->pastSessions()) {
            if (record.fileName == live.filename().string()) return record.channelCount;
        }
        return std::int64_t{-1};
    };
    rig->store().flushRecording();
    const auto channels = static_cast<std::int64_t>(TelemetryFile::read(live).channels.size());
    ASSERT_GT(channels, 0);
    EXPECT_EQ(countOf(), channels);
    rig->syncCurrentSession();
    EXPECT_EQ(countOf(), channels);
    rig->disconnect();
    EXPECT_EQ(countOf(), channels);
}

TEST(RecordingTests, TheCaptureRefreshShowsTheRecorderWhileItRunsAndMarksReachItInCallOrder) {
    ConnectionRig disconnected;
    disconnected->beginCaptureRefresh();
    settleFor(50ms);
    EXPECT_TRUE(disconnected->captureSummaries().empty());
    EXPECT_EQ(disconnected->captureStatus(), std::nullopt);

    LiveRig rig;
    rig->beginCaptureRefresh();
    ASSERT_TRUE(waitUntil([&] { return rig->captureStatus() && rig->captureStatus()->eventCount > 0; }));
    EXPECT_FALSE(rig->captureSummaries().empty());
    EXPECT_EQ(rig->captureStatus()->startMark, std::nullopt);
    const auto first = rig->captureStatus()->eventCount;
    EXPECT_TRUE(waitUntil([&] { return rig->captureStatus()->eventCount > first; }, 3s)); // as the recorder fills
    for (int i = 0; i < 30; ++i) {
        rig->startLog();
        rig->endLog();
        // The refresh reads the recorder after both marks: an end before its start would be
        // wiped by the start.
        rig->endCaptureRefresh();
        rig->beginCaptureRefresh();
        ASSERT_TRUE(waitUntil([&] { return rig->captureStatus() && rig->captureStatus()->endMark.has_value(); }))
            << "turn " << i;
        EXPECT_LE(*rig->captureStatus()->startMark, *rig->captureStatus()->endMark);
        rig->discardLog();
        rig->endCaptureRefresh();
        rig->beginCaptureRefresh();
        ASSERT_TRUE(waitUntil([&] { return rig->captureStatus() && !rig->captureStatus()->endMark.has_value(); }));
    }
    rig->endCaptureRefresh();
}

TEST(RecordingTests, TheLocationSummaryInEachOfItsCasesAndTheSwitchStartsAndStopsTracking) {
    ConnectionRig rig({.positionSource = true});
    LocationProvider& location = rig->location();
    EXPECT_EQ(rig->locationSummary(), "Autorisation non demandée");
    const struct { LocationProvider::Authorization authorization; std::string text; } refusals[] = {
        {LocationProvider::Authorization::denied, "Accès à la position refusé"},
        {LocationProvider::Authorization::restricted, "Accès à la position restreint"},
        {LocationProvider::Authorization::unavailable, "Service de localisation désactivé"},
    };
    for (const auto& c : refusals) {
        location.didChangeAuthorization(c.authorization);
        EXPECT_EQ(rig->locationSummary(), c.text);
    }
    location.didChangeAuthorization(LocationProvider::Authorization::authorized);
    EXPECT_EQ(rig->locationSummary(), "En attente d'une première position…");
    for (int i = 0; i < 12; ++i) location.didUpdateLocations({position(kStart + std::chrono::seconds(i), 4.6, false)});
    EXPECT_EQ(rig->locationSummary(), "GPS · ±5 m · 12 points");
    location.didUpdateLocations({position(kStart + 20s, 65.0, false)});
    EXPECT_EQ(rig->locationSummary(), "Position approchée · ±65 m · 13 points");

    rig->setLocationRecording(false);
    EXPECT_FALSE(rig->recordLocation() || location.isTracking());
    EXPECT_EQ(rig->locationSummary(), "Enregistrement de la position désactivé");
    rig->setLocationRecording(true);
    EXPECT_TRUE(location.isTracking());
    // Without a connection the relay only brings the fix to the store.
    rig.source->deliver(position(std::chrono::system_clock::now(), 3.0, true));
    EXPECT_TRUE(waitUntil([&] { return rig->store().locationFix().has_value(); }));
    rig->setLocationRecording(false);
    EXPECT_FALSE(location.isTracking());
}

TEST(RecordingTests, TheRelayRecordsEachFixOnceAtItsDate) {
    LiveRig rig({.positionSource = true});
    ASSERT_TRUE(rig->location().isTracking());
    const auto origin = *rig->recorderOrigin();
    // Positions carry whole milliseconds; the recorder rounds the time since its origin.
    const auto at = std::chrono::floor<std::chrono::milliseconds>(origin) + 1500ms;
    const double seconds = static_cast<double>((std::chrono::nanoseconds(at - origin).count() + 500'000) / 1'000'000) / 1000.0;
    rig.source->deliver(position(at, 3.0, true));
    ASSERT_TRUE(waitUntil([&] { return rig->store().locationFix() && rig->store().locationFix()->timestamp == at; }));
    // Several relay turns with the same fix, then a refresh reads the recorder.
    settleFor(700ms);
    rig->beginCaptureRefresh();
    ASSERT_TRUE(waitUntil([&] { return gpsSummaries(*rig).size() == 6; }));
    const auto first = gpsSummaries(*rig);
    const std::pair<std::uint8_t, float> expected[] = {
        {GPSChannel::latitude, 48.8566F}, {GPSChannel::longitude, 2.3522F}, {GPSChannel::altitude, 35.0F},
        {GPSChannel::speed, 36.0F},       {GPSChannel::course, 90.0F},      {GPSChannel::horizontalAccuracy, 3.0F},
    };
    for (const auto& [channel, value] : expected) {
        SCOPED_TRACE(int(channel));
        ASSERT_TRUE(first.contains(channel));
        EXPECT_EQ(first.at(channel).count, 1u);
        EXPECT_FLOAT_EQ(first.at(channel).lastValue, value);
        EXPECT_DOUBLE_EQ(first.at(channel).lastSeconds, seconds);
    }

    // A fix without speed and course: four channels.
    rig.source->deliver(position(at + 1s, 3.0, false));
    rig->endCaptureRefresh();
    ASSERT_TRUE(waitUntil([&] { return rig->store().locationFix()->timestamp == at + 1s; }));
    settleFor(300ms);
    rig->beginCaptureRefresh();
    ASSERT_TRUE(waitUntil([&] { return gpsSummaries(*rig).at(GPSChannel::latitude).count == 2; }));
    const auto second = gpsSummaries(*rig);
    for (const auto& [channel, value] : expected) {
        const bool motion = channel == GPSChannel::speed || channel == GPSChannel::course;
        EXPECT_EQ(second.at(channel).count, motion ? 1u : 2u) << int(channel);
    }
    rig->endCaptureRefresh();
}
