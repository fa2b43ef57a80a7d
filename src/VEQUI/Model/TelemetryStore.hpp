#pragma once

#include "VEQEngine/Platform/LocationProvider.hpp"
#include "VEQEngine/Session/PIDStatistics.hpp"
#include "VEQEngine/Session/TelemetrySink.hpp"
#include "VEQEngine/Trip/TripStats.hpp"
#include "VEQProtocol/MeasurementUnit.hpp"
#include "VEQStore/Telemetry/TelemetryFile.hpp"
#include "VEQUI/Model/SampleIntake.hpp"

#include <QObject>
#include <QTimer>

#include <chrono>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <utility>
#include <vector>

namespace veq {

// The live values of the connected car: per-parameter statistics, trip figures, 4 Hz snapshots
// for replay, and the drive's open telemetry file. Lives on the GUI thread and is used there only.
//
// The polling thread reaches it through a sink made by makeSink(): values travel through a
// bounded queue (SampleIntake) that a 16 ms timer drains, and each value is then applied as
// ingest() applies it. Each getter has a change signal, emitted only on a real change; a
// drained batch emits each signal at most once.
class TelemetryStore : public QObject {
    Q_OBJECT

public:
    using Date = std::chrono::system_clock::time_point;
    using SteadyTime = std::chrono::steady_clock::time_point;
    // Called for every measured value (channel, value, time); must be callable from any thread
    // and must not block.
    using EventSink = std::function<void(std::uint8_t channel, float value, Date at)>;

    struct Snapshot {
        double t = 0; // seconds since the first measurement
        // Every parameter with statistics and its latest value, ascending by parameter.
        std::vector<std::pair<std::uint8_t, double>> values;

        std::optional<double> value(std::uint8_t pid) const;
        std::map<std::uint8_t, double> dictionary() const;
        bool operator==(const Snapshot&) const = default;
    };

    static constexpr std::int64_t historyLimit = 120;
    static constexpr std::size_t snapshotCapacity = 40'000;
    static constexpr std::chrono::milliseconds snapshotInterval{250};
    static constexpr std::size_t intakeCapacity = 8'192;
    static constexpr std::chrono::milliseconds drainInterval{16};
    // The rate counts the reads of the last second: once no value has come for that long it is 0,
    // whatever the polling engine last reported (it reports only after a cycle, which a silent
    // adapter stretches to a minute, and keeps its last count while every read fails).
    static constexpr std::chrono::seconds rateWindow{1};

    // `fileClock` tells the age of the file's buffered records (the steady clock when none is given).
    explicit TelemetryStore(QObject* parent = nullptr, TelemetryFile::Writer::Now fileClock = {});
    ~TelemetryStore() override;

    const std::map<std::uint8_t, PIDStatistics>& stats() const { return stats_; }
    double requestsPerSecond() const { return requestsPerSecond_; }
    // When the last value was taken in (on the steady clock); nothing before the first one, and
    // again after reset().
    const std::optional<SteadyTime>& lastValueAt() const { return lastValueAt_; }
    const TripStats& trip() const { return trip_; }
    // The best 0-100 whose run the file on disk holds: the first file record taken at or after the
    // reading that timed it goes to disk at once, and the time counts once a write (that one, or a
    // later one when it failed) has put that record in the file, provided the record holds
    // 100 km/h. A record the writer drops gives none, so that a crash never leaves a time the
    // file contradicts.
    const std::optional<double>& writtenZeroToHundredSec() const { return writtenZeroToHundredSec_; }
    const std::deque<Snapshot>& snapshots() const { return snapshots_; }
    // The open (or last opened) telemetry file.
    const std::optional<std::filesystem::path>& recordingURL() const { return recordingURL_; }
    const std::optional<LocationProvider::Fix>& locationFix() const { return locationFix_; }
    void setLocationFix(std::optional<LocationProvider::Fix> fix);
    bool recordsGPS() const { return recordsGPS_; }
    const EventSink& eventSink() const { return eventSink_; }
    void setEventSink(EventSink sink);

    // Records taken into the open file, those still kept for a write included; 0 when none is open.
    std::size_t recordedSampleCount() const;
    // Channels of the open file; 0 when none is open.
    std::size_t recordedChannelCount() const { return writer_ ? writer_->channels().size() : 0; }
    // `t` of the first snapshot held, past 0 once the cap has dropped the oldest; 0 without snapshots.
    double replayStart() const;
    // `t` of the last snapshot; 0 without snapshots.
    double replayDuration() const;

    // Applies one polled value now (the drained queue comes through here too). Readings other
    // than a single measurement change nothing.
    void ingest(const TelemetrySample& sample);
    void updateThroughput(double requestsPerSecond);

