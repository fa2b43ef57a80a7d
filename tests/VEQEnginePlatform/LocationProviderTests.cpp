#include "VEQEngine/Platform/LocationProvider.hpp"

#include <gtest/gtest.h>

#include <ostream>

#include <chrono>
#include <cmath>
#include <functional>
#include <limits>
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

struct QualityCase {
    double accuracy;
    Quality quality;
};

void PrintTo(const QualityCase& c, std::ostream* os) { *os << c.accuracy << " m"; }

class QualityFromAccuracy : public ::testing::TestWithParam<QualityCase> {};

TEST_P(QualityFromAccuracy, ClassifiesByHorizontalAccuracy) {
    EXPECT_EQ(LocationProvider::qualityFrom(GetParam().accuracy), GetParam().quality) << GetParam().accuracy;
}

INSTANTIATE_TEST_SUITE_P(Thresholds, QualityFromAccuracy,
                         ::testing::Values(QualityCase{5, Quality::gnss}, QualityCase{10, Quality::gnss},
                                           QualityCase{10.5, Quality::coarse}, QualityCase{65, Quality::coarse},
                                           QualityCase{100, Quality::coarse}, QualityCase{100.01, Quality::network},
                                           QualityCase{150, Quality::network}, QualityCase{0, Quality::network},
                                           QualityCase{-1, Quality::network}));

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

TEST(LocationProvider, WithoutAnySourceStartEndsUnavailable) {
    LocationProvider provider(static_cast<QGeoPositionInfoSource*>(nullptr));
    int changes = 0;
    QObject::connect(&provider, &LocationProvider::authorizationChanged, [&] { ++changes; });
    EXPECT_EQ(provider.authorization(), Authorization::notDetermined);
    EXPECT_EQ(provider.quality(), std::nullopt);
    provider.start();
    settle();
    EXPECT_EQ(provider.authorization(), Authorization::unavailable);
    EXPECT_FALSE(provider.isTracking());
    EXPECT_EQ(changes, 1);
    provider.stop();
    EXPECT_EQ(provider.authorization(), Authorization::unavailable);
}

TEST(LocationProvider, SourceOfferingNoMethodIsUnavailable) {
    auto* source = new FakeSource;
    source->methods = QGeoPositionInfoSource::NoPositioningMethods;
    LocationProvider provider(source);
    provider.start();
    // A capability probe may report an access error on its own; that is no refusal of ours.
    source->fail(QGeoPositionInfoSource::AccessError);
    settle();
    EXPECT_EQ(provider.authorization(), Authorization::unavailable);
    EXPECT_FALSE(provider.isTracking());
    EXPECT_EQ(source->starts, 0);
}

