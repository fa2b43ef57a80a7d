#pragma once

#include "VEQEngine/Coding/AuditLog.hpp"
#include "VEQEngine/Coding/CodingEngine.hpp"
#include "VEQEngine/Coding/CodingRecipe.hpp"
#include "VEQEngine/Coding/ECUBackup.hpp"
#include "VEQEngine/Coding/ECUBackupStore.hpp"
#include "VEQEngine/Platform/LocationProvider.hpp"
#include "VEQEngine/Session/ELM327Session.hpp"
#include "VEQEngine/Session/InitStep.hpp"
#include "VEQEngine/Session/TelemetryEngine.hpp"
#include "VEQEngine/Trip/GearEstimator.hpp"
#include "VEQEngine/UDS/DIDScanner.hpp"
#include "VEQEngine/UDS/DiscoveredDID.hpp"
#include "VEQEngine/UDS/ECUScanner.hpp"
#include "VEQEngine/UDS/ProtocolSweep.hpp"
#include "VEQProtocol/DTC.hpp"
#include "VEQProtocol/MeasurementUnit.hpp"
#include "VEQProtocol/ReadinessMonitors.hpp"
#include "VEQProtocol/SecurityAccessProvider.hpp"
#include "VEQProtocol/StatusEnums.hpp"
#include "VEQProtocol/UDSDTC.hpp"
#include "VEQProtocol/WMIRegistry.hpp"
#include "VEQStore/Catalog/SessionCatalog.hpp"
#include "VEQStore/Catalog/SessionRecord.hpp"
#include "VEQStore/Export/SubtitleExporter.hpp"
#include "VEQStore/Telemetry/EventRecorder.hpp"
#include "VEQSupport/UUID.hpp"
#include "VEQTransport/OBDTransport.hpp"
#include "VEQUI/Model/ASCTrace.hpp"
#include "VEQUI/Model/CANFrameTable.hpp"
#include "VEQUI/Model/CockpitLayout.hpp"
#include "VEQUI/Model/CommandQueue.hpp"
#include "VEQUI/Model/Dialogs.hpp"
#include "VEQUI/Model/GaugeScale.hpp"
#include "VEQUI/Model/LinkNotice.hpp"
#include "VEQUI/Model/LiveGuardValues.hpp"
#include "VEQUI/Model/MonitorLine.hpp"
#include "VEQUI/Model/PollingPause.hpp"
#include "VEQUI/Model/TelemetryStore.hpp"
#include "VEQUI/Model/TransportFactory.hpp"
#include "VEQUI/Model/TransportKind.hpp"
#include "VEQUI/Model/Workers.hpp"
#include "VEQVehicle/EngineIdentifier.hpp"
#include "VEQVehicle/VehicleCalibration.hpp"
#include "VEQVehicle/VehicleProfile.hpp"

#include <QColor>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <stop_token>
#include <string>
#include <unordered_set>
#include <vector>

class QGeoPositionInfoSource;

namespace veq {

// The one state object of the application: created once with the window, handed to every
// screen, living on the GUI thread and used there only. Screens read its properties (a getter
// and a change signal each, the signal emitted only on a real change), bind controls through
// the public setters, and call its methods; they never talk to the vehicle.
//
// It owns, for the window's life, the live-value store, the session catalogue, the vehicle
// profiles, the location provider, the security-access registry, the backup store, the audit log
// and the coding recipes; while connected, the transport, session, polling engine, event
// recorder and catalogue record of the drive. The connection sequence, recording controls and
// tools add their members in AppModel*.cpp files of their own.
class AppModel : public QObject {
    Q_OBJECT

public:
    using Date = std::chrono::system_clock::time_point;

    // The connection phase. Two failed phases are equal when their messages are.
    struct Phase {
        enum class Kind { failed, disconnected, connecting, live };

        Kind kind = Kind::disconnected;
        std::string message; // French; failed only

        static Phase failed(std::string message) { return {Kind::failed, std::move(message)}; }
        static Phase disconnected() { return {Kind::disconnected, {}}; }
        static Phase connecting() { return {Kind::connecting, {}}; }
        static Phase live() { return {Kind::live, {}}; }

        bool operator==(const Phase&) const = default;
    };

    // The event recorder's marks: equal when the case and every date are.
    struct LogPhase {
        enum class Kind { running, ended, idle, saving };

        Kind kind = Kind::idle;
        Date start{}; // running: since; ended: start
        Date end{};   // ended only

        static LogPhase running(Date since) { return {Kind::running, since, {}}; }
        static LogPhase ended(Date start, Date end) { return {Kind::ended, start, end}; }
        static LogPhase idle() { return {Kind::idle, {}, {}}; }
        static LogPhase saving() { return {Kind::saving, {}, {}}; }

        bool operator==(const LogPhase&) const = default;
    };

    // One line of the command terminal's transcript.
    struct TerminalEntry {
        enum class Kind { command, response, error, info };

