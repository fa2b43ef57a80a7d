// The data-identifier scan and watch: the user sweeps a range of identifiers on one ECU and
// watches those found. The scanner does the UDS work on a worker thread; the model pauses polling
// while it runs, resumes it once it has returned, and turns its callbacks into the list.
//
// Every task shares ownership of the scanner and of the session under it, and stops with the
// connection it works for as well as with the user's stop. The scan and the watch share one
// scanner and one stop, as stopping the scanner ends both.
//
// The list belongs to the car it was read from: a disconnection keeps it, and the next
// connection to go live keeps it only when it reads the same VIN.
#include "VEQUI/Model/AppModel.hpp"

#include "VEQUI/Model/Observable.hpp"
#include "VEQUI/Model/StopEither.hpp"
#include "VEQSupport/Text.hpp"

#include <QMetaObject>

#include <algorithm>

namespace veq {

struct AppModel::DIDScannerOverSession {
    const std::shared_ptr<ELM327Session> session;
    DIDScanner scanner;

    DIDScannerOverSession(std::shared_ptr<ELM327Session> s, std::chrono::nanoseconds adapterSilence)
        : session(std::move(s)), scanner(*session, DIDScanner::Timing{.adapterSilence = adapterSilence}) {}
};

std::shared_ptr<AppModel::DIDScannerOverSession> AppModel::scannerForSession() {
    // A scanner made over an earlier connection would read through a closed session.
    if (!didScanner_ || didScanner_->session != session_)
        didScanner_ = std::make_shared<DIDScannerOverSession>(session_, environment_.connectionTiming.adapterSilence);
    return didScanner_;
}

void AppModel::setDidScanShortfall(std::optional<DIDScanShortfall> shortfall) {
    assignObservable(this, didScanShortfall_, shortfall, &AppModel::didScanShortfallChanged);
}

namespace {

// What a scan's end says of its result; nothing for a whole result, or for a scan the user stopped.
std::optional<AppModel::DIDScanShortfall> shortfallOf(const DIDScanner::ScanOutcome& outcome) {
    using Kind = AppModel::DIDScanShortfall::Kind;
    switch (outcome.end) {
    case DIDScanner::ScanEnd::complete:
    case DIDScanner::ScanEnd::stopped: return std::nullopt;
    case DIDScanner::ScanEnd::incomplete: return AppModel::DIDScanShortfall{Kind::unanswered, outcome.unanswered};
    case DIDScanner::ScanEnd::adapterSilent: return AppModel::DIDScanShortfall{Kind::adapterSilent, outcome.unanswered};
    case DIDScanner::ScanEnd::linkLost: return AppModel::DIDScanShortfall{Kind::linkLost, outcome.unanswered};
    }
    return std::nullopt;
}

// The ECU map's unit at `txHeader`, known by its response header among the other units': its
// reads take its own answers alone. Nothing for a header the map does not hold.
std::optional<ECUResponder> responderOf(const std::vector<DiscoveredECU>& ecus, const std::string& txHeader) {
    const auto unit = std::find_if(ecus.begin(), ecus.end(), [&](const DiscoveredECU& ecu) {
        return text::compactUpper(ecu.txHeader) == text::compactUpper(txHeader);
    });
    if (unit == ecus.end()) return std::nullopt;
    std::vector<std::string> others;
    for (auto ecu = ecus.begin(); ecu != ecus.end(); ++ecu) {
        if (ecu != unit) others.push_back(ecu->rxHeader);
    }
    return ECUResponder(unit->rxHeader, others);
}

} // namespace

void AppModel::startDIDScan(const DIDRange& range) {
    if (phase_.kind != Phase::Kind::live || !session_ || didScanning_) return;
    auto scanner = scannerForSession();
    setDidScanShortfall(std::nullopt);
    setDidScanning(true);
    setDidScanProgress(DIDScanProgress{0, range.count(), range.start});

    const std::uint64_t run = ++didScanRun_;
    didTask_ = workers_.start(
        [this, scanner, pause = pollingPause_, ecu = didScanECU_, responder = responderOf(ecus_, didScanECU_),
         range, run, onFound = didFoundHandler(), connection = connectionStop_.get_token()](std::stop_token stop) {
            const StopEither either(stop, connection);
            const auto onProgress = [this, run](std::int32_t done, std::int32_t total, std::uint16_t current) {
                QMetaObject::invokeMethod(
                    this,
                    [this, run, done, total, current] {
                        if (didScanRun_ == run) setDidScanProgress(DIDScanProgress{done, total, current});
                    },
                    Qt::QueuedConnection);
            };
            DIDScanner::ScanOutcome outcome;
            {
                PollingPause::Lease lease = PollingPause::hold(pause);
                outcome = scanner->scanner.scan(ecu, range, onFound, onProgress, either.token(), responder);
            } // polling resumes here, once the scan has returned
            QMetaObject::invokeMethod(
                this,
                [this, run, outcome, connection] {
                    if (didScanRun_ != run) return; // stopped meanwhile, or a newer scan runs
                    setDidScanning(false);
                    setDidScanProgress(std::nullopt);
                    // After a disconnection the result belongs to no connection shown any more.
                    if (!connection.stop_requested()) setDidScanShortfall(shortfallOf(outcome));
                },
                Qt::QueuedConnection);
        },
        didStop_);
}

void AppModel::stopDIDScan() {
    // The scan and a watch share the scanner: both end.
    didStop_.request_stop();
    didStop_ = std::stop_source();
    if (didScanner_) didScanner_->scanner.stop();
    ++didScanRun_;
    setDidScanning(false);
    setDidScanProgress(std::nullopt);
    setDidScanShortfall(std::nullopt);
}

void AppModel::toggleDIDWatch() {
    ++didWatchRun_;
    if (didWatching_) {
        setDidWatching(false);
        didStop_.request_stop();
        didStop_ = std::stop_source();
        if (didScanner_) didScanner_->scanner.stop();
        return;
    }
    if (phase_.kind != Phase::Kind::live || !session_ || discoveredDIDs_.empty()) return;
    auto scanner = scannerForSession();
    setDidWatching(true);

    const std::string ecu = didScanECU_;
    std::vector<std::uint16_t> watched;
    for (const DiscoveredDID& entry : discoveredDIDs_) {
        if (entry.ecu == ecu) watched.push_back(entry.did);
    }
    const std::uint64_t run = didWatchRun_;
    didTask_ = workers_.start(
        [this, scanner, pause = pollingPause_, ecu, watched, run, responder = responderOf(ecus_, ecu),
         connection = connectionStop_.get_token()](std::stop_token stop) {
            const StopEither either(stop, connection);
            // Readings still on their way when the watch is stopped (by the user, a scan's stop or
            // the disconnection) are dropped: the list changes no more once it has ended.
            const auto onUpdate = [this, ecu, stop](std::uint16_t did, const std::vector<std::uint8_t>& bytes) {
                QMetaObject::invokeMethod(
                    this,
                    [this, did, ecu, bytes, stop] {
                        if (!stop.stop_requested()) updateWatched(did, ecu, bytes);
                    },
                    Qt::QueuedConnection);
            };
            DIDScanner::WatchEnd end = DIDScanner::WatchEnd::stopped;
            {
                PollingPause::Lease lease = PollingPause::hold(pause);
                end = scanner->scanner.watch(ecu, watched, onUpdate, either.token(), responder);
            } // polling resumes here, once the watch has returned
            // Stopped (by the user, a scan's stop, the disconnection) or given nothing to read:
            // didWatching stays what the user asked for.
            if (end == DIDScanner::WatchEnd::stopped) return;
            // Ended by itself, the link lost: it shows as ended, unless the user has moved on.
            QMetaObject::invokeMethod(
                this,
                [this, run, connection] {
                    if (didWatchRun_ == run && !connection.stop_requested()) setDidWatching(false);
                },
                Qt::QueuedConnection);
        },
        didStop_);
}

void AppModel::stopScannerAtDisconnect() {
    didStop_.request_stop();
    didStop_ = std::stop_source();
    if (didScanner_) didScanner_->scanner.stop();
    didScanner_.reset();
    setDidScanShortfall(std::nullopt);
}

DIDScanner::FoundHandler AppModel::didFoundHandler() {
    return [this, connection = connectionGeneration_](const DiscoveredDID& found) {
        QMetaObject::invokeMethod(
            this,
            [this, connection, found] {
                // Read on an earlier connection than the list's: perhaps another car's.
                if (didListOwner_.connection == connection) mergeDID(found);
            },
            Qt::QueuedConnection);
    };
}

void AppModel::takeDIDListForConnection() {
    // An identifier's value is only the car's it was read from: another car, or one whose VIN
    // is unknown on either side, starts with an empty list rather than with the last car's.
    const bool sameCar = vin_.has_value() && didListOwner_.vin == vin_;
    if (!sameCar) setDiscoveredDIDs({});
    // A watch left on ended with its connection's session; nothing reads now.
    setDidWatching(false);
    didListOwner_ = {connectionGeneration_, vin_};
}

void AppModel::labelDID(std::uint16_t did, const std::string& ecu, const std::string& label) {
    const auto entry = std::find_if(discoveredDIDs_.begin(), discoveredDIDs_.end(),
                                    [&](const DiscoveredDID& d) { return d.did == did && d.ecu == ecu; });
    if (entry == discoveredDIDs_.end()) return;
    std::optional<std::string> named = label.empty() ? std::nullopt : std::optional<std::string>(label);
    if (entry->label == named) return;
    entry->label = std::move(named);
    Q_EMIT discoveredDIDsChanged();
}

void AppModel::mergeDID(DiscoveredDID found) {
    const auto entry = std::find_if(discoveredDIDs_.begin(), discoveredDIDs_.end(), [&](const DiscoveredDID& d) {
        return d.did == found.did && d.ecu == found.ecu;
    });
    if (entry != discoveredDIDs_.end()) {
        // A known identifier keeps its place, first sighting, marks, count and name.
        entry->bytes = std::move(found.bytes);
        entry->lastSeen = found.lastSeen;
    } else {
        discoveredDIDs_.push_back(std::move(found));
        // Stable: one identifier on several ECUs stays in the order it was found.
        std::stable_sort(discoveredDIDs_.begin(), discoveredDIDs_.end(),
                         [](const DiscoveredDID& a, const DiscoveredDID& b) { return a.did < b.did; });
    }
    Q_EMIT discoveredDIDsChanged();
}

void AppModel::updateWatched(std::uint16_t did, const std::string& ecu, std::vector<std::uint8_t> bytes) {
    const auto entry = std::find_if(discoveredDIDs_.begin(), discoveredDIDs_.end(),
                                    [&](const DiscoveredDID& d) { return d.did == did && d.ecu == ecu; });
    if (entry == discoveredDIDs_.end()) return;
    std::vector<bool> marks(bytes.size());
    for (std::size_t p = 0; p < bytes.size(); ++p) marks[p] = p >= entry->bytes.size() || entry->bytes[p] != bytes[p];
    entry->changed = std::move(marks);
    entry->bytes = std::move(bytes);
    entry->lastSeen = std::chrono::system_clock::now();
    ++entry->reads;
    Q_EMIT discoveredDIDsChanged();
}

} // namespace veq