TEST(LocationProvider, StartRunsUpdatesAndAFixAuthorizes) {
    auto* source = new FakeSource;
    LocationProvider provider(source);
    int latestChanges = 0;
    QObject::connect(&provider, &LocationProvider::latestChanged, [&] { ++latestChanges; });
    provider.start();
    EXPECT_TRUE(provider.isTracking());
    EXPECT_EQ(source->starts, 1);
    EXPECT_EQ(provider.authorization(), Authorization::notDetermined);

    source->deliver(position(46.5197, 6.6323));
    EXPECT_EQ(provider.fixCount(), 0); // handed over as a task of the provider's thread
    settle();
    EXPECT_EQ(provider.authorization(), Authorization::authorized);
    EXPECT_EQ(provider.fixCount(), 1);
    EXPECT_EQ(latestChanges, 1);
    ASSERT_TRUE(provider.latest());
    EXPECT_EQ(provider.latest()->latitude, 46.5197);
    EXPECT_EQ(provider.latest()->timestamp,
              std::chrono::system_clock::time_point(std::chrono::milliseconds(1'718'452'800'000)));
    EXPECT_EQ(source->starts, 1); // a fix while tracking starts nothing more

    provider.start(); // already running: not asked twice
    EXPECT_EQ(source->starts, 1);
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

struct FixCase {
    const char* name;
    std::optional<double> speed;    // m/s attribute
    std::optional<double> course;   // degrees attribute
    std::optional<double> accuracy; // metres attribute
    bool hasAltitude;
    std::optional<double> speedKmh;
    std::optional<double> expectedCourse;
    double horizontalAccuracy;
    double altitude;
};

void PrintTo(const FixCase& c, std::ostream* os) { *os << c.name; }

class FixConversion : public ::testing::TestWithParam<FixCase> {};

TEST_P(FixConversion, MapsTheSourceAttributes) {
    const FixCase& c = GetParam();
    QGeoCoordinate coordinate = c.hasAltitude ? QGeoCoordinate(46.5, 6.6, 420) : QGeoCoordinate(46.5, 6.6);
    QGeoPositionInfo info(coordinate, QDateTime::currentDateTimeUtc());
    if (c.speed) info.setAttribute(QGeoPositionInfo::GroundSpeed, *c.speed);
    if (c.course) info.setAttribute(QGeoPositionInfo::Direction, *c.course);
    if (c.accuracy) info.setAttribute(QGeoPositionInfo::HorizontalAccuracy, *c.accuracy);
    LocationProvider provider(new FakeSource);
    provider.didUpdateLocations({info});
    ASSERT_TRUE(provider.latest());
    const LocationProvider::Fix& fix = *provider.latest();
    EXPECT_EQ(fix.speedKmh.has_value(), c.speedKmh.has_value());
    if (fix.speedKmh && c.speedKmh) {
        EXPECT_NEAR(*fix.speedKmh, *c.speedKmh, 1e-9);
    }
    EXPECT_EQ(fix.course, c.expectedCourse);
    EXPECT_EQ(fix.horizontalAccuracy, c.horizontalAccuracy);
    EXPECT_EQ(fix.altitude, c.altitude);
    EXPECT_EQ(provider.quality(), LocationProvider::qualityFrom(c.horizontalAccuracy));
}

const double nan = std::numeric_limits<double>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(
    Attributes, FixConversion,
    ::testing::Values(FixCase{"invalidSpeedAndCourse", -1, -1, 5, true, std::nullopt, std::nullopt, 5, 420},
                      FixCase{"speedInKmh", 10, 270, 5, true, 36, 270, 5, 420},
                      FixCase{"standingStill", 0, 0, 50, true, 0, 0, 50, 420},
                      FixCase{"missingAttributes", std::nullopt, std::nullopt, std::nullopt, true, std::nullopt,
                              std::nullopt, -1, 420},
                      FixCase{"notANumberAttributes", nan, nan, nan, true, std::nullopt, std::nullopt, -1, 420},
                      FixCase{"withoutAltitude", 1, std::nullopt, 150, false, 3.6, std::nullopt, 150, 0}),
    [](const auto& info) { return info.param.name; });

TEST(LocationProvider, AccessErrorDeniesAndStopsUntilAskedAgain) {
    auto* source = new FakeSource;
    LocationProvider provider(source);
    provider.start();
    source->fail(QGeoPositionInfoSource::AccessError);
    settle();
    EXPECT_EQ(provider.authorization(), Authorization::denied);
    EXPECT_FALSE(provider.isTracking());
    EXPECT_FALSE(source->running);

    provider.start(); // Qt can only learn the answer by asking again
    EXPECT_TRUE(provider.isTracking());
    EXPECT_EQ(source->starts, 2);
}

TEST(LocationProvider, RefusalReportedWhileStartingDenies) {
    auto* source = new FakeSource;
    source->refuseOnStart = true;
    LocationProvider provider(source);
    provider.start();
    settle();
    EXPECT_EQ(provider.authorization(), Authorization::denied);
    EXPECT_FALSE(provider.isTracking());
    EXPECT_FALSE(source->running);
}

TEST(LocationProvider, OtherFailuresChangeNothing) {
    auto* source = new FakeSource;
    LocationProvider provider(source);
    provider.start();
    for (const auto error : {QGeoPositionInfoSource::ClosedError, QGeoPositionInfoSource::UnknownSourceError,
                             QGeoPositionInfoSource::UpdateTimeoutError, QGeoPositionInfoSource::NoError}) {
        source->fail(error);
    }
    settle();
    EXPECT_EQ(provider.authorization(), Authorization::notDetermined);
    EXPECT_TRUE(provider.isTracking());
    EXPECT_TRUE(source->running);
}

TEST(LocationProvider, GrantAfterRefusalResumesWhileStarted) {
    auto* source = new FakeSource;
    LocationProvider provider(source);
    provider.start();
    source->fail(QGeoPositionInfoSource::AccessError);
    settle();
    ASSERT_EQ(provider.authorization(), Authorization::denied);
    provider.didChangeAuthorization(Authorization::authorized);
    EXPECT_TRUE(provider.isTracking());
    EXPECT_EQ(source->starts, 2);
}

TEST(LocationProvider, GrantAfterStopDoesNotRestartTracking) {
    auto* source = new FakeSource;
    LocationProvider provider(source);
    provider.start();
    provider.stop();
    EXPECT_FALSE(provider.isTracking());
    EXPECT_EQ(source->stops, 1);

    // A late fix still counts, but it must not switch the updates back on.
    source->deliver(position(46.52, 6.63));
    settle();
    EXPECT_EQ(provider.fixCount(), 1);
    EXPECT_EQ(provider.authorization(), Authorization::authorized);
    EXPECT_FALSE(provider.isTracking());
    EXPECT_EQ(source->starts, 1);

    provider.didChangeAuthorization(Authorization::authorized);
    EXPECT_FALSE(provider.isTracking());
    EXPECT_EQ(source->starts, 1);
}

TEST(LocationProvider, GrantWithoutStartDoesNotTrack) {
    // Location recording off: the provider exists but start() was never called.
    auto* source = new FakeSource;
    LocationProvider provider(source);
    provider.didChangeAuthorization(Authorization::authorized);
    EXPECT_EQ(provider.authorization(), Authorization::authorized);
    EXPECT_FALSE(provider.isTracking());
    EXPECT_EQ(source->starts, 0);
}

TEST(LocationProvider, StopKeepsTheLastFix) {
    auto* source = new FakeSource;
    LocationProvider provider(source);
    provider.start();
    source->deliver(position(46.52, 6.63));
    settle();
    provider.stop();
    EXPECT_EQ(provider.fixCount(), 1);
    ASSERT_TRUE(provider.latest());
    EXPECT_EQ(provider.latest()->latitude, 46.52);
    // An access error after stop() is no refusal of a running request.
    source->fail(QGeoPositionInfoSource::AccessError);
    settle();
    EXPECT_EQ(provider.authorization(), Authorization::authorized);
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
