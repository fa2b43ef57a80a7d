#include "VEQEngine/Platform/LocationProvider.hpp"

#include <gtest/gtest.h>

#include <ostream>

#include <chrono>
#include <functional>
#include <optional>
#include <string_view>

#include <QCoreApplication>
#include <QDateTime>
#include <QEventLoop>
#include <QFile>
#include <QGeoCoordinate>
#include <QNmeaPositionInfoSource>
#include <QTimer>

namespace veq {
namespace {

using Quality = LocationProvider::Quality;
using Authorization = LocationProvider::Authorization;
using namespace std::chrono_literals;

// A position source the test drives by hand.
class FakeSource : public QGeoPositionInfoSource {
public:
    FakeSource() : QGeoPositionInfoSource(nullptr) {}

    PositioningMethods methods = AllPositioningMethods;
    bool refuseOnStart = false; // reports an access error from inside startUpdates()
    int starts = 0;
    int stops = 0;
    bool running = false;

    void deliver(const QGeoPositionInfo& info) { emit positionUpdated(info); }
    void fail(Error e) {
        error_ = e;
        emit errorOccurred(e);
    }

    QGeoPositionInfo lastKnownPosition(bool = false) const override { return {}; }
    PositioningMethods supportedPositioningMethods() const override { return methods; }
    int minimumUpdateInterval() const override { return 0; }
    Error error() const override { return error_; }
    void startUpdates() override {
        ++starts;
        running = true;
        error_ = NoError;
        if (refuseOnStart) fail(AccessError);
    }
    void stopUpdates() override {
        ++stops;
        running = false;
    }
    void requestUpdate(int) override {}

private:
    Error error_ = NoError;
};

// Runs the event loop until the condition holds or the time-out passes.
bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 10s) {
    if (condition()) return true;
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (condition()) loop.quit();
    });
    QTimer::singleShot(timeout, &loop, &QEventLoop::quit);
    poll.start(5);
    loop.exec();
    return condition();
}

// Delivers what the source has queued for the provider.
void settle() { QCoreApplication::processEvents(); }

QGeoPositionInfo position(double latitude, double longitude, double altitude = 412) {
    return QGeoPositionInfo(QGeoCoordinate(latitude, longitude, altitude),
                            QDateTime::fromMSecsSinceEpoch(1'718'452'800'000, Qt::UTC));
}

TEST(LocationProvider, QualityFromAccuracy) {
    struct Case {
        double accuracy;
        Quality quality;
    };
    for (const Case c : {Case{5, Quality::gnss}, Case{10, Quality::gnss}, Case{10.5, Quality::coarse},
                         Case{65, Quality::coarse}, Case{100, Quality::coarse}, Case{100.01, Quality::network},
                         Case{150, Quality::network}, Case{0, Quality::network}, Case{-1, Quality::network}}) {
        EXPECT_EQ(LocationProvider::qualityFrom(c.accuracy), c.quality) << c.accuracy;
    }
}

TEST(LocationProvider, QualityAndAuthorizationTexts) {
    struct QualityText {
        Quality quality;
        std::string_view raw;
        std::string_view label;
        bool trackworthy;
    };
    for (const QualityText q : {QualityText{Quality::gnss, "gnss", "GPS", true},
                                QualityText{Quality::coarse, "coarse", "Position approchée", true},
                                QualityText{Quality::network, "network", "Position réseau (imprécise)", false}}) {
        EXPECT_EQ(rawValue(q.quality), q.raw);
        EXPECT_EQ(fromRaw<Quality>(q.raw), q.quality);
        EXPECT_EQ(label(q.quality), q.label);
        EXPECT_EQ(isTrackworthy(q.quality), q.trackworthy);
    }
    struct AuthorizationText {
        Authorization authorization;
        std::string_view raw;
        std::string_view label;
    };
    for (const AuthorizationText a :
         {AuthorizationText{Authorization::notDetermined, "notDetermined", "Autorisation non demandée"},
          AuthorizationText{Authorization::denied, "denied", "Accès à la position refusé"},
          AuthorizationText{Authorization::restricted, "restricted", "Accès à la position restreint"},
          AuthorizationText{Authorization::authorized, "authorized", "Position autorisée"},
          AuthorizationText{Authorization::unavailable, "unavailable", "Service de localisation désactivé"}}) {
        EXPECT_EQ(rawValue(a.authorization), a.raw);
        EXPECT_EQ(fromRaw<Authorization>(a.raw), a.authorization);
        EXPECT_EQ(label(a.authorization), a.label);
    }
    EXPECT_EQ(fromRaw<Quality>("GNSS"), std::nullopt);
    EXPECT_EQ(fromRaw<Authorization>("authorised"), std::nullopt);
}