        UUID id = UUID::random();
        Kind kind = Kind::info;
        std::string text;

        bool operator==(const TerminalEntry&) const = default;
    };

    // One frame identifier seen by the bus monitor (CANFrameTable.hpp), with its rateHz().
    using CANFrameRow = veq::CANFrameRow;
    // One frame kept for the trace export (ASCTrace.hpp).
    using RecordedFrame = veq::RecordedFrame;

    struct BackupProgress {
        int done = 0;
        int total = 0;
        bool operator==(const BackupProgress&) const = default;
    };

    struct DIDScanProgress {
        int done = 0;
        int total = 0;
        std::uint16_t current = 0;
        bool operator==(const DIDScanProgress&) const = default;
    };

    // What the last scan could not read: its result is incomplete, and what it lacks is not
    // absent from the ECU.
    struct DIDScanShortfall {
        enum class Kind {
            adapterSilent, // ended early: the adapter stopped answering
            linkLost,      // ended early: the link to the adapter was lost
            unanswered,    // went through its range, `unanswered` identifiers never answered, asked twice
        };
        Kind kind = Kind::unanswered;
        std::int32_t unanswered = 0;

        // The scan ended before the end of its range.
        bool interrupted() const { return kind != Kind::unanswered; }
        bool operator==(const DIDScanShortfall&) const = default;
    };

    // The pauses of the connection sequence and of the tools, and the session's reply time-outs.
    struct ConnectionTiming {
        // After each adapter initialisation step.
        std::chrono::nanoseconds initStepPause = std::chrono::milliseconds(160);
        // Before each probe that follows the first attempt.
        std::chrono::nanoseconds probePause = std::chrono::milliseconds(350);
        // How long the bus is listened to after a sweep that found nothing.
        std::chrono::nanoseconds busListening = std::chrono::seconds(4);
        // Between the pause of polling and the bus monitor's start, so that a poll under way ends.
        std::chrono::nanoseconds monitorStartPause = std::chrono::milliseconds(160);
        // How often the live connection's link and values are looked at.
        std::chrono::nanoseconds linkWatchPeriod = std::chrono::milliseconds(250);
        // Polling this long without a value tells the user that nothing answers any more.
        std::chrono::nanoseconds valueSilence = std::chrono::seconds(20);
        // The adapter answering nothing this long fails the connection, and ends an identifier scan.
        std::chrono::nanoseconds adapterSilence = std::chrono::seconds(30);
        ELM327Session::Timing session{};
    };

    // What the model stands on outside itself; tests replace each so that they never touch the
    // user's folders, need no GPS and can script the adapter.
    struct Environment {
        // Holds "Sessions" (drives and their catalogue), "Backups" and "audit.log".
        std::filesystem::path dataFolder;
        // The position source of the location provider, which takes it over; may return null
        // (no source at all). Empty: the platform's default source.
        std::function<QGeoPositionInfoSource*()> locationSource;
        // Builds each connection's transport. Empty: the built-in transports.
        TransportFactory transportFactory;
        // Save panels and messages. Empty: every dialog is dismissed (no file is chosen).
        std::shared_ptr<Dialogs> dialogs;
        ConnectionTiming connectionTiming;

        // The catalogue of drives and the drives' own files, in the data folder.
        std::filesystem::path sessionsFolder() const;

        // The user's data folder, the platform's position source, the built-in transports.
        static Environment standard();
    };

    // Frames the bus monitor's recording keeps; later ones are not recorded.
    static constexpr std::size_t maxRecordedFrames = 200'000;
    // Entries the terminal's transcript keeps after each reply.
    static constexpr std::size_t terminalLogLimit = 500;

    // The 16 parameters always polled and recorded, whatever the car declares.
    static const std::set<std::uint8_t> baselinePIDs;

    explicit AppModel(Environment environment = Environment::standard(), QObject* parent = nullptr);
    ~AppModel() override;

    AppModel(const AppModel&) = delete;
    AppModel& operator=(const AppModel&) = delete;

    // --- State, in the order of the property table -------------------------------------------

    const Phase& phase() const { return phase_; }
    const std::vector<InitStep>& initSteps() const { return initSteps_; }
    const std::set<std::uint8_t>& supportedPIDs() const { return supportedPIDs_; }
    const std::optional<std::string>& vin() const { return vin_; }
    const std::vector<DTC>& dtcs() const; // none while unread
    // The OBD codes could not be read whole: none is shown, and none may be claimed absent.
    bool dtcsUnread() const { return !dtcs_; }
    const std::optional<MonitorStatus>& monitorStatus() const { return monitorStatus_; }
    const std::vector<DiscoveredECU>& ecus() const { return ecus_; }
    // Each scanned ECU's UDS trouble codes under its request header; nothing where unread.
    using UDSCodes = UDSCodesByECU;
    const UDSCodes& udsDTCs() const { return udsDTCs_; }

