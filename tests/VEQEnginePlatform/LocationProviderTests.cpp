#include "VEQEngine/Platform/LocationProvider.hpp"

#include <gtest/gtest.h>

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
    bool running = false;

    void deliver(const QGeoPositionInfo& info) { emit positionUpdated(info); }
    void fail(Error e) { error_ = e; emit errorOccurred(e); }

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
    void stopUpdates() override { running = false; }
    void requestUpdate(int) override {}

private:
    Error error_ = NoError;
};

void settle() { QCoreApplication::processEvents(); }

QGeoPositionInfo position(double latitude) {
    return QGeoPositionInfo(QGeoCoordinate(latitude, 6.6323, 412), QDateTime::fromMSecsSinceEpoch(1'718'452'800'000, Qt::UTC));
}

TEST(LocationProvider, WithoutAUsableSourceStartEndsUnavailable) {
    LocationProvider none(static_cast<QGeoPositionInfoSource*>(nullptr));
    none.start();
    settle();
    EXPECT_EQ(none.authorization(), Authorization::unavailable);
    EXPECT_FALSE(none.isTracking());

    // No positioning method: location switched off system-wide; its probe's access error is no refusal.
    auto* source = new FakeSource;
    source->methods = QGeoPositionInfoSource::NoPositioningMethods;
    LocationProvider off(source);
    off.start();
    source->fail(QGeoPositionInfoSource::AccessError);
    settle();
    EXPECT_EQ(off.authorization(), Authorization::unavailable);
    EXPECT_EQ(source->starts, 0);
}

TEST(LocationProvider, AFixAuthorizesAndPassingFailuresKeepTracking) {
    auto* source = new FakeSource;
    LocationProvider provider(source);
    provider.start();
    provider.start(); // already running: not asked twice
    EXPECT_EQ(source->starts, 1);
    source->deliver(position(46.5197));
    settle();
    EXPECT_EQ(provider.authorization(), Authorization::authorized);
    ASSERT_EQ(provider.fixCount(), 1);
    EXPECT_EQ(provider.latest()->timestamp, std::chrono::system_clock::time_point(1'718'452'800'000ms));
    for (const auto error : {QGeoPositionInfoSource::ClosedError, QGeoPositionInfoSource::UpdateTimeoutError}) source->fail(error);
    settle();
    EXPECT_EQ(provider.authorization(), Authorization::authorized);
    EXPECT_TRUE(provider.isTracking() && source->running);
}

TEST(LocationProvider, BatchKeepsOnlyTheMostRecentValidLocation) {
    LocationProvider provider(new FakeSource);
    provider.didUpdateLocations({position(1), position(2), position(3)});
    provider.didUpdateLocations({});
    provider.didUpdateLocations({QGeoPositionInfo(QGeoCoordinate(), QDateTime::currentDateTimeUtc())});
    ASSERT_TRUE(provider.latest());
    EXPECT_EQ(provider.latest()->latitude, 3);
    EXPECT_EQ(provider.fixCount(), 1);
}

TEST(LocationProvider, FixFromTheSourceAttributes) {
    const std::nullopt_t none = std::nullopt;
    const struct {
        std::optional<double> speed, course, accuracy; // m/s, degrees, metres as Qt gives them
        std::optional<double> speedKmh, expectedCourse;
        double horizontalAccuracy;
        Quality quality;
    } cases[] = {{-1, -1, 10, none, none, 10, Quality::gnss}, {10, 270, 100, 36, 270, 100, Quality::coarse},
                 {none, none, none, none, none, -1, Quality::network}};
    for (const auto& c : cases) {
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
        EXPECT_EQ(provider.quality(), c.quality);
    }
    EXPECT_EQ(LocationProvider::qualityFrom(100.01), Quality::network);
}

TEST(LocationProvider, RefusalDeniesAndAGrantResumesOnlyWhileStarted) {
    for (const bool whileStarting : {false, true}) {
        auto* source = new FakeSource;
        source->refuseOnStart = whileStarting;
        LocationProvider provider(source);
        provider.start();
        if (!whileStarting) source->fail(QGeoPositionInfoSource::AccessError);
        settle();
        EXPECT_EQ(provider.authorization(), Authorization::denied);
        EXPECT_FALSE(provider.isTracking() || source->running);
        source->refuseOnStart = false;
        provider.didChangeAuthorization(Authorization::authorized);
        EXPECT_TRUE(provider.isTracking());
    }
    auto* source = new FakeSource;
    LocationProvider provider(source);
    provider.didChangeAuthorization(Authorization::authorized); // never started: recording of location off
    provider.start();
    provider.stop();
    source->deliver(position(46.52)); // a late fix still counts
    settle();
    EXPECT_EQ(provider.fixCount(), 1);
    provider.didChangeAuthorization(Authorization::authorized);
    source->fail(QGeoPositionInfoSource::AccessError); // no refusal after stop()
    settle();
    EXPECT_EQ(provider.authorization(), Authorization::authorized);
    EXPECT_FALSE(provider.isTracking());
    EXPECT_EQ(source->starts, 1);
}

// Qt's NMEA source replays a recorded drive: three fixes, the last one without altitude.
TEST(LocationProvider, ReplaysAnNMEARecording) {
    QFile file(QStringLiteral(VEQ_TEST_DATA_DIR "/track.nmea"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    auto* source = new QNmeaPositionInfoSource(QNmeaPositionInfoSource::SimulationMode);
    source->setDevice(&file);
    LocationProvider provider(source);
    std::vector<LocationProvider::Fix> fixes;
    QObject::connect(&provider, &LocationProvider::latestChanged, [&] { fixes.push_back(*provider.latest()); });
    provider.start();
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] { if (provider.fixCount() == 3) loop.quit(); });
    QTimer::singleShot(10s, &loop, &QEventLoop::quit);
    poll.start(5);
    loop.exec();
    provider.stop();
    ASSERT_EQ(fixes.size(), 3u);
    EXPECT_EQ(provider.authorization(), Authorization::authorized);
    EXPECT_NEAR(fixes[0].latitude, 46.5197, 1e-9);
    EXPECT_EQ(fixes[0].altitude, 412);
    ASSERT_TRUE(fixes[0].speedKmh);
    EXPECT_NEAR(*fixes[0].speedKmh, 18.52, 1e-3); // 10 knots
    EXPECT_EQ(fixes[0].course, 90);
    EXPECT_EQ(fixes[0].horizontalAccuracy, -1);
    EXPECT_EQ(fixes[1].speedKmh, std::nullopt);
    EXPECT_EQ(fixes[1].course, std::nullopt);
    EXPECT_EQ(fixes[1].timestamp - fixes[0].timestamp, 100ms);
    EXPECT_EQ(fixes[2].altitude, 0); // a two-dimensional fix
    EXPECT_EQ(provider.quality(), Quality::network);
}

} // namespace
} // namespace veq
