// The event recorder as the model drives it over a live simulated car: marks, saves, the
// capture summaries, and the location relay.
#include "ConnectionFixtures.hpp"

#include "VEQProtocol/GPSChannel.hpp"
#include "VEQStore/Export/ExportNaming.hpp"
#include "VEQStore/Telemetry/TelemetryFile.hpp"

#include "TestSupport/ExternalTool.hpp"

#include <QDateTime>
#include <QGeoCoordinate>
#include <QGeoPositionInfo>

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <cstdlib>

using namespace veq;
using namespace veq::testing;
using Access = AppModelConnectionAccess;
using LogPhase = AppModel::LogPhase;
namespace fs = std::filesystem;

namespace {

using namespace std::chrono_literals;

const std::string failurePrefix = "Échec de la sauvegarde du log : ";

void settleFor(std::chrono::milliseconds duration) { waitUntil([] { return false; }, duration); }

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

    bool saved() { return waitUntil([&] { return model->logPhase() == LogPhase::idle(); }); }
    bool failedBack() { return waitUntil([&] { return model->logPhase().kind == LogPhase::Kind::ended; }); }
};

std::chrono::milliseconds msBetween(AppModel::Date a, AppModel::Date b) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(b - a);
}

// The own files directly in a folder (the scratch files of MDF saves).
std::vector<fs::path> ownFilesIn(const fs::path& folder) {
    std::vector<fs::path> out;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        if (entry.path().extension() == ".veqt") out.push_back(entry.path());
    }
    return out;
}

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

TEST(RecordingTests, MarksMoveThePhaseOnlyFromTheirOwnPhases) {
    ConnectionRig idle;
    idle->startLog(); // no recorder
    EXPECT_EQ(idle->logPhase(), LogPhase::idle());
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
}

TEST(RecordingTests, AnOwnFileSavedIntoTheCatalogueFolderIsCataloguedFromTheStretchStart) {
    LiveRig rig;
    const auto [start, end] = rig.markStretch();
    const fs::path file = rig.sessionsFolder() / "stretch.veqt";
    rig.dialogs->saveAnswers.push_back(file);
    rig->saveLog();
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
    ASSERT_EQ(rig->pastSessions().size(), 2u);
    const auto it = std::find_if(rig->pastSessions().begin(), rig->pastSessions().end(),
                                 [](const SessionRecord& r) { return r.fileName == "stretch.veqt"; });
    ASSERT_NE(it, rig->pastSessions().end());
    EXPECT_EQ(msBetween(start, it->startDate), 0ms);
    ASSERT_TRUE(it->endDate.has_value());
    EXPECT_EQ(msBetween(end, *it->endDate), 0ms);
    EXPECT_EQ(it->sampleCount, static_cast<std::int64_t>(saved.records));
    EXPECT_EQ(it->channelCount, static_cast<std::int64_t>(saved.channels));
    EXPECT_EQ(it->vin, rig->vin());
}

TEST(RecordingTests, AnMDFFileSavedElsewhereReadsBackAndEntersNoCatalogue) {
    LiveRig rig;
    TemporaryFolder elsewhere;
    const fs::path veqt = elsewhere / "outside.veqt";
    const fs::path mdf = elsewhere / "range.MF4";

    rig.markStretch();
    rig.dialogs->saveAnswers.push_back(veqt);
    rig->saveLog();
    ASSERT_TRUE(rig.saved());

    const auto origin = *rig->recorderOrigin();
    rig.dialogs->saveAnswers.push_back(mdf);
    rig->saveRange(origin, std::chrono::system_clock::now());
    ASSERT_TRUE(waitUntil([&] { return rig->lastSavedLog() && rig->lastSavedLog()->url == mdf; }))
        << rig->lastExecutionMessage().value_or("");
    EXPECT_TRUE(rig.saved());
    EXPECT_EQ(rig->pastSessions().size(), 1u); // the live drive's only

    // Read back by the MDF reader written from the standard, not from our writer.
    const fs::path reader = (fs::path(VEQ_TEST_DATA_DIR) / "../../../VEQStore/data/mdf4_read.py").lexically_normal();
    const auto result = runTool("python3 " + shellQuoted(reader.string()) + " " + shellQuoted(mdf.string()));
    ASSERT_EQ(result.exitStatus, 0) << result.output;
    const auto files = nlohmann::json::parse(result.output);
    ASSERT_EQ(files.size(), 1u);
    ASSERT_EQ(files[0]["groups"].size(), 1u);
    EXPECT_EQ(files[0]["groups"][0]["channels"].size(), rig->lastSavedLog()->channels + 1); // time first
    EXPECT_EQ(files[0]["groups"][0]["cycle_count"], rig->lastSavedLog()->records);
}

