// The data-identifier scan and watch: the user sweeps a range of identifiers on one ECU and
// watches those found. The scanner does the UDS work on a worker thread; the model pauses polling
// while it runs, resumes it once it has returned, and turns its callbacks into the list.
//
// Every task shares ownership of the scanner and of the session under it, and stops with the
// connection it works for as well as with the user's stop. The scan and the watch share one
// scanner and one stop, as stopping the scanner ends both.
#include "VEQUI/Model/AppModel.hpp"

#include "VEQUI/Model/Observable.hpp"
#include "VEQUI/Model/StopEither.hpp"

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

void AppModel::setDidScanInterrupted(bool interrupted) {
    assignObservable(this, didScanInterrupted_, interrupted, &AppModel::didScanInterruptedChanged);
}

void AppModel::startDIDScan(const DIDRange& range) {
    if (phase_.kind != Phase::Kind::live || !session_ || didScanning_) return;
    auto scanner = scannerForSession();
    setDidScanInterrupted(false);
    setDidScanning(true);
    setDidScanProgress(DIDScanProgress{0, range.count(), range.start});

    const std::uint64_t run = ++didScanRun_;
    didTask_ = workers_.start(
        [this, scanner, pause = pollingPause_, ecu = didScanECU_, range, run,
         connection = connectionStop_.get_token()](std::stop_token stop) {
            const StopEither either(stop, connection);
            const auto onFound = [this](const DiscoveredDID& found) {
                QMetaObject::invokeMethod(this, [this, found] { mergeDID(found); }, Qt::QueuedConnection);
            };
            const auto onProgress = [this, run](std::int32_t done, std::int32_t total, std::uint16_t current) {
                QMetaObject::invokeMethod(
                    this,
                    [this, run, done, total, current] {
                        if (didScanRun_ == run) setDidScanProgress(DIDScanProgress{done, total, current});
                    },
                    Qt::QueuedConnection);
            };
            DIDScanner::ScanEnd end = DIDScanner::ScanEnd::stopped;
            {
                PollingPause::Lease lease = PollingPause::hold(pause);
                end = scanner->scanner.scan(ecu, range, onFound, onProgress, either.token());
            } // polling resumes here, once the scan has returned
            QMetaObject::invokeMethod(
                this,
                [this, run, end, connection] {
                    if (didScanRun_ != run) return; // stopped meanwhile, or a newer scan runs
                    setDidScanning(false);
                    setDidScanProgress(std::nullopt);
                    // After a disconnection the result belongs to no connection shown any more.
                    if (!connection.stop_requested()) setDidScanInterrupted(end == DIDScanner::ScanEnd::adapterSilent);
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
    setDidScanInterrupted(false);
}

void AppModel::toggleDIDWatch() {
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
    didTask_ = workers_.start(
        [this, scanner, pause = pollingPause_, ecu, watched, connection = connectionStop_.get_token()](std::stop_token stop) {
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
            PollingPause::Lease lease = PollingPause::hold(pause);
            scanner->scanner.watch(ecu, watched, onUpdate, either.token());
            // The lease ends here: polling resumes once the watch has returned.
        },
        didStop_);
}

void AppModel::stopScannerAtDisconnect() {
    didStop_.request_stop();
    didStop_ = std::stop_source();
    if (didScanner_) didScanner_->scanner.stop();
    didScanner_.reset();
    setDidScanInterrupted(false);
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
