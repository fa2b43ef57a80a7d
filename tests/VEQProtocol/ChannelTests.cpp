#include "VEQProtocol/ChronoChannel.hpp"
#include "VEQProtocol/DerivedChannel.hpp"
#include "VEQProtocol/GPSChannel.hpp"
#include "VEQProtocol/SensorChannel.hpp"
#include "VEQProtocol/SyncChannel.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace veq;

// Every identifier belongs to at most one namespace, each namespace answers exactly for its own
// identifiers, and the event tests mark only the two instants.
TEST(ChannelTests, MembershipOverTheWholeSpace) {
    for (int i = 0; i < 256; ++i) {
        const auto id = static_cast<std::uint8_t>(i);
        const bool sensor = i >= 224 && i <= 237;
        const bool sync = i == 238;
        const bool derived = i == 239 || i == 250;
        const bool gps = i >= 240 && i <= 245;
        const bool chrono = i >= 246 && i <= 249;
        EXPECT_EQ(SensorChannel::isSensor(id), sensor) << i;
        EXPECT_EQ(SyncChannel::isSync(id), sync) << i;
        EXPECT_EQ(SyncChannel::isEvent(id), sync) << i;
        EXPECT_EQ(DerivedChannel::isDerived(id), derived) << i;
        EXPECT_EQ(GPSChannel::isGPS(id), gps) << i;
        EXPECT_EQ(ChronoChannel::isChrono(id), chrono) << i;
        EXPECT_EQ(ChronoChannel::isEvent(id), i == 249) << i;

        EXPECT_EQ(SensorChannel::name(id).has_value(), sensor) << i;
        EXPECT_EQ(SensorChannel::unit(id).has_value(), sensor) << i;
        EXPECT_EQ(DerivedChannel::name(id).has_value(), derived) << i;
        EXPECT_EQ(DerivedChannel::unit(id).has_value(), derived) << i;
        EXPECT_EQ(GPSChannel::name(id).has_value(), gps) << i;
        EXPECT_EQ(GPSChannel::unit(id).has_value(), gps) << i;
        EXPECT_EQ(ChronoChannel::name(id).has_value(), chrono) << i;
        EXPECT_EQ(ChronoChannel::unit(id).has_value(), chrono) << i;
    }
    for (std::uint8_t id : SensorChannel::all) EXPECT_TRUE(SensorChannel::isSensor(id));
    EXPECT_EQ(SensorChannel::all.size(), 14u);
    for (std::uint8_t id : GPSChannel::all) EXPECT_TRUE(GPSChannel::isGPS(id));
    for (std::uint8_t id : DerivedChannel::all) EXPECT_TRUE(DerivedChannel::isDerived(id));
}

TEST(ChannelTests, BoostFromManifoldPressure) {
    struct Case { double manifold; std::optional<double> barometric; double bar; };
    const Case cases[] = {
        {201.3, std::nullopt, 1.0},
        {30, 100, -0.7},
        {250, 95, 1.55},
        {20, std::nullopt, -0.813},
    };
    for (const auto& c : cases) EXPECT_NEAR(DerivedChannel::boostBar(c.manifold, c.barometric), c.bar, 1e-12) << c.manifold;
}

TEST(ChannelTests, BrakingAboveNoiseFloor) {
    struct Case { double longitudinal; double g; };
    const Case cases[] = {
        {-9.80665, 1.0},
        {-4.903325, 0.5},
        {-0.49033, 0.0}, // just under 0.05 g
        {-0.5, 0.5 / 9.80665},
        {2.0, 0.0},     // accelerating
        {std::numeric_limits<double>::quiet_NaN(), 0.0},
    };
    for (const auto& c : cases) EXPECT_DOUBLE_EQ(DerivedChannel::brakingG(c.longitudinal), c.g) << c.longitudinal;
}