TEST(RecordingTests, AFailedSaveReturnsToEndedWithItsFrenchReasonAndLeavesNoScratchFile) {
    TemporaryFolder scratch;
    const char* previous = std::getenv("TMPDIR");
    const std::string kept = previous ? previous : "";
    ::setenv("TMPDIR", scratch.path().c_str(), 1);

    {
        LiveRig rig;
        TemporaryFolder elsewhere;

        // Every channel left out: nothing between the marks.
        const auto [start, end] = rig.markStretch();
        std::set<std::uint8_t> every;
        for (int c = 0; c < 256; ++c) every.insert(static_cast<std::uint8_t>(c));
        rig->setExcludedChannels(every);
        rig.dialogs->saveAnswers.push_back(elsewhere / "empty.veqt");
        rig->saveLog();
        ASSERT_TRUE(rig.failedBack());
        EXPECT_EQ(rig->logPhase(), LogPhase::ended(start, end));
        EXPECT_EQ(rig->lastExecutionMessage(), failurePrefix + "aucun échantillon entre les deux marques");

        // An MDF file that cannot be written: the scratch own file goes too.
        rig->setExcludedChannels({});
        rig.dialogs->saveAnswers.push_back(elsewhere / "missing-folder" / "range.mf4");
        rig->saveLog();
        ASSERT_TRUE(waitUntil([&] { return rig->logPhase() == LogPhase::ended(start, end) &&
                                           rig->lastExecutionMessage() != failurePrefix + "aucun échantillon entre les deux marques"; }));
        EXPECT_TRUE(rig->lastExecutionMessage()->starts_with(failurePrefix));
        EXPECT_TRUE(ownFilesIn(scratch.path()).empty());

        // The marks stayed: the same stretch saves once a destination works.
        rig.dialogs->saveAnswers.push_back(elsewhere / "range.mf4");
        rig->saveLog();
        EXPECT_TRUE(rig.saved()) << rig->lastExecutionMessage().value_or("");
        EXPECT_TRUE(fs::exists(elsewhere / "range.mf4"));
        EXPECT_TRUE(ownFilesIn(scratch.path()).empty());
    }

    if (previous) ::setenv("TMPDIR", kept.c_str(), 1);
    else ::unsetenv("TMPDIR");
}

TEST(RecordingTests, TheLiveDrivesFileAndCataloguedDrivesAreNeverASaveDestination) {
    LiveRig rig;
    const fs::path live = *rig->store().recordingURL();
    const auto [start, end] = rig.markStretch();
    rig->store().flushRecording();
    const auto liveSize = fs::file_size(live);

    const auto refused = [&](const fs::path& destination, std::string_view reason) {
        rig.dialogs->saveAnswers.push_back(destination);
        rig->saveLog();
        EXPECT_EQ(rig->logPhase(), LogPhase::ended(start, end));
        EXPECT_EQ(rig->lastExecutionMessage(),
                  failurePrefix + "« " + destination.filename().string() + " » " + std::string(reason));
    };
    refused(live, "est le fichier du trajet en cours d'enregistrement ; choisissez un autre fichier.");
    // Named another way: through the folder's parent.
    refused(live.parent_path() / ".." / live.parent_path().filename() / live.filename(),
            "est le fichier du trajet en cours d'enregistrement ; choisissez un autre fichier.");
    refused(rig.sessionsFolder() / "sessions.store", "appartient au catalogue des trajets ; choisissez un autre fichier.");
    settleFor(100ms);
    EXPECT_GE(fs::file_size(live), liveSize);
    EXPECT_NO_THROW(TelemetryFile::read(live));

    // A drive of the catalogue, once saved, is one too.
    const fs::path stretch = rig.sessionsFolder() / "stretch.veqt";
    rig.dialogs->saveAnswers.push_back(stretch);
    rig->saveLog();
    ASSERT_TRUE(rig.saved());
    const auto before = fs::file_size(stretch);
    rig.markStretch();
    const auto [start2, end2] = std::pair(rig->logPhase().start, rig->logPhase().end);
    rig.dialogs->saveAnswers.push_back(stretch);
    rig->saveLog();
    EXPECT_EQ(rig->logPhase(), LogPhase::ended(start2, end2));
    EXPECT_EQ(rig->lastExecutionMessage(),
              failurePrefix + "« stretch.veqt » appartient au catalogue des trajets ; choisissez un autre fichier.");
    EXPECT_EQ(fs::file_size(stretch), before);
}

TEST(RecordingTests, ACancelledPanelKeepsTheStretchAndDiscardKeepsTheLastSave) {
    LiveRig rig;
    const auto [start, end] = rig.markStretch();
    rig->saveLog(); // no answer queued: cancelled
    EXPECT_EQ(rig->logPhase(), LogPhase::ended(start, end));
    EXPECT_EQ(rig->lastSavedLog(), std::nullopt);

    TemporaryFolder elsewhere;
    rig.dialogs->saveAnswers.push_back(elsewhere / "a.veqt");
    rig->saveLog();
    ASSERT_TRUE(rig.saved());
    const auto saved = rig->lastSavedLog();

    // A range's panel cancelled, then discarded: the last save stays shown.
    rig->saveRange(start, end);
    ASSERT_TRUE(waitUntil([&] { return rig.dialogs->saveRequests.size() == 3; }));
    EXPECT_EQ(rig->logPhase(), LogPhase::ended(start, end));
    rig->discardLog();
    EXPECT_EQ(rig->logPhase(), LogPhase::idle());
    EXPECT_EQ(rig->lastSavedLog(), saved);
    rig->beginCaptureRefresh();
    ASSERT_TRUE(waitUntil([&] { return rig->captureStatus().has_value(); }));
    EXPECT_EQ(rig->captureStatus()->startMark, std::nullopt);
    EXPECT_EQ(rig->captureStatus()->endMark, std::nullopt);
    rig->endCaptureRefresh();
}

