// The session catalogue as the model keeps it: the list of past drives and the current drive's record.
#include "VEQUI/Model/AppModel.hpp"

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

void AppModel::deleteSession(const SessionRecord& record) {
    sessionCatalog_->remove(record);
    refreshSessions();
}

} // namespace veq