    bool nightMode() const { return nightMode_; }
    void setNightMode(bool on);
    bool sidebarHidden() const { return sidebarHidden_; }
    void setSidebarHidden(bool hidden);
    bool focusMode() const { return focusMode_; }
    void setFocusMode(bool on);
    CockpitLayout activeLayout() const { return activeLayout_; }
    void setActiveLayout(CockpitLayout layout);
    UnitSystem unitSystem() const { return unitSystem_; }
    void setUnitSystem(UnitSystem system);
    const GearEstimator& gearEstimator() const { return gearEstimator_; }
    void setGearEstimator(GearEstimator estimator);

    SessionCatalog& sessionCatalog() { return *sessionCatalog_; }
    const std::vector<SessionRecord>& pastSessions() const { return pastSessions_; }

    const std::vector<VehicleProfile>& profiles() const { return profiles_; }
    const std::optional<VehicleProfile>& selectedProfile() const { return selectedProfile_; }
    // Another profile than the selected one also clears profileMatchedFromVIN.
    void setSelectedProfile(std::optional<VehicleProfile> profile);
    bool profileMatchedFromVIN() const { return profileMatchedFromVIN_; }
    const std::optional<FuelType>& readFuelType() const { return readFuelType_; }
    bool profileFuelMismatch() const { return profileFuelMismatch_; }
    const std::optional<EngineIdentifier>& identifiedEngine() const { return identifiedEngine_; }
    const SubtitleExporter::Options& subtitleOptions() const { return subtitleOptions_; }
    void setSubtitleOptions(SubtitleExporter::Options options);
    const VehicleCalibration& calibration() const { return calibration_; }
    void setCalibration(VehicleCalibration calibration);
    const std::optional<WMIRegistry::Make>& recognisedMake() const { return recognisedMake_; }

    TransportKind transportKind() const { return transportKind_; }
    void setTransportKind(TransportKind kind);
    const std::string& wifiHost() const { return wifiHost_; }
    void setWifiHost(std::string host);
    const std::string& wifiPort() const { return wifiPort_; }
    void setWifiPort(std::string port);
    const std::vector<std::string>& diagnostics() const { return diagnostics_; }
    const std::vector<ProtocolSweep::Attempt>& sweepAttempts() const { return sweepAttempts_; }
    const std::optional<ProtocolSweep::Outcome>& lastSweep() const { return lastSweep_; }
    const std::vector<std::string>& busTraffic() const { return busTraffic_; }

    TelemetryStore& store() const { return *store_; }

    const LogPhase& logPhase() const { return logPhase_; }
    const std::optional<EventRecorder::SavedLog>& lastSavedLog() const { return lastSavedLog_; }
    const std::vector<EventRecorder::ChannelSummary>& captureSummaries() const { return captureSummaries_; }
    const std::optional<EventRecorder::Status>& captureStatus() const { return captureStatus_; }
    // The date of the recorder's earliest held event, refreshed with the status: where a range
    // to save can start.
    const std::optional<Date>& captureOldestEvent() const { return captureOldestEvent_; }
    const std::set<std::uint8_t>& excludedChannels() const { return excludedChannels_; }
    void setExcludedChannels(std::set<std::uint8_t> channels);

    LocationProvider& location() const { return *location_; }
    bool recordLocation() const { return recordLocation_; }
    void setRecordLocation(bool on);

    bool writeEnabled() const { return writeEnabled_; }
    void setWriteEnabled(bool on);
    const std::vector<TerminalEntry>& terminalLog() const { return terminalLog_; }
    bool expertAccepted() const { return expertAccepted_; }
    const std::vector<CodingRecipe>& recipes() const { return recipes_; }
    // Feasibility of each recipe, keyed by recipe identifier.
    const std::map<std::string, Feasibility>& feasibilities() const { return feasibilities_; }
    const std::vector<ECUBackup>& backupList() const { return backupList_; }
    const std::vector<AuditEntry>& auditEntries() const { return auditEntries_; }
    const std::optional<BackupProgress>& backupProgress() const { return backupProgress_; }
    const std::optional<std::string>& lastExecutionMessage() const { return lastExecutionMessage_; }
    SecurityAccessRegistry& securityRegistry() const { return *securityRegistry_; }
    ECUBackupStore& backupStore() const { return *backupStore_; }
    AuditLog& auditLog() const { return *auditLog_; }
    const std::vector<std::string>& loadedProviders() const { return loadedProviders_; }