TEST(RecordingTests, MarksReachTheRecorderInCallOrder) {
    LiveRig rig;
    rig->beginCaptureRefresh();
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

TEST(RecordingTests, TheCaptureRefreshShowsTheRecordersSummariesWhileItRuns) {
    ConnectionRig disconnected;
    disconnected->beginCaptureRefresh();
    settleFor(50ms);
    EXPECT_TRUE(disconnected->captureSummaries().empty());
    EXPECT_EQ(disconnected->captureStatus(), std::nullopt);
    disconnected->endCaptureRefresh();

    LiveRig rig;
    rig->beginCaptureRefresh();
    ASSERT_TRUE(waitUntil([&] { return rig->captureStatus() && rig->captureStatus()->eventCount > 0; }));
    EXPECT_FALSE(rig->captureSummaries().empty());
    const auto first = rig->captureStatus()->eventCount;
    // Once a second, as the recorder fills.
    EXPECT_TRUE(waitUntil([&] { return rig->captureStatus()->eventCount > first; }, 3s));
    rig->endCaptureRefresh();
}

TEST(RecordingTests, TheLocationSummaryInEachOfItsCases) {
    ConnectionRig rig;
    LocationProvider& location = rig->location();
    EXPECT_EQ(rig->locationSummary(), "Autorisation non demandée");
    const struct {
        LocationProvider::Authorization authorization;
        std::string text;
    } refusals[] = {
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
    EXPECT_FALSE(rig->recordLocation());
    EXPECT_EQ(rig->locationSummary(), "Enregistrement de la position désactivé");
}

TEST(RecordingTests, SwitchingLocationRecordingStartsAndStopsTheProviderAndTheRelay) {
    ConnectionRig rig({.positionSource = true});
    rig->setLocationRecording(false);
    EXPECT_FALSE(rig->location().isTracking());
    rig->setLocationRecording(true);
    EXPECT_TRUE(rig->location().isTracking());
    // Without a connection the relay only brings the fix to the store.
    const auto at = std::chrono::system_clock::now();
    rig.source->deliver(position(at, 3.0, true));
    EXPECT_TRUE(waitUntil([&] { return rig->store().locationFix().has_value(); }));
    rig->setLocationRecording(false);
    EXPECT_FALSE(rig->location().isTracking());
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

    rig->beginCaptureRefresh();
    ASSERT_TRUE(waitUntil([&] { return gpsSummaries(*rig).size() == 6; }));
    settleFor(700ms); // several relay turns with the same fix
    rig->endCaptureRefresh();
    rig->beginCaptureRefresh();
    ASSERT_TRUE(waitUntil([&] { return gpsSummaries(*rig).size() == 6; }));
    const auto first = gpsSummaries(*rig);
    const std::vector<std::pair<std::uint8_t, float>> expected{
        {GPSChannel::latitude, 48.8566F}, {GPSChannel::longitude, 2.3522F}, {GPSChannel::altitude, 35.0F},
        {GPSChannel::speed, 36.0F},       {GPSChannel::course, 90.0F},      {GPSChannel::horizontalAccuracy, 3.0F},
    };
    for (const auto& [channel, value] : expected) {
        ASSERT_TRUE(first.contains(channel)) << int(channel);
        EXPECT_EQ(first.at(channel).count, 1u) << int(channel);
        EXPECT_FLOAT_EQ(first.at(channel).lastValue, value) << int(channel);
        EXPECT_DOUBLE_EQ(first.at(channel).lastSeconds, seconds) << int(channel);
    }

    // A fix without speed and course: four channels.
    rig.source->deliver(position(at + 1s, 3.0, false));
    rig->endCaptureRefresh();
    ASSERT_TRUE(waitUntil([&] { return rig->store().locationFix()->timestamp == at + 1s; }));
    settleFor(300ms);
    rig->beginCaptureRefresh();
    ASSERT_TRUE(waitUntil([&] { return gpsSummaries(*rig).at(GPSChannel::latitude).count == 2; }));
    const auto second = gpsSummaries(*rig);
    EXPECT_EQ(second.at(GPSChannel::longitude).count, 2u);
    EXPECT_EQ(second.at(GPSChannel::altitude).count, 2u);
    EXPECT_EQ(second.at(GPSChannel::horizontalAccuracy).count, 2u);
    EXPECT_EQ(second.at(GPSChannel::speed).count, 1u);
    EXPECT_EQ(second.at(GPSChannel::course).count, 1u);
    rig->endCaptureRefresh();
}