    // The latest value of a parameter; nothing before its first value.
    std::optional<double> value(std::uint8_t pid) const;
    // The latest value as shown: "—" when unknown, a whole number from 100 up, else one decimal.
    // Imperial units convert first. No unit symbol.
    std::string formatted(std::uint8_t pid, UnitSystem system) const;
    // The values of the last snapshot not later than `seconds` (the first when all are later).
    std::map<std::uint8_t, double> replayValues(double seconds) const;

    // Closes the file and clears values, statistics, trip and snapshots. Keeps the event sink,
    // the GPS fix, the channels of the last file and the hand-over state.
    void reset();

    // Opens a new telemetry file "session-<seconds since 1970>.veqt" (a suffix "-2", "-3" ...
    // when that name is taken) in `directory`, or defaultSessionDirectory(), with one channel per
    // parameter ascending, then the six GPS channels when asked. A failure changes nothing.
    void startRecording(const std::vector<std::uint8_t>& pids, const std::optional<std::filesystem::path>& directory,
                        bool includeGPS);
    // What a closed drive file holds: its whole records, and whether any of its writes failed.
    struct ClosedFile {
        std::size_t records = 0;
        bool failed = false;
    };
    // Closes the open file and tells what it holds; nothing when none was open. The recording's
    // location, channels and figures stay.
    std::optional<ClosedFile> stopRecording();
    void flushRecording();
    // "Sessions" in the application's data folder, created when missing.
    static std::filesystem::path defaultSessionDirectory();

    // Hand-over from the polling thread. A connection opens the intake with its generation number
    // before it starts polling, and a disconnection closes it, before reset(): from then on the
    // values of that connection, queued or still arriving, are dropped.
    void openIntake(std::uint64_t generation);
    void closeIntake();
    // The polling engine's sink for one connection; keep it alive as long as the engine. Its calls
    // wait while the queue is full, until room is made, `stop` is requested or the generation is
    // no longer open.
    std::shared_ptr<TelemetrySink> makeSink(std::uint64_t generation, std::stop_token stop = {});
    // Applies everything queued now (the timer's work; tests and benchmarks call it directly), then
    // drops the rate to 0 when no value has come within rateWindow, and writes the file's buffer
    // out once its oldest record is the writer's maxBufferAge old, so that the last records reach
    // the file while no value comes (polling paused, a silent car).
    void drainIntake();

Q_SIGNALS:
    void statsChanged();
    void requestsPerSecondChanged();
    void tripChanged();
    void writtenZeroToHundredChanged();
    void snapshotsChanged();
    void recordingURLChanged();
    void locationFixChanged();
    void recordsGPSChanged();
    void eventSinkChanged();
    // The open file was opened, replaced or closed.
    void writerChanged();

private:
    struct Changes {
        bool stats = false;
        bool trip = false;
        bool writtenZeroToHundred = false;
        bool snapshots = false;
        bool requestsPerSecond = false;
    };

    void apply(std::uint8_t pid, double value, Date timestamp, std::uint64_t pauseEpoch, Changes& changes);
    void applyThroughput(double requestsPerSecond, Changes& changes);
    void announce(const Changes& changes);
    void takeSnapshot(Date timestamp, Changes& changes);
    void writeRecord(double t, Changes& changes);
    // Takes the time of every timed run whose record a write has put in the file, in record order.
    void takeWrittenRuns(Changes& changes);
    // Whether the record just built holds a speed of 100 km/h or more.
    bool recordReaches100() const;
    std::optional<float> gpsValue(std::uint8_t channel) const;

    std::map<std::uint8_t, PIDStatistics> stats_;
    double requestsPerSecond_ = 0;
    std::optional<SteadyTime> lastValueAt_;
    TripStats trip_;
    std::optional<double> zeroToHundredToWrite_; // timed, its run not yet in a file record
    struct TimedRun {
        std::uint64_t record; // the writer's number of the first record at or after the timing
        double seconds;
    };
    std::deque<TimedRun> runsToWrite_; // records holding 100 km/h still kept by the writer
    std::optional<double> writtenZeroToHundredSec_;
    std::deque<Snapshot> snapshots_;
    std::optional<Date> recordStart_;
    std::optional<Date> lastSnapshotAt_;
    std::unique_ptr<TelemetryFile::Writer> writer_;
    const TelemetryFile::Writer::Now fileClock_;
    std::vector<std::uint8_t> writerChannels_;
    std::optional<std::filesystem::path> recordingURL_;
    std::optional<LocationProvider::Fix> locationFix_;
    bool recordsGPS_ = false;
    EventSink eventSink_;

    std::shared_ptr<SampleIntake> intake_;
    std::vector<SampleIntake::Item> drained_; // reused between drains
    std::vector<std::optional<float>> recordValues_; // reused between file records
    QTimer drainTimer_;
};

} // namespace veq