    // What the scans found on the car of the last connection gone live. A disconnection keeps it;
    // a connection going live keeps it only when its VIN is known and that car's.
    const std::vector<DiscoveredDID>& discoveredDIDs() const { return discoveredDIDs_; }
    bool didScanning() const { return didScanning_; }
    bool didWatching() const { return didWatching_; }
    const std::optional<DIDScanProgress>& didScanProgress() const { return didScanProgress_; }
    // What the last scan could not read; nothing when it read its whole range. Cleared when a scan
    // starts, by stopDIDScan() and at disconnection.
    const std::optional<DIDScanShortfall>& didScanShortfall() const { return didScanShortfall_; }
    // The last scan ended early: the adapter stopped answering, or the link was lost.
    bool didScanInterrupted() const { return didScanShortfall_ && didScanShortfall_->interrupted(); }
    const std::string& didScanECU() const { return didScanECU_; }
    void setDidScanECU(std::string ecu);

    // Bus-monitor rows keyed by frame identifier, ascending; at most CANFrameTable::maxRows.
    const CANFrameTable::Rows& snifferRows() const { return snifferRows_.rows(); }
    bool sniffing() const { return sniffing_; }
    bool snifferRecording() const { return snifferRecording_; }
    // The frames recorded for the trace export; read-only for the screens.
    const std::vector<RecordedFrame>& recordedFrames() const { return recordedFrames_; }
    int recordedFrameCount() const { return static_cast<int>(recordedFrames_.size()); }

    // The dialogs the model and the screens ask their questions through.
    Dialogs& dialogs();

    // --- Connection ----------------------------------------------------------------------------

    // From disconnected or failed: runs the connection sequence on a worker thread, the phase
    // becoming connecting at once, then live or failed. Does nothing while connecting or live.
    void connect();
    // Ends the connection from any phase, a sequence under way included: its late results are
    // dropped. Returns at once; the adapter is let go on a worker thread.
    void disconnect();
    // What the window tells of the live connection's link: lost (for good, until the next
    // connection), no value for a while, or nothing. Always none unless live.
    LinkNotice linkNotice() const { return linkNotice_; }
    // Live with the link to the adapter still up (the cockpit's "Contact").
    bool contactOn() const { return phase_.kind == Phase::Kind::live && linkNotice_ != LinkNotice::linkLost; }

    // --- Event recorder: marks, saves, capture summaries, location --------------------------

    void startLog();
    void endLog();
    // Asks for a file (an .mf4 or a .veqt) and saves the marked stretch to it.
    void saveLog();
    void discardLog();
    // Marks the stretch [from, to] and saves it as saveLog() does.
    void saveRange(Date from, Date to);
    // The capture screen's summaries, refreshed every second between these two calls.
    void beginCaptureRefresh();
    void endCaptureRefresh();
    // Switches location recording, and with it the provider and the location relay.
    void setLocationRecording(bool on);
    // The event recorder's origin; nothing without a recorder.
    std::optional<Date> recorderOrigin() const;
    // Why `url` must not be overwritten, when it is a file the application keeps: the drive being
    // recorded, the session catalogue's store and its working files, a catalogued drive, the
    // instance lock, the audit log or an ECU backup ("« name » ..."); else nothing. Every save of
    // the screens asks it.
    std::optional<std::string> keptFileRefusal(const std::filesystem::path& url) const;
    // The French status line of position recording.
    std::string locationSummary() const;

    // --- Expert front ----------------------------------------------------------------------------
    //
    // Each operation returns at once; its work runs on a worker thread against the coding engine
    // of the last connection, and its results reach the screens only through the properties
    // (feasibilities, backupList, auditEntries, backupProgress, lastExecutionMessage). None
    // reports a failure to its caller. Without a coding engine (never connected) the operations
    // that need one do nothing.

    void refreshBackups();
    void refreshAudit();
    // The feasibility of every recipe against the ECUs that answered; needs a coding engine.
    void refreshFeasibilities();
    // Sets expertAccepted, writes the acceptance to the audit log when a coding engine exists,
    // refreshes the audit entries and the feasibilities.
    void acceptExpertMode();
    using GuardVerdictReply = std::function<void(std::optional<GuardVerdict>)>;
    // The write guard's verdict for the recipe with the live values of this moment (absent while
    // polling is paused by a tool). `reply` runs later on the GUI thread, with nothing when there
    // is no coding engine; never once `receiver` is gone.
    void guardVerdict(const CodingRecipe& recipe, QObject* receiver, GuardVerdictReply reply);
    // Backs up the recipe's ECU with progress in backupProgress, then refreshes backups, audit
    // entries and feasibilities. Nothing for a recipe without an ECU address.
    void backupECU(const CodingRecipe& recipe);
    // Runs the recipe (the user has confirmed) and puts the outcome into lastExecutionMessage:
    // "Refusé — ...", "Échec : ..." or "Opération exécutée et vérifiée par relecture.".
    void executeRecipe(const CodingRecipe& recipe);
    // Asks for the backup's restore; outcome in lastExecutionMessage.
    void restoreBackup(const ECUBackup& backup);

    // --- Data-identifier scan and watch --------------------------------------------------------
    //
    // Both pause polling while they run and resume it once they have returned. Found identifiers
    // and watch readings land in discoveredDIDs; nothing is ever written to the ECU.