TEST(LocationProvider, WithoutAUsableSourceStartEndsUnavailable) {
    LocationProvider none(static_cast<QGeoPositionInfoSource*>(nullptr));
    int changes = 0;
    QObject::connect(&none, &LocationProvider::authorizationChanged, [&] { ++changes; });
    EXPECT_EQ(none.authorization(), Authorization::notDetermined);
    EXPECT_EQ(none.quality(), std::nullopt);
    none.start();
    settle();
    EXPECT_EQ(none.authorization(), Authorization::unavailable);
    EXPECT_FALSE(none.isTracking());
    EXPECT_EQ(changes, 1);

    // A source offering no positioning method: location switched off system-wide.
    auto* source = new FakeSource;
    source->methods = QGeoPositionInfoSource::NoPositioningMethods;
    LocationProvider off(source);
    off.start();
    // Its capability probe may report an access error; that is no refusal of a request of ours.
    source->fail(QGeoPositionInfoSource::AccessError);
    settle();
    EXPECT_EQ(off.authorization(), Authorization::unavailable);
    EXPECT_FALSE(off.isTracking());
    EXPECT_EQ(source->starts, 0);
}

TEST(LocationProvider, StartRunsUpdatesAndAFixAuthorizes) {
    auto* source = new FakeSource;
    LocationProvider provider(source);
    provider.start();
    EXPECT_TRUE(provider.isTracking());
    EXPECT_EQ(source->starts, 1);
    EXPECT_EQ(provider.authorization(), Authorization::notDetermined);

    source->deliver(position(46.5197, 6.6323));
    EXPECT_EQ(provider.fixCount(), 0); // handed over as a task of the provider's thread
    settle();
    EXPECT_EQ(provider.authorization(), Authorization::authorized);
    EXPECT_EQ(provider.fixCount(), 1);
    ASSERT_TRUE(provider.latest());
    EXPECT_EQ(provider.latest()->latitude, 46.5197);
    EXPECT_EQ(provider.latest()->timestamp,
              std::chrono::system_clock::time_point(std::chrono::milliseconds(1'718'452'800'000)));

    provider.start(); // already running: not asked twice
    EXPECT_EQ(source->starts, 1);
    // Passing failures leave tracking as it is.
    for (const auto error : {QGeoPositionInfoSource::ClosedError, QGeoPositionInfoSource::UnknownSourceError,
                             QGeoPositionInfoSource::UpdateTimeoutError}) {
        source->fail(error);
    }
    settle();
    EXPECT_EQ(provider.authorization(), Authorization::authorized);
    EXPECT_TRUE(provider.isTracking());
    EXPECT_TRUE(source->running);
}

TEST(LocationProvider, BatchKeepsOnlyTheMostRecentLocation) {
    LocationProvider provider(new FakeSource);
    provider.didUpdateLocations({position(1, 1), position(2, 2), position(3, 3)});
    ASSERT_TRUE(provider.latest());
    EXPECT_EQ(provider.latest()->latitude, 3);
    EXPECT_EQ(provider.fixCount(), 1);
    provider.didUpdateLocations({});
    EXPECT_EQ(provider.fixCount(), 1);
    // A position without a valid coordinate is not a fix.
    provider.didUpdateLocations({QGeoPositionInfo(QGeoCoordinate(), QDateTime::currentDateTimeUtc())});
    EXPECT_EQ(provider.fixCount(), 1);
    EXPECT_EQ(provider.latest()->latitude, 3);
}

TEST(LocationProvider, FixFromTheSourceAttributes) {
    struct Case {
        std::optional<double> speed;  // m/s attribute
        std::optional<double> course; // degrees attribute
        std::optional<double> accuracy;
        std::optional<double> speedKmh;
        std::optional<double> expectedCourse;
        double horizontalAccuracy;
    };
    const std::nullopt_t none = std::nullopt;
    for (const Case& c : {Case{-1, -1, 5, none, none, 5}, Case{10, 270, 65, 36, 270, 65}, Case{0, 0, 5, 0, 0, 5},
                         Case{none, none, none, none, none, -1}}) {
        QGeoPositionInfo info(QGeoCoordinate(46.5, 6.6, 420), QDateTime::currentDateTimeUtc());
        if (c.speed) info.setAttribute(QGeoPositionInfo::GroundSpeed, *c.speed);
        if (c.course) info.setAttribute(QGeoPositionInfo::Direction, *c.course);
        if (c.accuracy) info.setAttribute(QGeoPositionInfo::HorizontalAccuracy, *c.accuracy);
        LocationProvider provider(new FakeSource);
        provider.didUpdateLocations({info});
        ASSERT_TRUE(provider.latest());
        EXPECT_EQ(provider.latest()->speedKmh, c.speedKmh);
        EXPECT_EQ(provider.latest()->course, c.expectedCourse);
        EXPECT_EQ(provider.latest()->horizontalAccuracy, c.horizontalAccuracy);
        EXPECT_EQ(provider.latest()->altitude, 420);
        EXPECT_EQ(provider.quality(), LocationProvider::qualityFrom(c.horizontalAccuracy));
    }
}

