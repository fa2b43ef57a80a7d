#include "VEQUI/Model/AppModel.hpp"

#include "VEQEngine/Coding/RecipeCatalog.hpp"
#include "VEQSupport/DataFolder.hpp"
#include "VEQTransport/OBDAdapterRegistry.hpp"
#include "VEQUI/Model/Observable.hpp"
#include "VEQVehicle/VehicleProfileCatalog.hpp"

#include <QGeoPositionInfoSource>
#include <QSignalBlocker>

#include <algorithm>

namespace veq {

namespace {

// The gear estimate's defaults: the nine-speed gearbox, its axle and tyres, 8 % tolerance.
GearEstimator defaultGearEstimator() {
    return GearEstimator({GearEstimator::nineGTronic.begin(), GearEstimator::nineGTronic.end()}, 2.65, 2.0, 0.08);
}

bool sameEstimator(const GearEstimator& a, const GearEstimator& b) {
    return a.ratios() == b.ratios() && a.finalDrive() == b.finalDrive() &&
           a.tireCircumference() == b.tireCircumference() && a.tolerance() == b.tolerance();
}

// Records are equal by identity; a refreshed list must still notify when a figure changed.
bool sameRecords(const std::vector<SessionRecord>& a, const std::vector<SessionRecord>& b) {
    const auto same = [](const SessionRecord& x, const SessionRecord& y) {
        return x == y && x.identifier == y.identifier && x.startDate == y.startDate && x.endDate == y.endDate &&
               x.vin == y.vin && x.profileID == y.profileID && x.profileName == y.profileName &&
               x.fileName == y.fileName && x.sampleCount == y.sampleCount && x.channelCount == y.channelCount &&
               x.distanceKm == y.distanceKm && x.maxSpeedKmh == y.maxSpeedKmh && x.fuelLiters == y.fuelLiters &&
               x.dtcCount == y.dtcCount && x.zeroToHundredSec == y.zeroToHundredSec && x.note == y.note;
    };
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), same);
}

LocationProvider* makeLocationProvider(const AppModel::Environment& environment, QObject* parent) {
    if (!environment.locationSource) return new LocationProvider(parent);
    return new LocationProvider(environment.locationSource(), parent);
}

} // namespace

const std::set<std::uint8_t> AppModel::baselinePIDs{0x04, 0x05, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F, 0x10,
                                                    0x11, 0x1F, 0x2F, 0x42, 0x46, 0x5C, 0x5E, 0xA4};

AppModel::Environment AppModel::Environment::standard() { return {applicationDataFolder(), {}, {}, {}, {}}; }

std::filesystem::path AppModel::Environment::sessionsFolder() const {
    return dataFolder / SessionCatalog::defaultDirectory().filename();
}

AppModel::AppModel(Environment environment, QObject* parent)
    : QObject(parent),
      environment_(std::move(environment)),
      gearEstimator_(defaultGearEstimator()),
      sessionCatalog_(std::make_unique<SessionCatalog>(environment_.sessionsFolder())),
      profiles_(VehicleProfileCatalog::bundled()),
      selectedProfile_(VehicleProfileCatalog::generic()),
      wifiHost_(OBDAdapterRegistry::wifiEndpoints.front().host),
      store_(new TelemetryStore(this)),
      location_(makeLocationProvider(environment_, this)),
      recipes_(RecipeCatalog::bundled()),
      securityRegistry_(std::make_shared<SecurityAccessRegistry>()),
      backupStore_(std::make_shared<ECUBackupStore>(environment_.dataFolder /
                                                    ECUBackupStore::defaultDirectory().filename())),
      auditLog_(std::make_shared<AuditLog>(environment_.dataFolder / AuditLog::defaultURL().filename())) {
    // The coding engine reads the guard's live values (battery voltage, engine speed, road speed)
    // on its own thread: a copy follows the store.
    QObject::connect(store_, &TelemetryStore::statsChanged, this, [this] {
        liveGuardValues_->set({store_->value(0x42), store_->value(0x0C), store_->value(0x0D)});
    });
    // The drive's record follows its codes and its 0-100 (once its file holds the run) while it is
    // under way. A disconnection lets the record go before it empties the codes.
    QObject::connect(this, &AppModel::dtcsChanged, this, &AppModel::recordDriveFigures);
    QObject::connect(store_, &TelemetryStore::writtenZeroToHundredChanged, this, &AppModel::recordDriveFigures);
    pendingSessionsTimer_ = new QTimer(this);
    QObject::connect(pendingSessionsTimer_, &QTimer::timeout, this, [this] {
        const std::size_t before = pendingSessions_.size();
        savePendingSessions();
        if (pendingSessions_.size() < before) refreshSessions();
    });
}