    // Reads every identifier of the range from didScanECU(); needs a live connection and no
    // scan running. Progress in didScanProgress, didScanning until it ends.
    void startDIDScan(const DIDRange& range);
    void stopDIDScan();
    // Stops a watch, or starts reading the discovered identifiers of didScanECU() again and
    // again, marking the bytes that change. A watch that ends by itself because the link to the
    // adapter was lost shows as ended (didWatching false), and so does one left on at a
    // disconnection once the next connection is live.
    void toggleDIDWatch();
    // Names one identifier; an empty label removes the name.
    void labelDID(std::uint16_t did, const std::string& ecu, const std::string& label);

    // --- Bus monitor -----------------------------------------------------------------------------

    // Pauses polling and puts the adapter into monitor mode; snifferRows fill as frames arrive.
    // Needs a live connection and no monitor running.
    void startSniffer();
    // Leaves monitor mode, then resumes polling; the table and the recording stay.
    void stopSniffer();
    // Starts a fresh recording, or ends the one under way (its frames stay for the export).
    void toggleSnifferRecording();
    // The recorded frames as a Vector ASC trace ("oskavelcar-trace.asc").
    std::string snifferASCText() const;

    // --- Terminal --------------------------------------------------------------------------------

    // Sends the text, trimmed, to the adapter: one exchange per line, each line's command entry
    // appended at once and its reply entries when it is answered. Not live: one error entry.
    void sendTerminalCommand(std::string_view text);
    void clearTerminal();

    // --- Vehicle identification ----------------------------------------------------------------

    // Maker, profile, VIN match and fuel mismatch from the VIN, the fuel type read and the profiles.
    // A car whose VIN no profile's chassis matches gets the generic profile, unmatched.
    void identifyVehicle();
    // Engine family from the engine ECU's part number, else from the fuel type read; may correct
    // the fuel mismatch.
    void refineEngineIdentification();

    // --- Session catalogue ---------------------------------------------------------------------

    void refreshSessions();
    // Ends the current drive, when there is one: closes its file first, then writes the end and
    // figures into its catalogue record. The record states no more than the file holds: its count
    // is the closed file's, and after any failed write its end, distance, top speed, fuel and
    // 0-100 are the file's own.
    void syncCurrentSession();
    // Deletes the drive's record and file, then lists the drives again. The drive being recorded
    // is refused (its file is still being written), and so is a drive being exported: nothing changes.
    void deleteSession(const SessionRecord& record);
    // Whether the record is the drive being recorded, whose end and figures are filled in only at
    // disconnection (its trouble codes as soon as known, its 0-100 once its file holds the run).
    bool isCurrentSession(const SessionRecord& record) const;
    // Whether the record is the drive of this connection that the lost link ended: its figures
    // are those of the moment of the loss, and final.
    bool isDriveEndedByLoss(const SessionRecord& record) const;
    // Drives an export is running for. The mark belongs to the export, not to a screen: a screen
    // built while it runs still keeps the drive's exports and deletion off, and deleteSession
    // refuses the drive until the export ends.
    bool isExporting(const SessionRecord& record) const { return exportingDrives_.contains(record); }
    void setExporting(const SessionRecord& record, bool exporting);

    // --- Work off the GUI thread -----------------------------------------------------------------

    // Runs `work` on a worker thread; the function it returns then runs on the GUI thread, unless
    // the model is going (its token asked to stop). The work must own everything it uses and
    // return promptly once stop is requested: the model waits for it when it goes.
    using BackgroundWork = std::function<std::function<void()>(std::stop_token)>;
    void runInBackground(BackgroundWork work);

    // --- What the instruments show -------------------------------------------------------------

