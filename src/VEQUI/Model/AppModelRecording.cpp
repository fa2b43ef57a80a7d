// The event recorder as the capture screen and the cockpit drive it: marks, saves of a marked
// stretch (own file or MDF 4.10), the capture summaries, and the location relay into the store
// and the recorder.
//
// The recorder's commands run on one queue per recorder, in call order (a start mark can never
// overtake the end mark issued after it); their results come back to the GUI thread as queued
// calls. The two loops are GUI-thread timers, as they only read the provider and feed the store.
#include "VEQUI/Model/AppModel.hpp"

#include "VEQProtocol/GPSChannel.hpp"
#include "VEQStore/Export/ExportNaming.hpp"
#include "VEQStore/Export/Exporters.hpp"
#include "VEQSupport/AtomicFile.hpp"
#include "VEQSupport/DataFolder.hpp"
#include "VEQSupport/UUID.hpp"
#include "VEQUI/Model/ConnectionDiagnosis.hpp"

#include <fmt/format.h>

#include <QMetaObject>

#include <string_view>
#include <system_error>

namespace veq {

namespace {

namespace fs = std::filesystem;

constexpr std::uint32_t saveBucketMs = 50;
constexpr std::chrono::milliseconds relayInterval{250};
constexpr std::chrono::seconds captureRefreshInterval{1};

constexpr std::string_view saveFailurePrefix = "Échec de la sauvegarde du log : ";
constexpr std::string_view liveDriveRefusal = "est le fichier du trajet en cours d'enregistrement ; choisissez un autre fichier.";
constexpr std::string_view catalogueRefusal = "appartient au catalogue des trajets ; choisissez un autre fichier.";
constexpr std::string_view lockRefusal =
    "est le verrou qui réserve les données à cette fenêtre ; choisissez un autre fichier.";
constexpr std::string_view auditRefusal = "est le journal d'audit du mode expert ; choisissez un autre fichier.";
constexpr std::string_view backupRefusal =
    "appartient aux sauvegardes des calculateurs ; choisissez un autre fichier.";

const std::vector<Dialogs::FileType> saveTypes{
    {"Fichier MDF 4.10", "mf4"},
    {"Fichier de télémétrie Oskavel Car", "veqt"},
};

fs::path standardised(const fs::path& path) {
    std::error_code ec;
    fs::path out = fs::weakly_canonical(path, ec);
    return ec ? path.lexically_normal() : out;
}

// The same file: one inode when both exist (links included), else the same standardised path.
bool sameFile(const fs::path& a, const fs::path& b) {
    std::error_code ec;
    if (fs::exists(a, ec) && fs::exists(b, ec)) {
        const bool same = fs::equivalent(a, b, ec);
        if (!ec) return same;
    }
    return standardised(a) == standardised(b);
}

// Removes the scratch file of an MDF save on every way out.
class ScratchFile {
public:
    explicit ScratchFile(fs::path path) : path_(std::move(path)) {}
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;
    ~ScratchFile() {
        std::error_code ignored;
        fs::remove(path_, ignored);
    }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

// The marked stretch as MDF 4.10: saved as an own file first, read back, then converted.
EventRecorder::SavedLog saveAsMDF(EventRecorder& recorder, const fs::path& url,
                                  const std::optional<std::set<std::uint8_t>>& channels) {
    const ScratchFile scratch(fs::temp_directory_path() / (UUID::random().uuidString() + ".veqt"));
    EventRecorder::SavedLog saved = recorder.save(scratch.path(), saveBucketMs, channels);
    const std::vector<std::uint8_t> bytes = TelemetryExporter::mdf4(TelemetryFile::read(scratch.path()));
    writeFileAtomically(url, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    saved.url = url;
    return saved;
}

// Every channel when none is excluded; otherwise the recorded channels left.
std::optional<std::set<std::uint8_t>> savedChannels(EventRecorder& recorder, const std::set<std::uint8_t>& excluded) {
    if (excluded.empty()) return std::nullopt;
    std::set<std::uint8_t> channels;
    for (const auto& summary : recorder.channelSummaries()) {
        if (!excluded.contains(summary.channel)) channels.insert(summary.channel);
    }
    return channels;
}

} // namespace

void AppModel::setRecorder(std::shared_ptr<EventRecorder> recorder) {
    if (recorderCommands_) recorderCommands_->close();
    recorderCommands_.reset();
    captureRefreshPending_ = false;
    recorder_ = std::move(recorder);
    // What the screen showed belongs to the recorder that went; the next one's marks and counts
    // would otherwise be read against the old values until its first refresh.
    setCaptureSummaries({});
    setCaptureStatus(std::nullopt);
    setCaptureOldestEvent(std::nullopt);
    if (recorder_) {
        recorderCommands_ = std::make_shared<CommandQueue>();
        workers_.start([queue = recorderCommands_](std::stop_token stop) { queue->run(std::move(stop)); });
    }
    Q_EMIT recorderOriginChanged();
}

void AppModel::enqueueRecorderCommand(std::function<void(EventRecorder&, std::stop_token)> command) {
    if (!recorder_ || !recorderCommands_) return;
    recorderCommands_->enqueue(
        [recorder = recorder_, command = std::move(command)](std::stop_token stop) { command(*recorder, std::move(stop)); });
}

std::optional<AppModel::Date> AppModel::recorderOrigin() const {
    if (!recorder_) return std::nullopt;
    return recorder_->originDate();
}

// --- Marks -------------------------------------------------------------------------------------

void AppModel::startLog() {
    if (logPhase_.kind != LogPhase::Kind::idle || !recorder_) return;
    const Date now = std::chrono::system_clock::now();
    setLogPhase(LogPhase::running(now));
    setLastSavedLog(std::nullopt);
    enqueueRecorderCommand([now](EventRecorder& recorder, std::stop_token) { recorder.markStart(now); });
}

void AppModel::endLog() {
    if (logPhase_.kind != LogPhase::Kind::running || !recorder_) return;
    const Date now = std::chrono::system_clock::now();
    setLogPhase(LogPhase::ended(logPhase_.start, now));
    enqueueRecorderCommand([now](EventRecorder& recorder, std::stop_token) { recorder.markEnd(now); });
}

void AppModel::discardLog() {
    if (!recorder_) return;
    setLogPhase(LogPhase::idle());
    enqueueRecorderCommand([](EventRecorder& recorder, std::stop_token) { recorder.clearMarks(); });
}

void AppModel::saveRange(Date from, Date to) {
    if (!recorder_ || !(to > from)) return;
    setLogPhase(LogPhase::ended(from, to));
    enqueueRecorderCommand([this, from, to](EventRecorder& recorder, std::stop_token) {
        recorder.markStart(from);
        recorder.markEnd(to);
        QMetaObject::invokeMethod(this, [this] { saveLog(); }, Qt::QueuedConnection);
    });
}

// --- Saving ------------------------------------------------------------------------------------

void AppModel::saveLog() {
    if (logPhase_.kind != LogPhase::Kind::ended || !recorder_) return;
    const Date start = logPhase_.start;
    const Date end = logPhase_.end;

    Dialogs::SaveRequest request;
    request.directory = sessionCatalog_->sessionsDirectory();
    request.suggestedName = ExportNaming::dji(start, "mf4", TimeZone::current());
    request.types = saveTypes;
    request.canCreateFolders = true;
    const std::optional<fs::path> url = dialogs().chooseSaveLocation(request);
    if (!url) return;
    // The panel is modal, but queued work ran meanwhile: the stretch must still be there.
    if (!recorder_ || !(logPhase_ == LogPhase::ended(start, end))) return;

    if (auto refusal = keptFileRefusal(*url)) {
        tellLogSaveFailure(*refusal);
        return;
    }
    setLogPhase(LogPhase::saving());
    runSave(*url, start, end);
}

std::optional<std::string> AppModel::keptFileRefusal(const fs::path& url) const {
    const auto refusal = [&](std::string_view reason) {
        return fmt::format("« {} » {}", url.filename().string(), reason);
    };
    if (const auto& live = store_->recordingURL(); live && sameFile(url, *live)) return refusal(liveDriveRefusal);
    const fs::path& folder = sessionCatalog_->sessionsDirectory();
    // The store and the working files its database keeps beside it while open.
    for (const std::string_view suffix : {"", "-wal", "-shm", "-journal"}) {
        if (sameFile(url, folder / (std::string(SessionCatalog::storeFileName) + std::string(suffix)))) {
            return refusal(catalogueRefusal);
        }
    }
    for (const SessionRecord& record : sessionCatalog_->allSessions()) {
        if (!record.fileName.empty() && sameFile(url, folder / record.fileName)) return refusal(catalogueRefusal);
    }
    // Replaced, the lock would no longer keep a second instance off the catalogue; the audit
    // trail and the ECUs' backups are what undoes a coding session.
    if (sameFile(url, environment_.dataFolder / instanceLockName)) return refusal(lockRefusal);
    if (sameFile(url, auditLog_->logFileURL())) return refusal(auditRefusal);
    if (sameFile(url.parent_path(), backupStore_->storageDirectory())) return refusal(backupRefusal);
    return std::nullopt;
}

void AppModel::tellLogSaveFailure(const std::string& reason) {
    setLastExecutionMessage(std::string(saveFailurePrefix) + reason);
    Q_EMIT logSaveFailed(QString::fromStdString(reason));
}

void AppModel::runSave(const fs::path& url, Date start, Date end) {
    enqueueRecorderCommand([this, recorder = recorder_, url, start, end, excluded = excludedChannels_](
                               EventRecorder& target, std::stop_token) {
        try {
            const auto channels = savedChannels(target, excluded);
            const EventRecorder::SavedLog saved =
                TelemetryFile::isOwnFileName(url) ? target.save(url, saveBucketMs, channels)
                                                  : saveAsMDF(target, url, channels);
            target.clearMarks();
            QMetaObject::invokeMethod(
                this, [this, recorder, saved, start, end] { finishSave(recorder, saved, start, end); },
                Qt::QueuedConnection);
        } catch (...) {
            const std::string reason = ConnectionDiagnosis::errorText(std::current_exception());
            QMetaObject::invokeMethod(
                this,
                [this, recorder, reason, start, end] {
                    // The marks stay on the recorder: the user may try again or discard.
                    if (recorder == recorder_) setLogPhase(LogPhase::ended(start, end));
                    tellLogSaveFailure(reason);
                },
                Qt::QueuedConnection);
        }
    });
}

void AppModel::finishSave(const std::shared_ptr<EventRecorder>& recorder, const EventRecorder::SavedLog& saved,
                          Date start, Date end) {
    setLastSavedLog(saved);
    const fs::path& folder = sessionCatalog_->sessionsDirectory();
    if (TelemetryFile::isOwnFileName(saved.url) && standardised(saved.url.parent_path()) == standardised(folder)) {
        // The record starts where the stretch starts, not when it was saved.
        SessionRecord record = createSessionRecord(saved.url, start);
        SessionCatalog::Update changes;
        changes.endDate = end;
        changes.sampleCount = static_cast<std::int64_t>(saved.records);
        changes.channelCount = static_cast<std::int64_t>(saved.channels);
        saveSession(record, changes);
        refreshSessions();
    }
    if (recorder == recorder_) setLogPhase(LogPhase::idle());
}

// --- Capture summaries -------------------------------------------------------------------------

void AppModel::beginCaptureRefresh() {
    if (captureRefreshTask_) return;
    captureRefreshTask_ = new QTimer(this);
    captureRefreshTask_->setTimerType(Qt::PreciseTimer);
    captureRefreshTask_->setInterval(captureRefreshInterval);
    QObject::connect(captureRefreshTask_, &QTimer::timeout, this, &AppModel::refreshCapture);
    captureRefreshTask_->start();
    refreshCapture();
}

void AppModel::endCaptureRefresh() {
    delete captureRefreshTask_;
    captureRefreshTask_ = nullptr;
}

void AppModel::refreshCapture() {
    if (!recorder_) {
        // The loop ends with the recorder; the screen starts a new one when shown again.
        if (captureRefreshTask_) captureRefreshTask_->stop();
        return;
    }
    if (captureRefreshPending_) return; // the queue is busy (a save): one refresh waits at most
    captureRefreshPending_ = true;
    enqueueRecorderCommand([this, recorder = recorder_](EventRecorder& target, std::stop_token) {
        auto overview = target.overview();
        QMetaObject::invokeMethod(
            this,
            [this, recorder, overview = std::move(overview)] {
                if (recorder != recorder_) return;
                captureRefreshPending_ = false;
                setCaptureSummaries(overview.channels);
                setCaptureOldestEvent(overview.oldest);
                setCaptureStatus(overview.status);
            },
            Qt::QueuedConnection);
    });
}

// --- Location ----------------------------------------------------------------------------------

void AppModel::setLocationRecording(bool on) {
    setRecordLocation(on);
    if (on) {
        location_->start();
        if (!(locationTask_ && locationTask_->isActive())) startLocationRelay();
    } else {
        location_->stop();
        stopLocationRelay();
    }
}

bool AppModel::startLocationRelay() {
    if (!recordLocation_) return false;
    if (!locationTask_) {
        locationTask_ = new QTimer(this);
        locationTask_->setTimerType(Qt::PreciseTimer);
        locationTask_->setInterval(relayInterval);
        QObject::connect(locationTask_, &QTimer::timeout, this, &AppModel::relayLocation);
    }
    lastRelayedFix_.reset();
    locationTask_->start();
    relayLocation();
    return true;
}

void AppModel::stopLocationRelay() {
    if (locationTask_) locationTask_->stop();
}

void AppModel::relayLocation() {
    const std::optional<LocationProvider::Fix> fix = location_->latest();
    store_->setLocationFix(fix);
    // Without a recorder the fix is not counted as relayed: the next recorder still gets it.
    if (!fix || !recorder_ || lastRelayedFix_ == fix->timestamp) return;
    lastRelayedFix_ = fix->timestamp;
    const auto record = [&](std::uint8_t channel, double value) {
        recorder_->record(channel, static_cast<float>(value), fix->timestamp);
    };
    record(GPSChannel::latitude, fix->latitude);
    record(GPSChannel::longitude, fix->longitude);
    record(GPSChannel::altitude, fix->altitude);
    if (fix->speedKmh) record(GPSChannel::speed, *fix->speedKmh);
    if (fix->course) record(GPSChannel::course, *fix->course);
    record(GPSChannel::horizontalAccuracy, fix->horizontalAccuracy);
}

std::string AppModel::locationSummary() const {
    if (!recordLocation_) return "Enregistrement de la position désactivé";
    if (location_->authorization() != LocationProvider::Authorization::authorized) {
        return std::string(label(location_->authorization()));
    }
    const auto quality = location_->quality();
    const auto& latest = location_->latest();
    if (quality && latest) {
        return fmt::format("{} · ±{:.0f} m · {} points", label(*quality), latest->horizontalAccuracy,
                           location_->fixCount());
    }
    return "En attente d'une première position…";
}

} // namespace veq
