#include "VEQTransport/OBDEncoder.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace veq;
using Bytes = std::vector<std::uint8_t>;

namespace {

struct Encoding {
    std::uint8_t pid;
    Bytes bytes;
};

// Simulation time 0 (demand 0.02, cold engine). The round-trip tests check every parameter
// against the catalogue; these pin the exact bytes, rounding included.
// clang-format off
const Encoding atStart[] = {
    {0x0C, {0x0B, 0xE4}},  // 761 × 4 = 3044
    {0x0D, {0x00}},
    {0x05, {0x3D}},        // 21.12 + 40 = 61.12
    {0x42, {0x37, 0x10}},  // 14.096 V
    {0x2F, {0xB8}},        // 72 % × 2.55 = 183.6
    {0x07, {0x7D}},        // (−2.3 + 100) × 1.28 = 125.06
    {0x0E, {0x91}},        // (8.36 + 64) × 2 = 144.72
    {0x10, {0x01, 0x93}},  // 4.0312 g/s × 100
    {0x23, {0x02, 0x1C}},  // 5400 kPa / 10
    {0x2C, {0x4B}},        // 29.4 % × 2.55 = 74.97
    {0x44, {0x80, 0x00}},  // lambda 1
    {0x49, {0x19}},        // 9.64 % × 2.55 = 24.58
    {0x5E, {0x00, 0x29}},  // 2.06 l/h × 20
    {0xA4, {0x00, 0x00, 0x00, 0x00}}, // neutral, ratio 0
};
// clang-format on

} // namespace

TEST(OBDEncoderTests, BytesAtTheStartOfTheDrive) {
    const VehicleState start = VehicleSimulation().state(0);
    for (const Encoding& e : atStart) {
        SCOPED_TRACE(testing::Message() << std::hex << int(e.pid));
        EXPECT_TRUE(OBDEncoder::isSupported(e.pid));
        EXPECT_EQ(OBDEncoder::encode(e.pid, start), e.bytes);
    }
}

TEST(OBDEncoderTests, UnsupportedParametersGiveNothing) {
    const VehicleState start = VehicleSimulation().state(0);
    for (int pid : {0x02, 0x08, 0x12, 0x41, 0x4C, 0xA5, 0xA6, 0xC0, 0xFF}) {
        EXPECT_FALSE(OBDEncoder::encode(static_cast<std::uint8_t>(pid), start).has_value()) << pid;
    }
}

TEST(OBDEncoderTests, TransmissionGear) {
    struct Case {
        int gear;
        Bytes bytes;
    };
    // clang-format off
    const Case cases[] = {
        {-1, {0x00, 0x0F, 0x12, 0xC0}}, // reverse: gear code 15, ratio 4.800
        {0,  {0x00, 0x00, 0x00, 0x00}},
        {1,  {0x00, 0x01, 0x14, 0xE6}}, // 5.35 → 5350
        {3,  {0x00, 0x03, 0x08, 0xCA}}, // 2.25 → 2250
        {6,  {0x00, 0x06, 0x03, 0xE8}}, // 1.00 → 1000
        {9,  {0x00, 0x09, 0x02, 0x58}}, // 0.60 → 600
        {12, {0x00, 0x09, 0x02, 0x58}}, // capped at the ninth
    };
    // clang-format on
    for (const Case& c : cases) {
        VehicleState s;
        s.gear = c.gear;
        EXPECT_EQ(OBDEncoder::encode(0xA4, s), c.bytes) << c.gear;
    }
    EXPECT_EQ(OBDEncoder::encode(0xA4, VehicleSimulation().state(115)), (Bytes{0x00, 0x0F, 0x12, 0xC0}));
}

TEST(OBDEncoderTests, ValuesBeyondTheRangeAreClampedNeverWrapped) {
    VehicleState s;
    s.rpm = 20000;          // 80000 > 65535
    s.speedKmh = 300;       // > 255
    s.coolantC = -55;       // below −40
    s.fuelLevelPercent = -6; // after 13 simulated hours
    s.controlVoltage = std::numeric_limits<double>::quiet_NaN();
    s.mapKpa = std::numeric_limits<double>::infinity();
    EXPECT_EQ(OBDEncoder::encode(0x0C, s), (Bytes{0xFF, 0xFF}));
    EXPECT_EQ(OBDEncoder::encode(0x0D, s), (Bytes{0xFF}));
    EXPECT_EQ(OBDEncoder::encode(0x05, s), (Bytes{0x00}));
    EXPECT_EQ(OBDEncoder::encode(0x2F, s), (Bytes{0x00}));
    EXPECT_EQ(OBDEncoder::encode(0x42, s), (Bytes{0x00, 0x00}));
    EXPECT_EQ(OBDEncoder::encode(0x0B, s), (Bytes{0xFF}));
    EXPECT_EQ(OBDEncoder::encode(0x2F, VehicleSimulation().state(13 * 3600)), (Bytes{0x00}));
}

TEST(OBDEncoderTests, ConversionsRoundHalfAwayFromZero) {
    struct Case {
        double x;
        std::uint8_t byte;
        std::array<std::uint8_t, 2> word;
        std::uint8_t truncated;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    // clang-format off
    const Case cases[] = {
        {0.49,    0,    {0x00, 0x00}, 0},
        {0.5,     1,    {0x00, 0x01}, 0},
        {101.9,   102,  {0x00, 0x66}, 101},
        {254.5,   255,  {0x00, 0xFF}, 254},
        {255.9,   255,  {0x01, 0x00}, 255},
        {-0.5,    0,    {0x00, 0x00}, 0},
        {-3,      0,    {0x00, 0x00}, 0},
        {65534.5, 255,  {0xFF, 0xFF}, 255},
        {1e12,    255,  {0xFF, 0xFF}, 255},
        {nan,     0,    {0x00, 0x00}, 0},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.x);
        EXPECT_EQ(OBDEncoder::byte(c.x), c.byte);
        EXPECT_EQ(OBDEncoder::word(c.x), c.word);
        EXPECT_EQ(OBDEncoder::truncatedByte(c.x), c.truncated);
    }
}

TEST(OBDEncoderTests, DistanceSinceCodesClearedAsIfDrivenAtTheCurrentSpeed) {
    const VehicleSimulation simulation;
    // 125.28 km/h × 52.5 s = 1.83 km; 85.51 km/h × 165 s = 3.92 km
    EXPECT_EQ(OBDEncoder::encode(0x31, simulation.state(52.5)), (Bytes{0x00, 0x02}));
    EXPECT_EQ(OBDEncoder::encode(0x31, simulation.state(165)), (Bytes{0x00, 0x04}));
}
