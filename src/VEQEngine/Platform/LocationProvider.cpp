#include "VEQEngine/Platform/LocationProvider.hpp"

#include <cmath>

#include <QDateTime>
#include <QGeoCoordinate>

namespace veq {

namespace {

using Authorization = LocationProvider::Authorization;

// A position the source could not vouch for is not a fix.
std::optional<LocationProvider::Fix> fixFrom(const QGeoPositionInfo& info) {
    const QGeoCoordinate coordinate = info.coordinate();
    if (!info.isValid() || !coordinate.isValid()) return std::nullopt;

    LocationProvider::Fix fix{};
    const QDateTime time = info.timestamp();
    fix.timestamp = time.isValid() ? std::chrono::system_clock::time_point(
                                         std::chrono::milliseconds(time.toMSecsSinceEpoch()))
                                   : std::chrono::system_clock::now();
    fix.latitude = coordinate.latitude();
    fix.longitude = coordinate.longitude();
    // A two-dimensional fix has no altitude; it is recorded as 0 m so that recordings and exports
    // never carry a not-a-number.
    fix.altitude = std::isfinite(coordinate.altitude()) ? coordinate.altitude() : 0.0;

    if (info.hasAttribute(QGeoPositionInfo::GroundSpeed)) {
        const double metresPerSecond = info.attribute(QGeoPositionInfo::GroundSpeed);
        if (metresPerSecond >= 0) fix.speedKmh = metresPerSecond * 3.6;
    }
    if (info.hasAttribute(QGeoPositionInfo::Direction)) {
        const double course = info.attribute(QGeoPositionInfo::Direction);
        if (course >= 0) fix.course = course;
    }
    // Qt marks a missing accuracy either by leaving the attribute out or by a not-a-number.
    fix.horizontalAccuracy = -1;
    if (info.hasAttribute(QGeoPositionInfo::HorizontalAccuracy)) {
        const double accuracy = info.attribute(QGeoPositionInfo::HorizontalAccuracy);
        if (std::isfinite(accuracy)) fix.horizontalAccuracy = accuracy;
    }
    return fix;
}

} // namespace

LocationProvider::Quality LocationProvider::qualityFrom(double accuracy) {
    if (accuracy <= 0) return Quality::network;
    if (accuracy <= 10) return Quality::gnss;
    if (accuracy <= 100) return Quality::coarse;
    return Quality::network;
}

LocationProvider::LocationProvider(QObject* parent)
    : LocationProvider(QGeoPositionInfoSource::createDefaultSource(nullptr), parent) {}

LocationProvider::LocationProvider(QGeoPositionInfoSource* source, QObject* parent)
    : QObject(parent), source_(source) {
    if (!source_) return;
    source_->setParent(this);
    // Every update, as precise as the source can give.
    source_->setPreferredPositioningMethods(QGeoPositionInfoSource::AllPositioningMethods);
    source_->setUpdateInterval(0);
    // Queued, so that state changes happen as tasks of this object's thread and never inside a
    // call into the source.
    connect(source_, &QGeoPositionInfoSource::positionUpdated, this,
            [this](const QGeoPositionInfo& info) { didUpdateLocations({info}); }, Qt::QueuedConnection);
    connect(source_, &QGeoPositionInfoSource::errorOccurred, this,
            [this](QGeoPositionInfoSource::Error error) { didFailWithError(error); }, Qt::QueuedConnection);
}

std::optional<LocationProvider::Quality> LocationProvider::quality() const {
    if (!latest_) return std::nullopt;
    return qualityFrom(latest_->horizontalAccuracy);
}

void LocationProvider::start() {
    startInEffect_ = true;
    // No source, or one that offers no positioning method (location switched off system-wide, no
    // location service running): there is nothing to ask.
    if (!source_ || source_->supportedPositioningMethods() == QGeoPositionInfoSource::NoPositioningMethods) {
        setAuthorization(Authorization::unavailable);
        return;
    }
    // Qt has no permission status to read beforehand: starting the updates is the request, and a
    // refusal comes back as an access error.
    beginUpdates();
}

void LocationProvider::stop() {
    startInEffect_ = false;
    if (source_ && isTracking_) source_->stopUpdates();
    setTracking(false);
}

void LocationProvider::didUpdateLocations(const QList<QGeoPositionInfo>& locations) {
    if (locations.isEmpty()) return;
    const std::optional<Fix> fix = fixFrom(locations.last());
    if (!fix) return;
    // A fix proves that access was granted.
    if (authorization_ != Authorization::authorized) didChangeAuthorization(Authorization::authorized);
    // Applied even after stop(): a late update still counts.
    latest_ = fix;
    emit latestChanged();
    ++fixCount_;
    emit fixCountChanged();
}

void LocationProvider::didChangeAuthorization(Authorization status) {
    setAuthorization(status);
    // Granting access resumes tracking, but only while start() is in effect: never after stop().
    if (authorization_ == Authorization::authorized && !isTracking_ && startInEffect_ && source_) beginUpdates();
}

void LocationProvider::didFailWithError(QGeoPositionInfoSource::Error error) {
    // Other failures (a closed source, a time-out) are passing: tracking stays as it is.
    if (error != QGeoPositionInfoSource::AccessError || !isTracking_) return;
    // The source stays stopped after a refusal, so that a later start() really asks again.
    source_->stopUpdates();
    setTracking(false);
    didChangeAuthorization(Authorization::denied);
}

void LocationProvider::beginUpdates() {
    if (isTracking_) return;
    setTracking(true);
    source_->startUpdates();
}

void LocationProvider::setAuthorization(Authorization value) {
    if (authorization_ == value) return;
    authorization_ = value;
    emit authorizationChanged();
}

void LocationProvider::setTracking(bool value) {
    if (isTracking_ == value) return;
    isTracking_ = value;
    emit isTrackingChanged();
}

std::string_view label(LocationProvider::Quality quality) {
    switch (quality) {
    case LocationProvider::Quality::gnss: return "GPS";
    case LocationProvider::Quality::coarse: return "Position approchée";
    case LocationProvider::Quality::network: return "Position réseau (imprécise)";
    }
    return {};
}

std::string_view label(LocationProvider::Authorization authorization) {
    switch (authorization) {
    case Authorization::notDetermined: return "Autorisation non demandée";
    case Authorization::denied: return "Accès à la position refusé";
    case Authorization::restricted: return "Accès à la position restreint";
    case Authorization::authorized: return "Position autorisée";
    case Authorization::unavailable: return "Service de localisation désactivé";
    }
    return {};
}

bool isTrackworthy(LocationProvider::Quality quality) { return quality != LocationProvider::Quality::network; }

} // namespace veq