    // The gauge scale of a parameter for the selected profile.
    GaugeScale scale(std::uint8_t pid) const;
    // The latest value with the user's calibration applied, in the parameter's metric unit.
    std::optional<double> displayValue(std::uint8_t pid) const;
    // Litres: the calibration's capacity, else the selected profile's.
    std::optional<double> effectiveTankCapacity() const;
    // Litres left in the tank.
    std::optional<double> fuelLiters() const;
    // The car's name for the cockpit's top bar.
    std::string vehicleLabel() const;
    // The night accent in night mode, the day accent otherwise.
    QColor accent() const;

Q_SIGNALS:
    void phaseChanged();
    void initStepsChanged();
    void supportedPIDsChanged();
    void vinChanged();
    void dtcsChanged();
    void monitorStatusChanged();
    void ecusChanged();
    void udsDTCsChanged();
    void nightModeChanged();
    void sidebarHiddenChanged();
    void focusModeChanged();
    void activeLayoutChanged();
    void unitSystemChanged();
    void gearEstimatorChanged();
    void pastSessionsChanged();
    void exportingDrivesChanged();
    void selectedProfileChanged();
    void profileMatchedFromVINChanged();
    void readFuelTypeChanged();
    void profileFuelMismatchChanged();
    void identifiedEngineChanged();
    void subtitleOptionsChanged();
    void calibrationChanged();
    void recognisedMakeChanged();
    void transportKindChanged();
    void wifiHostChanged();
    void wifiPortChanged();
    void diagnosticsChanged();
    void sweepAttemptsChanged();
    void lastSweepChanged();
    void busTrafficChanged();
    void logPhaseChanged();
    void lastSavedLogChanged();
    void captureSummariesChanged();
    void captureStatusChanged();
    void captureOldestEventChanged();
    void excludedChannelsChanged();
    void recordLocationChanged();
    void writeEnabledChanged();
    void terminalLogChanged();
    void expertAcceptedChanged();
    void recipesChanged();
    void feasibilitiesChanged();
    void backupListChanged();
    void auditEntriesChanged();
    void backupProgressChanged();
    void lastExecutionMessageChanged();
    // A save of the marked stretch was refused or failed; `reason` says why, in French. The
    // stretch stays marked.
    void logSaveFailed(const QString& reason);
    void loadedProvidersChanged();
    void discoveredDIDsChanged();
    void didScanningChanged();
    void didWatchingChanged();
    void didScanProgressChanged();
    void didScanShortfallChanged();
    void didScanECUChanged();
    void snifferRowsChanged();
    void sniffingChanged();
    void snifferRecordingChanged();
    void recordedFramesChanged();
    void linkNoticeChanged();
    // A recorder was created or dropped (recorderOrigin()).
    void recorderOriginChanged();

private:
    // Tests put the model into connection-time states without a car.
    friend struct AppModelTestAccess;
    friend struct AppModelConnectionAccess;
    friend struct AppModelToolsAccess;

    // A data-identifier scanner with the session it reads through (AppModelDIDScan.cpp).
    struct DIDScannerOverSession;
    // The terminal's line with the session it goes through (AppModelTerminal.cpp).
    struct TerminalOverSession;
    // One monitor run at a time on the adapter (AppModelMonitor.cpp).
    class MonitorTurn;

    // One run of the connection sequence, on its worker thread (AppModelConnection.cpp).
    class Connection;
    // The polling engine with the session and sink it stands on.
    struct PollingEngine;

    // Whether a result of connection `generation` still belongs to the current connection.
    bool isCurrent(std::uint64_t generation) const { return generation == connectionGeneration_; }
    std::shared_ptr<OBDTransport> makeTransport() const;
    void failConnection(const std::exception_ptr& error);
    std::vector<ECUCandidate> scanCandidates() const;
    // Once every read has passed: polling, recording, the recorder and the catalogue record.
    void goLive(const std::shared_ptr<ELM327Session>& session);
    void setupExpert(const std::shared_ptr<ELM327Session>& session);
    void setRecorder(std::shared_ptr<EventRecorder> recorder);
    // The link watch of the live connection (AppModelLink.cpp): the session's lost link, the
    // silence of the polling.
    void startLinkWatch();
    void stopLinkWatch();
    void watchLink();
    // The link went down: the drive ends here, its record final. Once per connection.
    void endDriveAtLoss();
    // Writes the trouble-code count and the best 0-100 whose run is on disk into the record of the
    // drive under way when they differ from what it holds, with no end date nor record count.
    void recordDriveFigures();
    // Catalogue writes (AppModelSessions.cpp). Each first saves, whole, the records the store did
    // not take earlier; a record it does not take now stays pending, whole, and is saved again
    // before the next write and on a timer meanwhile, so that a full disk costs the catalogue
    // nothing once it frees.
    SessionRecord createSessionRecord(const std::filesystem::path& file, std::optional<Date> start = std::nullopt);
    void saveSession(SessionRecord& record, const SessionCatalog::Update& changes);
    void savePendingSessions();
    void keepPending(const SessionRecord& record);
    void setLinkNotice(LinkNotice notice);

    // Recorder commands, one queue per recorder so that they run in call order.
    void enqueueRecorderCommand(std::function<void(EventRecorder&, std::stop_token)> command);
    // Tells a failed save of the marked stretch: the last execution message and logSaveFailed().
    void tellLogSaveFailure(const std::string& reason);
    void runSave(const std::filesystem::path& url, Date start, Date end);
    void finishSave(const std::shared_ptr<EventRecorder>& recorder, const EventRecorder::SavedLog& saved, Date start,
                    Date end);
    void refreshCapture();
    bool startLocationRelay();
    void stopLocationRelay();
    void relayLocation();

