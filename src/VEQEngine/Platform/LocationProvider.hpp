#pragma once

#include "VEQSupport/Enum.hpp"

#include <array>
#include <chrono>
#include <optional>
#include <string_view>

#include <QGeoPositionInfo>
#include <QGeoPositionInfoSource>
#include <QList>
#include <QObject>

namespace veq {

// Publishes the computer's position for the GPS channels: the latest fix, the authorisation state,
// whether updates run and how many fixes arrived. Stands on a Qt position source; lives on the
// thread that created it (the GUI thread) and is used from there only.
class LocationProvider : public QObject {
    Q_OBJECT

public:
    struct Fix {
        std::chrono::system_clock::time_point timestamp;
        double latitude;                // degrees
        double longitude;               // degrees
        double altitude;                // metres
        std::optional<double> speedKmh; // none when the source gives no valid speed
        std::optional<double> course;   // degrees over ground; none when invalid
        double horizontalAccuracy;      // metres; -1 when the source gives none

        bool operator==(const Fix&) const = default;
    };

    enum class Quality { gnss, coarse, network };
    enum class Authorization { notDetermined, denied, restricted, authorized, unavailable };

    // A computer without a satellite receiver gets its position from Wi-Fi networks, too coarse to
    // trace a drive; the class says how far a fix can be trusted. An accuracy of 0 or less means
    // the source gave none.
    static Quality qualityFrom(double accuracy);

    // On the platform's default source; with none at all, start() reports `unavailable`.
    explicit LocationProvider(QObject* parent = nullptr);
    // On a given source (may be null), which the provider takes over.
    explicit LocationProvider(QGeoPositionInfoSource* source, QObject* parent = nullptr);

    const std::optional<Fix>& latest() const { return latest_; }
    Authorization authorization() const { return authorization_; }
    bool isTracking() const { return isTracking_; }
    long long fixCount() const { return fixCount_; }
    std::optional<Quality> quality() const;

    // Starts location updates; Qt asks for permission (through the system's location agent) as
    // they start. Stays in effect until stop(): a later grant of access resumes tracking.
    void start();
    // Stops location updates; keeps the latest fix and the count.
    void stop();

    // What the source reports, as delegate operations. Qt delivers one position per signal; a
    // batch keeps only its most recent location.
    void didUpdateLocations(const QList<QGeoPositionInfo>& locations);
    void didChangeAuthorization(Authorization status);
    void didFailWithError(QGeoPositionInfoSource::Error error);

Q_SIGNALS:
    void latestChanged();
    void authorizationChanged();
    void isTrackingChanged();
    void fixCountChanged();

private:
    void beginUpdates();
    void setAuthorization(Authorization value);
    void setTracking(bool value);

    QGeoPositionInfoSource* source_; // owned through the QObject tree; null when there is none
    std::optional<Fix> latest_;
    Authorization authorization_ = Authorization::notDetermined;
    bool isTracking_ = false;
    long long fixCount_ = 0;
    bool startInEffect_ = false; // between start() and stop()
};

template <>
struct EnumTraits<LocationProvider::Quality> {
    using Raw = std::string_view;
    static constexpr std::array allCases{LocationProvider::Quality::gnss, LocationProvider::Quality::coarse,
                                         LocationProvider::Quality::network};
    static constexpr Raw raw(LocationProvider::Quality q) {
        switch (q) {
        case LocationProvider::Quality::gnss: return "gnss";
        case LocationProvider::Quality::coarse: return "coarse";
        case LocationProvider::Quality::network: return "network";
        }
        return {};
    }
};

template <>
struct EnumTraits<LocationProvider::Authorization> {
    using Raw = std::string_view;
    static constexpr std::array allCases{
        LocationProvider::Authorization::notDetermined, LocationProvider::Authorization::denied,
        LocationProvider::Authorization::restricted,    LocationProvider::Authorization::authorized,
        LocationProvider::Authorization::unavailable,
    };
    static constexpr Raw raw(LocationProvider::Authorization a) {
        switch (a) {
        case LocationProvider::Authorization::notDetermined: return "notDetermined";
        case LocationProvider::Authorization::denied: return "denied";
        case LocationProvider::Authorization::restricted: return "restricted";
        case LocationProvider::Authorization::authorized: return "authorized";
        case LocationProvider::Authorization::unavailable: return "unavailable";
        }
        return {};
    }
};

// French texts shown by the screens.
std::string_view label(LocationProvider::Quality quality);
std::string_view label(LocationProvider::Authorization authorization);
// Precise enough to trace a drive.
bool isTrackworthy(LocationProvider::Quality quality);

} // namespace veq
