// The session catalogue as the model keeps it: the list of past drives and the current drive's record.
#include "VEQUI/Model/AppModel.hpp"

#include <QMetaObject>

namespace veq {

void AppModel::refreshSessions() { setPastSessions(sessionCatalog_->allSessions()); }

void AppModel::syncCurrentSession() {
    if (!currentSession_) return;
    const TripStats& trip = store_->trip();
    SessionCatalog::Update changes;
    changes.endDate = std::chrono::system_clock::now();
    changes.sampleCount = static_cast<std::int64_t>(store_->recordedSampleCount());
    changes.distanceKm = trip.distanceKm;
    changes.maxSpeedKmh = trip.maxSpeedKmh;
    changes.fuelLiters = trip.fuelLiters;
    changes.dtcCount = static_cast<std::int64_t>(dtcs_.size());
    changes.zeroToHundredSec = trip.zeroToHundredSec;
    sessionCatalog_->update(*currentSession_, changes);
    refreshSessions();
}

// The file gives back a crashed drive's end, records, distance and fuel, but not what was read
// beside it: the codes reach the record as soon as they are known, the 0-100 once the file holds
// its run (a crash must not leave a time beside a top speed below 100). No end date, so that the
// completion at the next start still ends the drive from its file.
void AppModel::recordDriveFigures() {
    if (!currentSession_) return;
    SessionCatalog::Update changes;
    if (const auto codes = static_cast<std::int64_t>(dtcs_.size()); codes != currentSession_->dtcCount) {
        changes.dtcCount = codes;
    }
    if (const auto& best = store_->writtenZeroToHundredSec(); best && best != currentSession_->zeroToHundredSec) {
        changes.zeroToHundredSec = best;
    }
    if (!changes.dtcCount && !changes.zeroToHundredSec) return;
    sessionCatalog_->update(*currentSession_, changes);
    refreshSessions();
}

void AppModel::deleteSession(const SessionRecord& record) {
    // Removing the live drive's file would lose the drive while the store still writes to it.
    if (isCurrentSession(record) || isExporting(record)) return;
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
