// The live-value store: what one value changes and in which order, snapshots and their limits,
// formatting, replay, and the drive's file.
#include "VEQUI/Model/TelemetryStore.hpp"

#include "ModelFixtures.hpp"

#include "VEQProtocol/GPSChannel.hpp"
#include "VEQStore/Telemetry/TelemetryFile.hpp"

#include "TestSupport/FileSizeLimit.hpp"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

using namespace veq;
using namespace veq::testing;

namespace {

constexpr std::uint8_t speed = 0x0D;
constexpr std::uint8_t rpm = 0x0C;
constexpr std::uint8_t coolant = 0x05;

} // namespace

TEST(TelemetryStoreTests, OneValueReachesSinkStatisticsTripSnapshotAndFileInThatOrder) {
    TemporaryFolder folder;
    TelemetryStore store;
    store.startRecording({speed}, folder.path(), false);
    ASSERT_TRUE(store.recordingURL());

    // What each effect had already done when the event sink, then each signal, saw the value.
    std::vector<std::string> seen;
    store.setEventSink([&](std::uint8_t channel, float value, Date when) {
        EXPECT_EQ(channel, speed);
        EXPECT_EQ(value, 50.0F);
        EXPECT_EQ(when, at(0));
        seen.push_back("sink stats=" + std::to_string(store.stats().size()));
    });
    QObject::connect(&store, &TelemetryStore::statsChanged, [&] {
        seen.push_back("stats trip=" + std::to_string(store.trip().lastSpeed));
    });
    QObject::connect(&store, &TelemetryStore::tripChanged, [&] { seen.push_back("trip"); });
    QObject::connect(&store, &TelemetryStore::snapshotsChanged, [&] {
        seen.push_back("snapshots records=" + std::to_string(store.recordedSampleCount()));
    });

    store.ingest(measured(speed, 50, at(0), MeasurementUnit::kilometersPerHour));

    // Signals come once the whole value is applied: the file record is already written.
    EXPECT_EQ(seen, (std::vector<std::string>{"sink stats=0", "stats trip=50.000000", "trip", "snapshots records=1"}));
    EXPECT_EQ(store.value(speed), 50.0);
    EXPECT_EQ(store.trip().startTime, at(0));
    ASSERT_EQ(store.snapshots().size(), 1u);
    EXPECT_EQ(store.snapshots()[0], (TelemetryStore::Snapshot{0.0, {{speed, 50.0}}}));
}

TEST(TelemetryStoreTests, OnlyOneMeasurementCountsAndOnlyFuelRateAirFlowAndSpeedTouchTheTrip) {
    TelemetryStore store;
    int sinkCalls = 0;
    store.setEventSink([&](std::uint8_t, float, Date) { ++sinkCalls; });
    QSignalSpy stats(&store, &TelemetryStore::statsChanged);
    QSignalSpy trip(&store, &TelemetryStore::tripChanged);
    for (const auto& reading : {PIDReading::text("Diesel"), PIDReading::measurements({1.0, 2.0}, MeasurementUnit::volts),
                                PIDReading::flags({{"MIL", true}}), PIDReading::supportBitmap(0x00, {0x0C}),
                                PIDReading::raw({0x01, 0x02})}) {
        store.ingest({0x51, reading, at(0)});
    }
    EXPECT_EQ(sinkCalls, 0);
    EXPECT_EQ(stats.count(), 0);
    EXPECT_TRUE(store.stats().empty() && store.snapshots().empty());

    store.ingest(measured(rpm, 3000, at(0)));
    store.ingest(measured(coolant, 90, at(0.1)));
    EXPECT_EQ(trip.count(), 0);
    TripStats expected;
    store.ingest(measured(0x10, 20, at(1)));
    expected.recordMAF(20, at(1));
    store.ingest(measured(0x5E, 6, at(2)));
    expected.recordFuelRate(6, at(2));
    store.ingest(measured(speed, 40, at(3)));
    expected.recordSpeed(40, at(3));
    EXPECT_EQ(trip.count(), 3);
    EXPECT_EQ(store.trip(), expected);
}

