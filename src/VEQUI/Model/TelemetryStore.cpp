#include "VEQUI/Model/TelemetryStore.hpp"

#include "VEQProtocol/GPSChannel.hpp"
#include "VEQProtocol/PIDCatalog.hpp"
#include "VEQProtocol/PIDDefinition.hpp"
#include "VEQStore/Catalog/SessionCatalog.hpp"
#include "VEQUI/Model/Observable.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <cerrno>
#include <cstdio>
#include <limits>
#include <system_error>

namespace veq {

namespace {

namespace fs = std::filesystem;

// Attempts at a free file name before recording is given up for this connection.
constexpr int maxNameAttempts = 1000;

// Record times are whole milliseconds in 32 bits: a negative or NaN time is 0 and a time past
// the range stays at its end, where a plain conversion would be undefined.
std::uint32_t recordMilliseconds(double seconds) {
    const double ms = seconds * 1000.0;
    if (!(ms > 0)) return 0;
    constexpr auto top = std::numeric_limits<std::uint32_t>::max();
    if (ms >= static_cast<double>(top)) return top;
    return static_cast<std::uint32_t>(ms);
}

std::string channelName(std::uint8_t pid) {
    if (const auto* definition = PIDCatalog::definition(pid)) return definition->name;
    return fmt::format("PID 0x{:02X}", pid);
}

// Takes a name nobody holds in `folder`, by creating it: a name that exists (a clock set back
// to an earlier drive, another process) is never reused, so no drive is ever written over.
std::optional<fs::path> reserveDriveFile(const fs::path& folder, long long seconds) {
    std::error_code ec;
    fs::create_directories(folder, ec);
    for (int attempt = 1; attempt <= maxNameAttempts; ++attempt) {
        const auto name = attempt == 1 ? fmt::format("session-{}.veqt", seconds)
                                       : fmt::format("session-{}-{}.veqt", seconds, attempt);
        const auto path = folder / name;
        if (std::FILE* file = std::fopen(path.c_str(), "wx")) {
            std::fclose(file);
            return path;
        }
        if (errno != EEXIST) return std::nullopt;
    }
    return std::nullopt;
}

// The sink the polling engine calls on its own thread: each measured value is queued with the
// connection's generation. Readings that are not one measurement would change nothing in the
// store, so they are not queued at all.
class IntakeSink final : public TelemetrySink {
public:
    IntakeSink(std::shared_ptr<SampleIntake> intake, std::uint64_t generation, std::stop_token stop)
        : intake_(std::move(intake)), generation_(generation), stop_(std::move(stop)) {}

    void ingest(const TelemetrySample& sample) override {
        const auto* measurement = sample.reading.as<PIDReading::Measurement>();
        if (measurement == nullptr) return;
        intake_->push({generation_, SampleIntake::Item::Kind::measurement, sample.pid, measurement->value,
                       sample.timestamp, sample.pauseEpoch},
                      stop_);
    }