    // Tools (AppModelExpert.cpp, AppModelDIDScan.cpp, AppModelMonitor.cpp, AppModelTerminal.cpp).
    // The scanner over the current session, made anew after a connection change.
    std::shared_ptr<DIDScannerOverSession> scannerForSession();
    // Ends the scan and the watch, and lets the next connection make its own scanner.
    void stopScannerAtDisconnect();
    // At going live: the identifier list stays only for the car it was read from.
    void takeDIDListForConnection();
    // Hands a scan's found identifiers to the list, as long as the list is its connection's.
    DIDScanner::FoundHandler didFoundHandler();
    void mergeDID(DiscoveredDID found);
    void updateWatched(std::uint16_t did, const std::string& ecu, std::vector<std::uint8_t> bytes);
    // One monitor line, as the monitor's frames are applied.
    void ingestFrame(std::string_view line);
    void applyMonitorFrames(const std::vector<MonitorFrame>& frames);
    void appendTerminalEntries(std::vector<TerminalEntry> entries, bool cut);

    // Setters of the state that only the model's own operations change.
    void setPhase(Phase phase);
    void setInitSteps(std::vector<InitStep> steps);
    void setSupportedPIDs(std::set<std::uint8_t> pids);
    void setVin(std::optional<std::string> vin);
    void setDtcs(std::vector<DTC> dtcs);
    void setDtcsUnread();
    void setMonitorStatus(std::optional<MonitorStatus> status);
    void setEcus(std::vector<DiscoveredECU> ecus);
    void setUdsDTCs(UDSCodes codes);
    void setPastSessions(std::vector<SessionRecord> sessions);
    void setProfileMatchedFromVIN(bool matched);
    void setReadFuelType(std::optional<FuelType> fuel);
    void setProfileFuelMismatch(bool mismatch);
    void setIdentifiedEngine(std::optional<EngineIdentifier> engine);
    void setRecognisedMake(std::optional<WMIRegistry::Make> make);
    void setDiagnostics(std::vector<std::string> lines);
    void setSweepAttempts(std::vector<ProtocolSweep::Attempt> attempts);
    void setLastSweep(std::optional<ProtocolSweep::Outcome> outcome);
    void setBusTraffic(std::vector<std::string> lines);
    void setLogPhase(LogPhase phase);
    void setLastSavedLog(std::optional<EventRecorder::SavedLog> log);
    void setCaptureSummaries(std::vector<EventRecorder::ChannelSummary> summaries);
    void setCaptureStatus(std::optional<EventRecorder::Status> status);
    void setCaptureOldestEvent(std::optional<Date> date);
    void setTerminalLog(std::vector<TerminalEntry> entries);
    void setExpertAccepted(bool accepted);
    void setRecipes(std::vector<CodingRecipe> recipes);
    void setFeasibilities(std::map<std::string, Feasibility> feasibilities);
    void setBackupList(std::vector<ECUBackup> backups);
    void setAuditEntries(std::vector<AuditEntry> entries);
    void setBackupProgress(std::optional<BackupProgress> progress);
    void setLastExecutionMessage(std::optional<std::string> message);
    void setLoadedProviders(std::vector<std::string> identifiers);
    void setDiscoveredDIDs(std::vector<DiscoveredDID> dids);
    void setDidScanning(bool scanning);
    void setDidWatching(bool watching);
    void setDidScanProgress(std::optional<DIDScanProgress> progress);
    void setDidScanShortfall(std::optional<DIDScanShortfall> shortfall);
    void setSnifferRows(CANFrameTable rows);
    void setSniffing(bool sniffing);
    void setSnifferRecording(bool recording);
    void setRecordedFrames(std::vector<RecordedFrame> frames);

    // The fuel type that counts as read: a car answering "not available" declared none.
    std::optional<FuelType> declaredFuel() const;

    const Environment environment_;

