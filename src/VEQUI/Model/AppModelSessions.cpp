// The session catalogue as the model keeps it: the list of past drives, the current drive's
// record, and the records the store has still to take.
#include "VEQUI/Model/AppModel.hpp"

#include "VEQUI/Model/DriveFigures.hpp"

#include <QMetaObject>

#include <algorithm>

namespace veq {

namespace {

constexpr std::chrono::seconds pendingSaveInterval{5};

} // namespace

void AppModel::refreshSessions() { setPastSessions(sessionCatalog_->allSessions()); }

void AppModel::syncCurrentSession() {
    if (!currentSession_) return;
    const std::optional<TelemetryStore::ClosedFile> closed = store_->stopRecording();
    SessionCatalog::Update changes;
    if (closed && closed->failed) {
        // Records were lost: the trip counted readings the file does not hold.
        changes = DriveFigures::fromFile(currentSession_->startDate, sessionCatalog_->contents(*currentSession_));
        changes.zeroToHundredSec = store_->writtenZeroToHundredSec();
    } else {
        const TripStats& trip = store_->trip();
        changes.endDate = std::chrono::system_clock::now();
        changes.sampleCount = static_cast<std::int64_t>(closed ? closed->records : 0);
        changes.distanceKm = trip.distanceKm;
        changes.maxSpeedKmh = trip.maxSpeedKmh;
        changes.fuelLiters = trip.fuelLiters;
        changes.zeroToHundredSec = trip.zeroToHundredSec;
    }
    changes.dtcCount = static_cast<std::int64_t>(dtcs().size());
    saveSession(*currentSession_, changes);
    refreshSessions();
}

// The file gives back a crashed drive's end, records, distance and fuel, but not what was read
// beside it: the codes reach the record as soon as they are known, the 0-100 once the file holds
// its run (a crash must not leave a time beside a top speed below 100). No end date, so that the
// completion at the next start still ends the drive from its file.
void AppModel::recordDriveFigures() {
    if (!currentSession_) return;
    SessionCatalog::Update changes;
    if (const auto codes = static_cast<std::int64_t>(dtcs().size()); codes != currentSession_->dtcCount) {
        changes.dtcCount = codes;
    }
    if (const auto& best = store_->writtenZeroToHundredSec(); best && best != currentSession_->zeroToHundredSec) {
        changes.zeroToHundredSec = best;
    }
    if (!changes.dtcCount && !changes.zeroToHundredSec) return;
    saveSession(*currentSession_, changes);
    refreshSessions();
}

SessionRecord AppModel::createSessionRecord(const std::filesystem::path& file, std::optional<Date> start) {
    savePendingSessions();
    std::optional<std::string> profileID;
    std::optional<std::string> profileName;
    if (selectedProfile_) {
        profileID = selectedProfile_->id;
        profileName = selectedProfile_->displayName();
    }
    SessionRecord record = sessionCatalog_->createSession(file.filename().string(), vin_, profileID, profileName, start);
    if (record.storeID == 0) keepPending(record);
    return record;
}

void AppModel::saveSession(SessionRecord& record, const SessionCatalog::Update& changes) {
    const auto pending = std::ranges::find(pendingSessions_, record.identifier, &SessionRecord::identifier);
    const bool wasPending = pending != pendingSessions_.end();
    if (wasPending) {
        // The store lacks earlier figures of this record as well: it goes whole, with the others.
        changes.applyTo(record);
        *pending = record;
    }
    savePendingSessions();
    if (!wasPending && !sessionCatalog_->update(record, changes)) keepPending(record);
}

void AppModel::keepPending(const SessionRecord& record) {
    const auto pending = std::ranges::find(pendingSessions_, record.identifier, &SessionRecord::identifier);
    if (pending != pendingSessions_.end()) {
        *pending = record;
    } else {
        pendingSessions_.push_back(record);
    }
    if (!pendingSessionsTimer_->isActive()) pendingSessionsTimer_->start(pendingSaveInterval);
}

void AppModel::savePendingSessions() {
    if (pendingSessions_.empty()) return;
    std::erase_if(pendingSessions_, [this](SessionRecord& record) {
        if (!sessionCatalog_->save(record)) return false;
        // A record inserted only now takes its identity in the model's hands too.
        for (auto* held : {&currentSession_, &lostDrive_}) {
            if (*held && (*held)->identifier == record.identifier) (*held)->storeID = record.storeID;
        }
        return true;
    });
    if (pendingSessions_.empty()) pendingSessionsTimer_->stop();
}

void AppModel::deleteSession(const SessionRecord& record) {
    // Removing the live drive's file would lose the drive while the store still writes to it.
    if (isCurrentSession(record) || isExporting(record)) return;
    savePendingSessions();
    // A record deleted is no longer to be saved.
    std::erase(pendingSessions_, record);
    sessionCatalog_->remove(record);
    refreshSessions();
}

bool AppModel::isCurrentSession(const SessionRecord& record) const {
    return currentSession_.has_value() && *currentSession_ == record;
}

void AppModel::setExporting(const SessionRecord& record, bool exporting) {
    const bool changed = exporting ? exportingDrives_.insert(record).second : exportingDrives_.erase(record) > 0;
    if (changed) Q_EMIT exportingDrivesChanged();
}

void AppModel::runInBackground(BackgroundWork work) {
    workers_.start([this, work = std::move(work)](std::stop_token stop) {
        std::function<void()> done = work(stop);
        if (!done || stop.stop_requested()) return;
        // The model outlives its workers (it joins them when it goes), so it can carry the result.
        QMetaObject::invokeMethod(this, std::move(done), Qt::QueuedConnection);
    });
}

} // namespace veq