TEST(LocationProvider, RefusalDeniesAndStopsUntilGranted) {
    for (const bool whileStarting : {false, true}) {
        auto* source = new FakeSource;
        source->refuseOnStart = whileStarting;
        LocationProvider provider(source);
        provider.start();
        if (!whileStarting) source->fail(QGeoPositionInfoSource::AccessError);
        settle();
        EXPECT_EQ(provider.authorization(), Authorization::denied);
        EXPECT_FALSE(provider.isTracking());
        EXPECT_FALSE(source->running);

        // start() is still in effect: a grant resumes tracking.
        source->refuseOnStart = false;
        provider.didChangeAuthorization(Authorization::authorized);
        EXPECT_TRUE(provider.isTracking());
        EXPECT_EQ(source->starts, 2);
    }
}

TEST(LocationProvider, GrantAfterStopOrWithoutStartDoesNotTrack) {
    auto* source = new FakeSource;
    LocationProvider provider(source);
    // Location recording off: never started.
    provider.didChangeAuthorization(Authorization::authorized);
    EXPECT_FALSE(provider.isTracking());
    EXPECT_EQ(source->starts, 0);

    provider.start();
    provider.stop();
    EXPECT_FALSE(provider.isTracking());
    EXPECT_EQ(source->stops, 1);
    // A late fix still counts and is kept, but it must not switch the updates back on.
    source->deliver(position(46.52, 6.63));
    settle();
    EXPECT_EQ(provider.fixCount(), 1);
    EXPECT_EQ(provider.latest()->latitude, 46.52);
    provider.didChangeAuthorization(Authorization::authorized);
    // Nor is an access error after stop() a refusal.
    source->fail(QGeoPositionInfoSource::AccessError);
    settle();
    EXPECT_EQ(provider.authorization(), Authorization::authorized);
    EXPECT_FALSE(provider.isTracking());
    EXPECT_EQ(source->starts, 1);
}

// The NMEA source replays a recorded drive: three fixes, the last one without altitude.
TEST(LocationProvider, ReplaysAnNMEARecording) {
    for (const bool withRangeError : {false, true}) {
        QFile file(QStringLiteral(VEQ_TEST_DATA_DIR "/track.nmea"));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        auto* source = new QNmeaPositionInfoSource(QNmeaPositionInfoSource::SimulationMode);
        source->setDevice(&file);
        // Qt derives the accuracy from the dilution of precision only with a range error.
        if (withRangeError) source->setUserEquivalentRangeError(5.0);
        LocationProvider provider(source);
        std::vector<LocationProvider::Fix> fixes;
        QObject::connect(&provider, &LocationProvider::latestChanged, [&] { fixes.push_back(*provider.latest()); });
        provider.start();
        ASSERT_TRUE(waitUntil([&] { return provider.fixCount() == 3; })) << provider.fixCount();
        provider.stop();
        ASSERT_EQ(fixes.size(), 3u);
        EXPECT_EQ(provider.authorization(), Authorization::authorized);

        EXPECT_NEAR(fixes[0].latitude, 46.5197, 1e-9);
        EXPECT_NEAR(fixes[0].longitude, 6.6323, 1e-9);
        EXPECT_EQ(fixes[0].altitude, 412);
        ASSERT_TRUE(fixes[0].speedKmh);
        EXPECT_NEAR(*fixes[0].speedKmh, 18.52, 1e-3); // 10 knots
        EXPECT_EQ(fixes[0].course, 90);
        EXPECT_EQ(fixes[0].timestamp, std::chrono::system_clock::time_point(
                                          std::chrono::milliseconds(1'718'452'800'000)));

        EXPECT_EQ(fixes[1].altitude, 413);
        EXPECT_EQ(fixes[1].speedKmh, std::nullopt);
        EXPECT_EQ(fixes[1].course, std::nullopt);
        EXPECT_EQ(fixes[1].timestamp - fixes[0].timestamp, 100ms);

        EXPECT_EQ(fixes[2].altitude, 0); // a two-dimensional fix
        ASSERT_TRUE(fixes[2].speedKmh);
        EXPECT_NEAR(*fixes[2].speedKmh, 9.26, 1e-3);
        EXPECT_EQ(fixes[2].course, std::nullopt);

        if (withRangeError) {
            EXPECT_GT(fixes[0].horizontalAccuracy, 0);
            EXPECT_EQ(provider.quality(), Quality::gnss);
        } else {
            EXPECT_EQ(fixes[0].horizontalAccuracy, -1);
            EXPECT_EQ(provider.quality(), Quality::network);
        }
    }
}

} // namespace
} // namespace veq