    Phase phase_;
    std::vector<InitStep> initSteps_;
    std::set<std::uint8_t> supportedPIDs_;
    std::optional<std::string> vin_;
    std::optional<std::vector<DTC>> dtcs_ = std::vector<DTC>{}; // nothing: unread
    std::optional<MonitorStatus> monitorStatus_;
    std::vector<DiscoveredECU> ecus_;
    UDSCodes udsDTCs_;
    bool nightMode_ = false;
    bool sidebarHidden_ = false;
    bool focusMode_ = false;
    CockpitLayout activeLayout_ = CockpitLayout::road;
    UnitSystem unitSystem_ = UnitSystem::metric;
    GearEstimator gearEstimator_;
    const std::unique_ptr<SessionCatalog> sessionCatalog_;
    std::vector<SessionRecord> pastSessions_;
    std::optional<SessionRecord> currentSession_;
    std::optional<SessionRecord> lostDrive_; // the drive the lost link ended, until disconnection
    std::unordered_set<SessionRecord> exportingDrives_;
    std::vector<SessionRecord> pendingSessions_; // whole, as the store has still to take them
    QTimer* pendingSessionsTimer_ = nullptr;     // running while any record is pending
    const std::vector<VehicleProfile> profiles_;
    std::optional<VehicleProfile> selectedProfile_;
    bool profileMatchedFromVIN_ = false;
    std::optional<FuelType> readFuelType_;
    bool profileFuelMismatch_ = false;
    std::optional<EngineIdentifier> identifiedEngine_;
    SubtitleExporter::Options subtitleOptions_ = SubtitleExporter::Options::defaultOptions();
    VehicleCalibration calibration_ = VehicleCalibration::none;
    std::optional<WMIRegistry::Make> recognisedMake_;
    TransportKind transportKind_ = TransportKind::simulator;
    std::string wifiHost_;
    std::string wifiPort_ = "35000";
    std::vector<std::string> diagnostics_;
    std::vector<ProtocolSweep::Attempt> sweepAttempts_;
    std::optional<ProtocolSweep::Outcome> lastSweep_;
    std::vector<std::string> busTraffic_;
    TelemetryStore* const store_; // child of the model
    std::shared_ptr<OBDTransport> transport_;
    std::shared_ptr<ELM327Session> session_;
    std::shared_ptr<TelemetryEngine> engine_;
    Workers::Handle engineTask_;
    LogPhase logPhase_;
    std::optional<EventRecorder::SavedLog> lastSavedLog_;
    std::shared_ptr<EventRecorder> recorder_;
    std::vector<EventRecorder::ChannelSummary> captureSummaries_;
    std::optional<EventRecorder::Status> captureStatus_;
    std::optional<Date> captureOldestEvent_;
    std::set<std::uint8_t> excludedChannels_;
    QTimer* captureRefreshTask_ = nullptr; // kept from beginCaptureRefresh to endCaptureRefresh
    LocationProvider* const location_; // child of the model
    bool recordLocation_ = true;
    QTimer* locationTask_ = nullptr; // running while the relay runs
    bool writeEnabled_ = false;
    std::vector<TerminalEntry> terminalLog_;
    bool expertAccepted_ = false;
    std::vector<CodingRecipe> recipes_;
    std::map<std::string, Feasibility> feasibilities_;
    std::vector<ECUBackup> backupList_;
    std::vector<AuditEntry> auditEntries_;
    std::optional<BackupProgress> backupProgress_;
    std::optional<std::string> lastExecutionMessage_;
    const std::shared_ptr<SecurityAccessRegistry> securityRegistry_;
    const std::shared_ptr<ECUBackupStore> backupStore_;
    const std::shared_ptr<AuditLog> auditLog_;
    std::shared_ptr<CodingEngine> codingEngine_;
    std::vector<std::string> loadedProviders_;
    std::vector<DiscoveredDID> discoveredDIDs_;
    bool didScanning_ = false;
    bool didWatching_ = false;
    std::optional<DIDScanProgress> didScanProgress_;
    std::optional<DIDScanShortfall> didScanShortfall_;
    std::string didScanECU_ = "7E0";
    std::shared_ptr<DIDScannerOverSession> didScanner_;
    // The connection the identifier list belongs to, the last one gone live, and the VIN it read.
    struct DIDListOwner {
        std::uint64_t connection = 0;
        std::optional<std::string> vin;
    };
    DIDListOwner didListOwner_;
    Workers::Handle didTask_;
    CANFrameTable snifferRows_;
    bool sniffing_ = false;
    Workers::Handle snifferTask_;
    bool snifferRecording_ = false;
    std::optional<Date> recordStart_;
    std::vector<RecordedFrame> recordedFrames_;
    LinkNotice linkNotice_ = LinkNotice::none;
    QTimer* linkWatch_ = nullptr; // running while live
    std::optional<ValueSilence> valueSilence_;

    // Connection bookkeeping. Every connect() and disconnect() moves the generation, so that a
    // worker's result of an older connection is dropped when it reaches the GUI thread; the stop
    // source ends that connection's sequence, polling and sink waits together.
    std::uint64_t connectionGeneration_ = 0;
    std::stop_source connectionStop_{std::nostopstate};
    std::shared_ptr<CommandQueue> recorderCommands_; // the current recorder's
    std::optional<Date> lastRelayedFix_;
    bool captureRefreshPending_ = false;
    DismissingDialogs dismissingDialogs_;

    // Tools' bookkeeping. A run number moves at each start and stop of its tool (and at
    // disconnect() for the monitor): a worker's result of a run no longer current is dropped.
    std::shared_ptr<PollingPause> pollingPause_; // of the current polling engine
    const std::shared_ptr<LiveGuardValues> liveGuardValues_ = std::make_shared<LiveGuardValues>();
    std::uint64_t didScanRun_ = 0;
    std::uint64_t didWatchRun_ = 0;
    std::stop_source didStop_; // stops every scan and watch started since the last stop
    std::uint64_t monitorRun_ = 0;
    std::shared_ptr<MonitorTurn> monitorTurn_;
    std::shared_ptr<CommandQueue> terminalQueue_; // its consumer starts with the first command
    std::shared_ptr<TerminalOverSession> terminal_; // made anew for each session
    // Last: its threads are stopped and joined before any other member goes.
    Workers workers_;
};

} // namespace veq
