// The live connection's link as the user is told of it. A lost link is taken from the session
// (the transport said so), not from the end of polling: while the bus monitor pauses polling
// nothing is read, and the loss must still show. A link that stays up while nothing answers
// (a Wi-Fi adapter switched off sends no close; an ignition switched off answers "NO DATA")
// shows as a silence once polling has run that long without a value.
#include "VEQUI/Model/AppModel.hpp"

#include "VEQUI/Model/Observable.hpp"

#include <QTimer>

#include <utility>

namespace veq {

void AppModel::startLinkWatch() {
    valueSilence_.emplace(std::chrono::duration_cast<ValueSilence::Clock::duration>(environment_.connectionTiming.valueSilence));
    if (!linkWatch_) {
        linkWatch_ = new QTimer(this);
        QObject::connect(linkWatch_, &QTimer::timeout, this, [this] { watchLink(); });
    }
    linkWatch_->start(std::chrono::duration_cast<std::chrono::milliseconds>(environment_.connectionTiming.linkWatchPeriod));
}

void AppModel::stopLinkWatch() {
    if (linkWatch_) linkWatch_->stop();
    valueSilence_.reset();
    lostDrive_.reset();
    setLinkNotice(LinkNotice::none);
}

void AppModel::watchLink() {
    if (phase_.kind != Phase::Kind::live || linkNotice_ == LinkNotice::linkLost) return;
    if (session_ && session_->isLinkLost()) {
        endDriveAtLoss();
        return;
    }
    const bool polling = engine_ && engine_->isRunning() && !engine_->isPaused();
    const bool silent = valueSilence_ && valueSilence_->observe(ValueSilence::Clock::now(), polling, store_->lastValueAt());
    setLinkNotice(silent ? LinkNotice::noValues : LinkNotice::none);
}

void AppModel::endDriveAtLoss() {
    if (linkNotice_ == LinkNotice::linkLost) return;
    // What was measured before the loss still reaches the file and the catalogue, now and not at
    // a disconnection that may never come (the application killed, the machine put to sleep).
    // The file is closed (by the sync, or here without a record) and the record no longer current:
    // a later disconnection or the window closing must not move the drive's end to their own moment.
    store_->drainIntake();
    syncCurrentSession();
    store_->stopRecording();
    lostDrive_ = std::exchange(currentSession_, std::nullopt);
    setLinkNotice(LinkNotice::linkLost);
}

void AppModel::setLinkNotice(LinkNotice notice) {
    assignObservable(this, linkNotice_, notice, &AppModel::linkNoticeChanged);
}

bool AppModel::isDriveEndedByLoss(const SessionRecord& record) const {
    return lostDrive_.has_value() && *lostDrive_ == record;
}

} // namespace veq