    void updateThroughput(double requestsPerSecond) override {
        intake_->push({generation_, SampleIntake::Item::Kind::throughput, 0, requestsPerSecond, {}}, stop_);
    }

private:
    const std::shared_ptr<SampleIntake> intake_;
    const std::uint64_t generation_;
    const std::stop_token stop_;
};

} // namespace

std::optional<double> TelemetryStore::Snapshot::value(std::uint8_t pid) const {
    const auto it = std::lower_bound(values.begin(), values.end(), pid,
                                     [](const auto& entry, std::uint8_t p) { return entry.first < p; });
    if (it == values.end() || it->first != pid) return std::nullopt;
    return it->second;
}

std::map<std::uint8_t, double> TelemetryStore::Snapshot::dictionary() const { return {values.begin(), values.end()}; }

TelemetryStore::TelemetryStore(QObject* parent, TelemetryFile::Writer::Now fileClock)
    : QObject(parent), fileClock_(std::move(fileClock)), intake_(std::make_shared<SampleIntake>(intakeCapacity)) {
    drainTimer_.setInterval(drainInterval);
    connect(&drainTimer_, &QTimer::timeout, this, &TelemetryStore::drainIntake);
}

TelemetryStore::~TelemetryStore() {
    // A polling thread still holding a sink must not wait on a queue nobody drains any more.
    intake_->accept(std::nullopt);
}

void TelemetryStore::setLocationFix(std::optional<LocationProvider::Fix> fix) {
    assignObservable(this, locationFix_, std::move(fix), &TelemetryStore::locationFixChanged);
}

void TelemetryStore::setEventSink(EventSink sink) {
    eventSink_ = std::move(sink);
    Q_EMIT eventSinkChanged();
}

std::size_t TelemetryStore::recordedSampleCount() const { return writer_ ? writer_->recordCount() : 0; }

double TelemetryStore::replayStart() const { return snapshots_.empty() ? 0.0 : snapshots_.front().t; }

double TelemetryStore::replayDuration() const { return snapshots_.empty() ? 0.0 : snapshots_.back().t; }

void TelemetryStore::ingest(const TelemetrySample& sample) {
    const auto* measurement = sample.reading.as<PIDReading::Measurement>();
    if (measurement == nullptr) return;
    Changes changes;
    lastValueAt_ = std::chrono::steady_clock::now();
    apply(sample.pid, measurement->value, sample.timestamp, sample.pauseEpoch, changes);
    announce(changes);
}

void TelemetryStore::updateThroughput(double requestsPerSecond) {
    Changes changes;
    applyThroughput(requestsPerSecond, changes);
    announce(changes);
}

void TelemetryStore::apply(std::uint8_t pid, double value, Date timestamp, std::uint64_t pauseEpoch,
                           Changes& changes) {
    if (eventSink_) eventSink_(pid, static_cast<float>(value), timestamp);

    if (auto it = stats_.find(pid); it != stats_.end()) {
        it->second.record(value);
    } else {
        stats_.emplace(pid, PIDStatistics(value, historyLimit));
    }
    changes.stats = true;

    // The epoch travels with the value: one queued across a pause still tells it was read before.
    const std::optional<double> best = trip_.zeroToHundredSec;
    if (trip_.record(pid, value, timestamp, pauseEpoch)) changes.trip = true;
    if (trip_.zeroToHundredSec != best) zeroToHundredToWrite_ = trip_.zeroToHundredSec;

    if (!recordStart_) recordStart_ = timestamp;

    // A clock stepped back gives a negative interval: snapshot at once rather than waiting for
    // the clock to catch up again, with no snapshot nor file record meanwhile.
    const bool due = !lastSnapshotAt_ || timestamp - *lastSnapshotAt_ >= snapshotInterval ||
                     timestamp < *lastSnapshotAt_;
    if (!due) return;
    takeSnapshot(timestamp, changes);
    changes.snapshots = true;
}

void TelemetryStore::applyThroughput(double requestsPerSecond, Changes& changes) {
    if (requestsPerSecond_ == requestsPerSecond) return;
    requestsPerSecond_ = requestsPerSecond;
    changes.requestsPerSecond = true;
}

void TelemetryStore::announce(const Changes& changes) {
    if (changes.stats) Q_EMIT statsChanged();
    if (changes.trip) Q_EMIT tripChanged();
    if (changes.writtenZeroToHundred) Q_EMIT writtenZeroToHundredChanged();
    if (changes.snapshots) Q_EMIT snapshotsChanged();
    if (changes.requestsPerSecond) Q_EMIT requestsPerSecondChanged();
}

void TelemetryStore::takeSnapshot(Date timestamp, Changes& changes) {
    lastSnapshotAt_ = timestamp;
    const double t = std::chrono::duration<double>(timestamp - *recordStart_).count();

    // Reuse the storage of the snapshot about to fall out of the window.
    Snapshot snapshot;
    if (snapshots_.size() >= snapshotCapacity) {
        snapshot = std::move(snapshots_.front());
        snapshots_.pop_front();
    }
    snapshot.t = t;
    snapshot.values.clear();
    snapshot.values.reserve(stats_.size());
    for (const auto& [pid, statistics] : stats_) snapshot.values.emplace_back(pid, statistics.current);
    snapshots_.push_back(std::move(snapshot));

    if (writer_) writeRecord(t, changes);
}

void TelemetryStore::writeRecord(double t, Changes& changes) {
    recordValues_.clear();
    for (std::uint8_t channel : writerChannels_) {
        if (GPSChannel::isGPS(channel)) {
            recordValues_.push_back(gpsValue(channel));
        } else if (auto it = stats_.find(channel); it != stats_.end()) {
            recordValues_.push_back(static_cast<float>(it->second.current));
        } else {
            recordValues_.push_back(std::nullopt);
        }
    }
    const std::uint64_t record = writer_->append(recordMilliseconds(t), recordValues_);
    if (zeroToHundredToWrite_) {
        // A crash must not leave a 0-100 whose run the file lacks: the first record at or after the
        // reading that timed it goes to disk now rather than within the writer's age limit, and
        // the time counts once that record is in the file, by this write or a later one.
        const double timed = *std::exchange(zeroToHundredToWrite_, std::nullopt);
        if (recordReaches100()) runsToWrite_.push_back({record, timed});
        writer_->flush();
    }
    takeWrittenRuns(changes);
}

void TelemetryStore::takeWrittenRuns(Changes& changes) {
    while (!runsToWrite_.empty()) {
        const auto place = writer_->place(runsToWrite_.front().record);
        if (place == TelemetryFile::Writer::Place::kept) return;
        // Each run timed is better than the ones before it.
        if (place == TelemetryFile::Writer::Place::inFile) {
            writtenZeroToHundredSec_ = runsToWrite_.front().seconds;
            changes.writtenZeroToHundred = true;
        }
        runsToWrite_.pop_front();
    }
}

// A speed dropped below 100 km/h again before the record (a lift-off at 100) leaves a file
// whose top speed would contradict the time.
bool TelemetryStore::recordReaches100() const {
    const auto speed = std::find(writerChannels_.begin(), writerChannels_.end(), TripStats::speedPID);
    if (speed == writerChannels_.end()) return false;
    const auto& kmh = recordValues_[static_cast<std::size_t>(speed - writerChannels_.begin())];
    return kmh && *kmh >= 100;
}

std::optional<float> TelemetryStore::gpsValue(std::uint8_t channel) const {
    if (!locationFix_) return std::nullopt;
    const auto& fix = *locationFix_;
    const auto asFloat = [](std::optional<double> v) -> std::optional<float> {
        if (!v) return std::nullopt;
        return static_cast<float>(*v);
    };
    switch (channel) {
    case GPSChannel::latitude: return static_cast<float>(fix.latitude);
    case GPSChannel::longitude: return static_cast<float>(fix.longitude);
    case GPSChannel::altitude: return static_cast<float>(fix.altitude);
    case GPSChannel::speed: return asFloat(fix.speedKmh);
    case GPSChannel::course: return asFloat(fix.course);
    case GPSChannel::horizontalAccuracy: return static_cast<float>(fix.horizontalAccuracy);
    default: return std::nullopt;
    }
}

std::optional<double> TelemetryStore::value(std::uint8_t pid) const {
    const auto it = stats_.find(pid);
    if (it == stats_.end()) return std::nullopt;
    return it->second.current;
}

std::string TelemetryStore::formatted(std::uint8_t pid, UnitSystem system) const {
    static constexpr std::string_view unknown = "\u2014";
    const auto it = stats_.find(pid);
    const auto* definition = PIDCatalog::definition(pid);
    if (it == stats_.end() || definition == nullptr) return std::string(unknown);
    const double v = definition->unit.value(it->second.current, system);
    // Not expected from the decoders; shown as unknown rather than as a meaningless figure.
    if (!std::isfinite(v)) return std::string(unknown);
    // Halves away from zero; {fmt} writes a whole double exactly, whatever its size.
    if (std::fabs(v) >= 100.0) return fmt::format("{:.0f}", std::round(v));
    return fmt::format("{:.1f}", v);
}

std::map<std::uint8_t, double> TelemetryStore::replayValues(double seconds) const {
    if (snapshots_.empty()) return {};
    std::ptrdiff_t low = 0;
    std::ptrdiff_t high = static_cast<std::ptrdiff_t>(snapshots_.size()) - 1;
    std::ptrdiff_t best = 0;
    while (low <= high) {
        const std::ptrdiff_t middle = (low + high) / 2;
        if (snapshots_[static_cast<std::size_t>(middle)].t <= seconds) {
            best = middle;
            low = middle + 1;
        } else {
            high = middle - 1;
        }
    }
    return snapshots_[static_cast<std::size_t>(best)].dictionary();
}

std::optional<TelemetryStore::ClosedFile> TelemetryStore::stopRecording() {
    if (!writer_) return std::nullopt;
    writer_->close();
    Changes changes;
    takeWrittenRuns(changes); // the closing write may have put a run's record in the file
    const ClosedFile closed{writer_->recordsInFile(), writer_->failed()};
    writer_.reset();
    Q_EMIT writerChanged();
    announce(changes);
    return closed;
}

void TelemetryStore::reset() {
    stopRecording();
    assignObservable(this, recordingURL_, std::nullopt, &TelemetryStore::recordingURLChanged);
    Changes changes;
    changes.stats = !stats_.empty();
    stats_.clear();
    applyThroughput(0, changes);
    changes.trip = !(trip_ == TripStats{});
    trip_ = TripStats{};
    changes.writtenZeroToHundred = writtenZeroToHundredSec_.has_value();
    writtenZeroToHundredSec_.reset();
    zeroToHundredToWrite_.reset();
    runsToWrite_.clear();
    changes.snapshots = !snapshots_.empty();
    snapshots_.clear();
    recordStart_.reset();
    lastSnapshotAt_.reset();
    lastValueAt_.reset();
    announce(changes);
}

void TelemetryStore::startRecording(const std::vector<std::uint8_t>& pids,
                                    const std::optional<std::filesystem::path>& directory, bool includeGPS) {
    const fs::path folder = directory ? *directory : defaultSessionDirectory();
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(
                             std::chrono::system_clock::now().time_since_epoch())
                             .count();
    const auto url = reserveDriveFile(folder, static_cast<long long>(seconds));
    if (!url) return;

    std::vector<std::uint8_t> sorted = pids;
    std::sort(sorted.begin(), sorted.end());
    std::vector<TelemetryFile::Channel> channels;
    for (std::uint8_t pid : sorted) channels.push_back({pid, channelName(pid)});
    if (includeGPS) {
        for (std::uint8_t id : GPSChannel::all) channels.push_back({id, std::string(GPSChannel::name(id).value_or("GPS"))});
    }
    std::vector<std::uint8_t> identifiers;
    for (const auto& channel : channels) identifiers.push_back(channel.pid);

    std::unique_ptr<TelemetryFile::Writer> writer;
    try {
        writer = std::make_unique<TelemetryFile::Writer>(*url, std::move(channels), std::chrono::system_clock::now(),
                                                         fileClock_);
    } catch (const std::exception&) {
        // No file for this drive: live values, statistics and snapshots go on without one.
        std::error_code ec;
        fs::remove(*url, ec);
        return;
    }

    writer_ = std::move(writer); // the previous writer, if any, closes its file as it goes
    runsToWrite_.clear();        // their numbers were the previous writer's
    Q_EMIT writerChanged();
    writerChannels_ = std::move(identifiers);
    assignObservable(this, recordsGPS_, includeGPS, &TelemetryStore::recordsGPSChanged);
    assignObservable(this, recordingURL_, std::optional<fs::path>(*url), &TelemetryStore::recordingURLChanged);
}

void TelemetryStore::flushRecording() {
    if (!writer_) return;
    writer_->flush();
    Changes changes;
    takeWrittenRuns(changes);
    announce(changes);
}

std::filesystem::path TelemetryStore::defaultSessionDirectory() {
    const auto folder = SessionCatalog::defaultDirectory();
    std::error_code ec;
    fs::create_directories(folder, ec);
    return folder;
}

void TelemetryStore::openIntake(std::uint64_t generation) {
    intake_->accept(generation);
    drainTimer_.start();
}

void TelemetryStore::closeIntake() {
    intake_->accept(std::nullopt);
    drainTimer_.stop();
}

std::shared_ptr<TelemetrySink> TelemetryStore::makeSink(std::uint64_t generation, std::stop_token stop) {
    return std::make_shared<IntakeSink>(intake_, generation, std::move(stop));
}

void TelemetryStore::drainIntake() {
    intake_->takeAll(drained_);
    const SteadyTime now = std::chrono::steady_clock::now();
    Changes changes;
    for (const auto& item : drained_) {
        if (item.kind == SampleIntake::Item::Kind::measurement) {
            lastValueAt_ = now;
            apply(item.pid, item.value, item.timestamp, item.pauseEpoch, changes);
        } else {
            applyThroughput(item.value, changes);
        }
    }
    drained_.clear();
    if (!lastValueAt_ || now - *lastValueAt_ >= rateWindow) applyThroughput(0, changes);
    if (writer_) {
        writer_->flushIfDue();
        takeWrittenRuns(changes);
    }
    announce(changes);
}

} // namespace veq