TEST(TelemetryStoreTests, SnapshotsComeAtMostEveryQuarterSecondOfSampleTime) {
    struct Case { const char* name; std::vector<double> times; std::vector<double> snapshotTimes; };
    const Case cases[] = {
        {"0.1 s apart, then 0.3 s after the first", {0, 0.1, 0.3}, {0, 0.3}},
        {"exactly a quarter second", {10, 10.25, 10.5}, {0, 0.25, 0.5}},
        {"just under a quarter second", {0, 0.249, 0.498}, {0, 0.498}},
        // The wall clock stepped back: a snapshot at once, and from there on the new clock.
        {"clock stepped back", {100, 100.3, 40, 40.1, 40.3}, {0, 0.3, -60, -59.7}},
    };
    for (const auto& c : cases) {
        TelemetryStore store;
        for (double t : c.times) store.ingest(measured(rpm, t, at(t)));
        std::vector<double> got;
        for (const auto& s : store.snapshots()) got.push_back(s.t);
        ASSERT_EQ(got.size(), c.snapshotTimes.size()) << c.name;
        for (std::size_t i = 0; i < got.size(); ++i) EXPECT_NEAR(got[i], c.snapshotTimes[i], 1e-9) << c.name;
    }
}

TEST(TelemetryStoreTests, SnapshotsHoldEveryParameterAndStopAtFortyThousand) {
    TelemetryStore store;
    store.ingest(measured(coolant, 80, at(0)));
    // The coolant answers once and then stops: it keeps its last value in every snapshot.
    for (int i = 1; i <= 40'000; ++i) store.ingest(measured(rpm, i, at(i * 0.25)));
    ASSERT_EQ(store.snapshots().size(), 40'000u);
    EXPECT_EQ(store.snapshots().front(), (TelemetryStore::Snapshot{0.25, {{coolant, 80.0}, {rpm, 1.0}}}));
    EXPECT_EQ(store.snapshots().back(), (TelemetryStore::Snapshot{10'000.0, {{coolant, 80.0}, {rpm, 40'000.0}}}));
    EXPECT_DOUBLE_EQ(store.replayStart(), 0.25);
    EXPECT_DOUBLE_EQ(store.replayDuration(), 10'000.0);
}

TEST(TelemetryStoreTests, FormattedRoundsFromHundredUpAndConvertsImperial) {
    struct Case { std::uint8_t pid; double value; UnitSystem system; const char* text; };
    const Case cases[] = {
        {speed, 12.34, UnitSystem::metric, "12.3"},    {speed, 2, UnitSystem::metric, "2.0"},
        {speed, 100, UnitSystem::metric, "100"},       {rpm, 3500.4, UnitSystem::metric, "3500"},
        {coolant, -150.5, UnitSystem::metric, "-151"}, {speed, 99.94, UnitSystem::metric, "99.9"},
        {speed, 100, UnitSystem::imperial, "62.1"},    {rpm, 2500.5, UnitSystem::metric, "2501"},
        {speed, 99.96, UnitSystem::metric, "100.0"},   {coolant, -12.25, UnitSystem::metric, "-12.2"},
        {speed, std::numeric_limits<double>::infinity(), UnitSystem::metric, "\u2014"},
    };
    for (const auto& c : cases) {
        TelemetryStore store;
        store.ingest(measured(c.pid, c.value, at(0)));
        EXPECT_EQ(store.formatted(c.pid, c.system), c.text) << c.value;
    }
    TelemetryStore store;
    EXPECT_EQ(store.formatted(speed, UnitSystem::metric), "\u2014"); // never seen
    store.ingest(measured(0xE7, 12, at(0)));                         // no catalogue definition
    EXPECT_EQ(store.value(0xE7), 12.0);
    EXPECT_EQ(store.formatted(0xE7, UnitSystem::metric), "\u2014");
}

TEST(TelemetryStoreTests, ReplayFindsTheLastSnapshotNotLaterThanTheTime) {
    TelemetryStore store;
    EXPECT_TRUE(store.replayValues(1).empty());
    EXPECT_EQ(store.replayStart(), 0.0);
    EXPECT_EQ(store.replayDuration(), 0.0);
    // Snapshots at 0, 0.5, 1.0 and 1.5 s, the value being the sample's time.
    for (double t : {0.0, 0.5, 1.0, 1.5}) store.ingest(measured(rpm, t, at(t)));
    const std::pair<double, double> cases[] = {
        {-3, 0}, {0, 0}, {0.49, 0}, {0.5, 0.5}, {0.75, 0.5}, {1.0, 1.0}, {1.5, 1.5}, {99, 1.5},
    };
    for (const auto& [time, value] : cases) {
        EXPECT_EQ(store.replayValues(time), (std::map<std::uint8_t, double>{{rpm, value}})) << time;
    }
    EXPECT_EQ(store.replayDuration(), 1.5);
}

TEST(TelemetryStoreTests, ResetClearsValuesAndClosesTheFileButKeepsItsChannels) {
    TemporaryFolder folder;
    TelemetryStore store;
    store.startRecording({speed}, folder.path(), true);
    store.updateThroughput(42);
    store.setLocationFix(LocationProvider::Fix{at(0), 48.8, 2.3, 35, std::nullopt, std::nullopt, 5});
    store.ingest(measured(speed, 30, at(0)));
    const auto url = *store.recordingURL();

    QSignalSpy writer(&store, &TelemetryStore::writerChanged);
    store.reset();
    EXPECT_EQ(writer.count(), 1);
    EXPECT_EQ(store.recordingURL(), std::nullopt);
    EXPECT_EQ(store.recordedSampleCount(), 0u);
    EXPECT_TRUE(store.stats().empty() && store.snapshots().empty());
    EXPECT_EQ(store.trip(), TripStats{});
    EXPECT_EQ(store.requestsPerSecond(), 0.0);
    EXPECT_TRUE(store.recordsGPS() && store.locationFix());
    EXPECT_EQ(TelemetryFile::read(url).records.size(), 1u); // flushed and closed
    store.ingest(measured(speed, 31, at(50)));
    EXPECT_EQ(store.snapshots().front().t, 0.0); // a new time base
}

TEST(TelemetryStoreTests, RecordedFileReadsBackWithEveryChannelInOrder) {
    TemporaryFolder folder;
    TelemetryFile::Writer::Clock::time_point now{};
    TelemetryStore store(nullptr, [&] { return now; });
    store.startRecording({speed, coolant, rpm}, folder.path(), true);
    ASSERT_TRUE(store.recordingURL());
    EXPECT_EQ(store.recordingURL()->parent_path(), folder.path());
    EXPECT_TRUE(store.recordsGPS());

    store.ingest(measured(rpm, 900, at(0)));
    store.setLocationFix(LocationProvider::Fix{at(0.2), 48.5, 2.25, 41, std::nullopt, 180.0, 6.5});
    store.ingest(measured(speed, 12, at(0.3)));
    store.ingest(measured(coolant, 85, at(0.4)));  // no snapshot: no record
    store.ingest(measured(rpm, 1500, at(0.6)));
    EXPECT_EQ(store.recordedSampleCount(), 3u);
    now += TelemetryFile::Writer::maxBufferAge;
    store.drainIntake(); // no value follows: the drain timer brings the records to the file

    const auto contents = TelemetryFile::read(*store.recordingURL());
    std::vector<std::uint8_t> channels;
    for (const auto& c : contents.channels) channels.push_back(c.pid);
    EXPECT_EQ(channels, (std::vector<std::uint8_t>{coolant, rpm, speed, 240, 241, 242, 243, 244, 245}));
    EXPECT_EQ(contents.channels[3].name, "Latitude GPS");
    using V = std::vector<std::optional<float>>;
    const auto none = std::nullopt;
    EXPECT_EQ(contents.records,
              (std::vector<TelemetryFile::Record>{
                  {0, V{none, 900.0F, none, none, none, none, none, none, none}},
                  {300, V{none, 900.0F, 12.0F, 48.5F, 2.25F, 41.0F, none, 180.0F, 6.5F}},
                  {600, V{85.0F, 1500.0F, 12.0F, 48.5F, 2.25F, 41.0F, none, 180.0F, 6.5F}},
              }));

    // Unknown parameters are named by their number.
    TelemetryStore other;
    other.startRecording({0xE7}, folder.path(), false);
    ASSERT_TRUE(other.recordingURL());
    other.stopRecording();
    EXPECT_EQ(TelemetryFile::read(*other.recordingURL()).channels,
              (std::vector<TelemetryFile::Channel>{{0xE7, "PID 0xE7"}}));
}

// The drive's record takes a 0-100 once a write has put its run's record in the file: the extra
// write, a retry after it failed, or the age rule. One the writer drops gives none; the trip keeps it.
TEST(TelemetryStoreTests, TheZeroToHundredCountsOnceAWritePutsItsRunInTheFile) {
    TemporaryFolder folder;
    std::chrono::steady_clock::time_point fileClock{};
    TelemetryStore store(nullptr, [&] { return fileClock; });
    store.startRecording({speed}, folder.path(), false);
    const std::optional<double> none;
    const auto setClock = [&](double seconds) {
        fileClock = std::chrono::steady_clock::time_point(std::chrono::duration_cast<std::chrono::steady_clock::duration>(
            std::chrono::duration<double>(seconds)));
    };
    // A step with no speed is the drain timer's: no value comes.
    const struct { double t, clock; std::optional<double> kmh; bool diskFull; std::optional<double> timed, written; } steps[] = {
        {0, 0, 0, false, none, none}, {4, 4, 100, true, 4.0, none}, // the extra write fails
        {4.5, 4.5, 0, false, 4.0, none},                             // no write is due yet
        {0, 5, none, false, 4.0, 4.0},                               // the timer's retry writes the run's record
        {5, 5, 0, false, 4.0, 4.0}, {8, 8, 100, false, 3.0, 3.0},   // written by the extra write
        {9, 9, 0, false, 3.0, 3.0}, {11, 14, 100, true, 2.0, 3.0},   // the age rule and the extra write fail
        {11.25, 15, 0, false, 2.0, 2.0}};                            // a record added writes it
    for (const auto& step : steps) {
        std::optional<FileSizeLimit> full;
        if (step.diskFull) {
            ASSERT_TRUE(full.emplace(std::filesystem::file_size(*store.recordingURL()) + 4).active()); // not a record more
        }
        setClock(step.clock);
        step.kmh ? store.ingest(measured(speed, *step.kmh, at(step.t))) : store.drainIntake();
        EXPECT_TRUE(store.trip().zeroToHundredSec == step.timed && store.writtenZeroToHundredSec() == step.written)
            << step.clock;
    }
    // A better run whose record the bound on kept records drops while the disk is full.
    const auto ingestAt = [&](double t, double kmh) {
        setClock(t);
        store.ingest(measured(speed, kmh, at(t)));
    };
    ingestAt(20, 0);
    std::optional<FileSizeLimit> full(std::in_place, std::filesystem::file_size(*store.recordingURL()));
    for (std::size_t i = 0; i <= TelemetryFile::Writer::maxKeptRecords; ++i) ingestAt(21.5 + i * 0.25, 100);
    full.reset();
    ingestAt(1000, 0);
    EXPECT_TRUE(store.trip().zeroToHundredSec == 1.5 && store.writtenZeroToHundredSec() == 2.0);
    EXPECT_EQ(TelemetryFile::read(*store.recordingURL()).records.back().milliseconds, 1'000'000U) << "writing resumed";
}

TEST(TelemetryStoreTests, RecordTimesSaturateAtTheEndsOfTheirRange) {
    TemporaryFolder folder;
    TelemetryStore store;
    store.startRecording({rpm}, folder.path(), false);
    const double fiftyDays = 50.0 * 86'400;
    store.ingest(measured(rpm, 1, at(100)));
    store.ingest(measured(rpm, 2, at(100 + fiftyDays))); // past 4,294,967,295 ms
    store.ingest(measured(rpm, 3, at(40)));              // before the time base
    store.stopRecording();
    std::vector<std::uint32_t> times;
    for (const auto& r : TelemetryFile::read(*store.recordingURL()).records) times.push_back(r.milliseconds);
    EXPECT_EQ(times, (std::vector<std::uint32_t>{0, std::numeric_limits<std::uint32_t>::max(), 0}));
}

TEST(TelemetryStoreTests, RecordingNeverReplacesAnExistingDrive) {
    TemporaryFolder folder;
    // Earlier drives holding the names of this second and the next ones (a clock set back).
    const auto now = std::chrono::duration_cast<std::chrono::seconds>(
                         std::chrono::system_clock::now().time_since_epoch()).count();
    for (long long s = now; s <= now + 2; ++s) writeFile(folder / ("session-" + std::to_string(s) + ".veqt"), "earlier drive");
    TelemetryStore store;
    store.startRecording({rpm}, folder.path(), false);
    ASSERT_TRUE(store.recordingURL());
    const auto name = store.recordingURL()->filename().string();
    EXPECT_TRUE(name.starts_with("session-") && name.ends_with("-2.veqt")) << name;
    for (long long s = now; s <= now + 2; ++s) {
        const auto earlier = folder / ("session-" + std::to_string(s) + ".veqt");
        if (earlier != *store.recordingURL()) {
            EXPECT_EQ(readFile(earlier), "earlier drive");
        }
    }
    // Two recordings in the same second get two files.
    TelemetryStore second;
    second.startRecording({rpm}, folder.path(), false);
    ASSERT_TRUE(second.recordingURL());
    EXPECT_NE(*second.recordingURL(), *store.recordingURL());
}

TEST(TelemetryStoreTests, ARecordingThatCannotStartChangesNothing) {
    TemporaryFolder folder;
    TelemetryStore store;
    store.startRecording({rpm}, folder.path(), true);
    const auto url = store.recordingURL();
    ASSERT_TRUE(url);

    writeFile(folder / "plain-file", "x");
    QSignalSpy writer(&store, &TelemetryStore::writerChanged);
    store.startRecording({speed}, folder / "plain-file" / "sub", false); // not a folder
    EXPECT_EQ(writer.count(), 0);
    EXPECT_EQ(store.recordingURL(), url);
    EXPECT_TRUE(store.recordsGPS());
    store.ingest(measured(rpm, 800, at(0)));
    EXPECT_EQ(store.recordedSampleCount(), 1u); // still the first file
    const std::filesystem::directory_iterator files(folder.path());
    EXPECT_EQ(std::distance(begin(files), end(files)), 2); // the drive and the plain file
}

TEST(TelemetryStoreTests, ThroughputAndFixNotifyOnlyOnRealChange) {
    TelemetryStore store;
    QSignalSpy rate(&store, &TelemetryStore::requestsPerSecondChanged);
    QSignalSpy fix(&store, &TelemetryStore::locationFixChanged);
    store.updateThroughput(10);
    store.updateThroughput(10);
    store.updateThroughput(11);
    const LocationProvider::Fix f{at(0), 1, 2, 3, std::nullopt, std::nullopt, -1};
    store.setLocationFix(f);
    store.setLocationFix(f);
    EXPECT_EQ(rate.count(), 2);
    EXPECT_EQ(fix.count(), 1);
}