AppModel::~AppModel() {
    // Closing the window while live ends the drive as disconnect() does: what was measured still
    // reaches the file, and the catalogue record gets its end date and figures. Nobody observes
    // the model any more, so nothing is announced.
    {
        const QSignalBlocker quiet(this);
        const QSignalBlocker quietStore(store_);
        store_->drainIntake();
        syncCurrentSession();
        savePendingSessions(); // a last try for a record the store did not take
    }
    // A polling thread waiting on a full hand-over queue is released before the tasks are joined.
    store_->closeIntake();
}

// Every observable property: its getter is in the header, its setter here. Assigning an equal
// value notifies nobody.

void AppModel::setPhase(Phase phase) { assignObservable(this, phase_, std::move(phase), &AppModel::phaseChanged); }
void AppModel::setInitSteps(std::vector<InitStep> steps) {
    assignObservable(this, initSteps_, std::move(steps), &AppModel::initStepsChanged);
}
void AppModel::setSupportedPIDs(std::set<std::uint8_t> pids) {
    assignObservable(this, supportedPIDs_, std::move(pids), &AppModel::supportedPIDsChanged);
}
void AppModel::setVin(std::optional<std::string> vin) { assignObservable(this, vin_, std::move(vin), &AppModel::vinChanged); }
const std::vector<DTC>& AppModel::dtcs() const {
    static const std::vector<DTC> none;
    return dtcs_ ? *dtcs_ : none;
}
void AppModel::setDtcs(std::vector<DTC> dtcs) {
    assignObservable(this, dtcs_, std::optional(std::move(dtcs)), &AppModel::dtcsChanged);
}
void AppModel::setDtcsUnread() {
    assignObservable(this, dtcs_, std::optional<std::vector<DTC>>(), &AppModel::dtcsChanged);
}
void AppModel::setMonitorStatus(std::optional<MonitorStatus> status) {
    assignObservable(this, monitorStatus_, std::move(status), &AppModel::monitorStatusChanged);
}
void AppModel::setEcus(std::vector<DiscoveredECU> ecus) {
    assignObservable(this, ecus_, std::move(ecus), &AppModel::ecusChanged);
}
void AppModel::setUdsDTCs(UDSCodes codes) {
    assignObservable(this, udsDTCs_, std::move(codes), &AppModel::udsDTCsChanged);
}
void AppModel::setNightMode(bool on) { assignObservable(this, nightMode_, on, &AppModel::nightModeChanged); }
void AppModel::setSidebarHidden(bool hidden) {
    assignObservable(this, sidebarHidden_, hidden, &AppModel::sidebarHiddenChanged);
}
void AppModel::setFocusMode(bool on) { assignObservable(this, focusMode_, on, &AppModel::focusModeChanged); }
void AppModel::setActiveLayout(CockpitLayout layout) {
    assignObservable(this, activeLayout_, layout, &AppModel::activeLayoutChanged);
}
void AppModel::setUnitSystem(UnitSystem system) {
    assignObservable(this, unitSystem_, system, &AppModel::unitSystemChanged);
}
void AppModel::setGearEstimator(GearEstimator estimator) {
    if (sameEstimator(gearEstimator_, estimator)) return;
    gearEstimator_ = std::move(estimator);
    Q_EMIT gearEstimatorChanged();
}
void AppModel::setPastSessions(std::vector<SessionRecord> sessions) {
    if (sameRecords(pastSessions_, sessions)) return;
    pastSessions_ = std::move(sessions);
    Q_EMIT pastSessionsChanged();
}
void AppModel::setSelectedProfile(std::optional<VehicleProfile> profile) {
    if (profile == selectedProfile_) return;
    assignObservable(this, selectedProfile_, std::move(profile), &AppModel::selectedProfileChanged);
    // Another profile than the one the VIN matched is no longer "reconnu par le VIN"; the
    // identification sets the flag again after choosing its match.
    setProfileMatchedFromVIN(false);
}
void AppModel::setProfileMatchedFromVIN(bool matched) {
    assignObservable(this, profileMatchedFromVIN_, matched, &AppModel::profileMatchedFromVINChanged);
}
void AppModel::setReadFuelType(std::optional<FuelType> fuel) {
    assignObservable(this, readFuelType_, fuel, &AppModel::readFuelTypeChanged);
}
void AppModel::setProfileFuelMismatch(bool mismatch) {
    assignObservable(this, profileFuelMismatch_, mismatch, &AppModel::profileFuelMismatchChanged);
}
void AppModel::setIdentifiedEngine(std::optional<EngineIdentifier> engine) {
    assignObservable(this, identifiedEngine_, std::move(engine), &AppModel::identifiedEngineChanged);
}
void AppModel::setSubtitleOptions(SubtitleExporter::Options options) {
    assignObservable(this, subtitleOptions_, options, &AppModel::subtitleOptionsChanged);
}
void AppModel::setCalibration(VehicleCalibration calibration) {
    assignObservable(this, calibration_, calibration, &AppModel::calibrationChanged);
}
void AppModel::setRecognisedMake(std::optional<WMIRegistry::Make> make) {
    assignObservable(this, recognisedMake_, std::move(make), &AppModel::recognisedMakeChanged);
}
void AppModel::setTransportKind(TransportKind kind) {
    assignObservable(this, transportKind_, kind, &AppModel::transportKindChanged);
}
void AppModel::setWifiHost(std::string host) {
    assignObservable(this, wifiHost_, std::move(host), &AppModel::wifiHostChanged);
}
void AppModel::setWifiPort(std::string port) {
    assignObservable(this, wifiPort_, std::move(port), &AppModel::wifiPortChanged);
}
void AppModel::setDiagnostics(std::vector<std::string> lines) {
    assignObservable(this, diagnostics_, std::move(lines), &AppModel::diagnosticsChanged);
}
void AppModel::setSweepAttempts(std::vector<ProtocolSweep::Attempt> attempts) {
    assignObservable(this, sweepAttempts_, std::move(attempts), &AppModel::sweepAttemptsChanged);
}
void AppModel::setLastSweep(std::optional<ProtocolSweep::Outcome> outcome) {
    // An outcome has no equality: every assignment notifies.
    assignObservable(this, lastSweep_, std::move(outcome), &AppModel::lastSweepChanged);
}
void AppModel::setBusTraffic(std::vector<std::string> lines) {
    assignObservable(this, busTraffic_, std::move(lines), &AppModel::busTrafficChanged);
}
void AppModel::setLogPhase(LogPhase phase) { assignObservable(this, logPhase_, phase, &AppModel::logPhaseChanged); }
void AppModel::setLastSavedLog(std::optional<EventRecorder::SavedLog> log) {
    assignObservable(this, lastSavedLog_, std::move(log), &AppModel::lastSavedLogChanged);
}
void AppModel::setCaptureSummaries(std::vector<EventRecorder::ChannelSummary> summaries) {
    assignObservable(this, captureSummaries_, std::move(summaries), &AppModel::captureSummariesChanged);
}
void AppModel::setCaptureStatus(std::optional<EventRecorder::Status> status) {
    assignObservable(this, captureStatus_, std::move(status), &AppModel::captureStatusChanged);
}
void AppModel::setCaptureOldestEvent(std::optional<Date> date) {
    assignObservable(this, captureOldestEvent_, std::move(date), &AppModel::captureOldestEventChanged);
}
void AppModel::setExcludedChannels(std::set<std::uint8_t> channels) {
    assignObservable(this, excludedChannels_, std::move(channels), &AppModel::excludedChannelsChanged);
}
void AppModel::setRecordLocation(bool on) {
    assignObservable(this, recordLocation_, on, &AppModel::recordLocationChanged);
}
void AppModel::setWriteEnabled(bool on) { assignObservable(this, writeEnabled_, on, &AppModel::writeEnabledChanged); }
void AppModel::setTerminalLog(std::vector<TerminalEntry> entries) {
    assignObservable(this, terminalLog_, std::move(entries), &AppModel::terminalLogChanged);
}
void AppModel::setExpertAccepted(bool accepted) {
    assignObservable(this, expertAccepted_, accepted, &AppModel::expertAcceptedChanged);
}
void AppModel::setRecipes(std::vector<CodingRecipe> recipes) {
    assignObservable(this, recipes_, std::move(recipes), &AppModel::recipesChanged);
}
void AppModel::setFeasibilities(std::map<std::string, Feasibility> feasibilities) {
    assignObservable(this, feasibilities_, std::move(feasibilities), &AppModel::feasibilitiesChanged);
}
void AppModel::setBackupList(std::vector<ECUBackup> backups) {
    assignObservable(this, backupList_, std::move(backups), &AppModel::backupListChanged);
}
void AppModel::setAuditEntries(std::vector<AuditEntry> entries) {
    assignObservable(this, auditEntries_, std::move(entries), &AppModel::auditEntriesChanged);
}
void AppModel::setBackupProgress(std::optional<BackupProgress> progress) {
    assignObservable(this, backupProgress_, progress, &AppModel::backupProgressChanged);
}
void AppModel::setLastExecutionMessage(std::optional<std::string> message) {
    assignObservable(this, lastExecutionMessage_, std::move(message), &AppModel::lastExecutionMessageChanged);
}
void AppModel::setLoadedProviders(std::vector<std::string> identifiers) {
    assignObservable(this, loadedProviders_, std::move(identifiers), &AppModel::loadedProvidersChanged);
}
void AppModel::setDiscoveredDIDs(std::vector<DiscoveredDID> dids) {
    assignObservable(this, discoveredDIDs_, std::move(dids), &AppModel::discoveredDIDsChanged);
}
void AppModel::setDidScanning(bool scanning) {
    assignObservable(this, didScanning_, scanning, &AppModel::didScanningChanged);
}
void AppModel::setDidWatching(bool watching) {
    assignObservable(this, didWatching_, watching, &AppModel::didWatchingChanged);
}
void AppModel::setDidScanProgress(std::optional<DIDScanProgress> progress) {
    assignObservable(this, didScanProgress_, progress, &AppModel::didScanProgressChanged);
}
void AppModel::setDidScanECU(std::string ecu) {
    assignObservable(this, didScanECU_, std::move(ecu), &AppModel::didScanECUChanged);
}
void AppModel::setSnifferRows(CANFrameTable rows) {
    assignObservable(this, snifferRows_, std::move(rows), &AppModel::snifferRowsChanged);
}
void AppModel::setSniffing(bool sniffing) { assignObservable(this, sniffing_, sniffing, &AppModel::sniffingChanged); }
void AppModel::setSnifferRecording(bool recording) {
    assignObservable(this, snifferRecording_, recording, &AppModel::snifferRecordingChanged);
}
void AppModel::setRecordedFrames(std::vector<RecordedFrame> frames) {
    assignObservable(this, recordedFrames_, std::move(frames), &AppModel::recordedFramesChanged);
}

} // namespace veq
