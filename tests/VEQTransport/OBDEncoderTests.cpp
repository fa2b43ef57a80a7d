// The encoder's bytes, and the simulated car read back through the real decoding path: what
// the encoder writes, the catalogue's formulas must turn back into the simulated values.
#include "VEQTransport/OBDEncoder.hpp"

#include "VEQProtocol/PIDCatalog.hpp"
#include "VEQProtocol/TransmissionGear.hpp"

#include <gtest/gtest.h>

#include <limits>
#include <set>

using namespace veq;
using Bytes = std::vector<std::uint8_t>;

namespace {

// What each measured parameter reads back, and one step of its encoding in the decoded unit.
struct Measured {
    std::uint8_t pid;
    double VehicleState::*field;
    double quantum;
};
using S = VehicleState;
constexpr double percentStep = 100.0 / 255, trimStep = 100.0 / 128;
const Measured measured[] = {
    {0x04, &S::engineLoadPercent, percentStep},  {0x05, &S::coolantC, 1},        {0x06, &S::shortTrimPercent, trimStep},
    {0x07, &S::longTrimPercent, trimStep},       {0x0B, &S::mapKpa, 1},          {0x0C, &S::rpm, 0.25},
    {0x0D, &S::speedKmh, 1},                     {0x0E, &S::timingAdvanceDeg, 0.5}, {0x0F, &S::intakeAirC, 1},
    {0x10, &S::mafGps, 0.01},                    {0x11, &S::throttlePercent, percentStep}, {0x1F, &S::runtimeSeconds, 1},
    {0x21, &S::distanceMILkm, 1},                {0x23, &S::railPressureKpa, 10}, {0x2C, &S::egrCommandedPercent, percentStep},
    {0x2F, &S::fuelLevelPercent, percentStep},   {0x33, &S::baroKpa, 1},         {0x42, &S::controlVoltage, 0.001},
    {0x43, &S::engineLoadPercent, percentStep},  {0x44, &S::lambda, 1.0 / 32768}, {0x45, &S::throttlePercent, percentStep},
    {0x46, &S::ambientC, 1},                     {0x47, &S::throttlePercent, percentStep}, {0x49, &S::acceleratorPercent, percentStep},
    {0x4A, &S::acceleratorPercent, percentStep}, {0x5C, &S::oilC, 1},            {0x5E, &S::fuelRateLph, 0.05},
};

// Rows that do not follow the drive, and the support bitmaps.
const std::pair<std::uint8_t, Bytes> fixedRows[] = {
    {0x01, {0x00, 0x07, 0x00, 0x00}}, {0x03, {0x02, 0x00}},           {0x13, {0x03}},
    {0x1C, {0x06}},                   {0x51, {0x11}},                 {0x00, {0xBE, 0x3F, 0xA0, 0x13}},
    {0x20, {0xA0, 0x12, 0xA0, 0x01}}, {0x40, {0x7E, 0xC0, 0x80, 0x15}}, {0x60, {0x00, 0x00, 0x00, 0x01}},
    {0x80, {0x00, 0x00, 0x00, 0x01}}, {0xA0, {0x10, 0x00, 0x00, 0x00}},
};

constexpr std::uint8_t distanceSinceCleared = 0x31;
constexpr std::uint8_t gearPID = 0xA4;

std::optional<PIDReading> decode(std::uint8_t pid, const std::optional<Bytes>& bytes) {
    const PIDDefinition* definition = PIDCatalog::definition(pid);
    if (definition == nullptr || !bytes) return std::nullopt;
    return definition->decode(*bytes);
}

} // namespace

// Simulated times 0 to 240 s in quarter seconds: two full cycles, every phase and its edges.
TEST(OBDEncoderRoundTripTests, EverySupportedParameterReadsBackThroughTheCatalogue) {
    std::set<std::uint8_t> covered{distanceSinceCleared, gearPID};
    for (const Measured& m : measured) covered.insert(m.pid);
    for (const auto& [pid, bytes] : fixedRows) covered.insert(pid);
    EXPECT_EQ(covered, std::set<std::uint8_t>(OBDEncoder::supportedPIDs.begin(), OBDEncoder::supportedPIDs.end()));

    const VehicleSimulation simulation;
    std::set<int> gears;
    for (int i = 0; i <= 960; ++i) {
        const double t = i * 0.25;
        const VehicleState state = simulation.state(t);
        SCOPED_TRACE(testing::Message() << "t = " << t);
        for (const Measured& m : measured) {
            const auto reading = decode(m.pid, OBDEncoder::encode(m.pid, state));
            ASSERT_TRUE(reading && reading->scalar()) << int(m.pid);
            ASSERT_NEAR(*reading->scalar(), state.*m.field, m.quantum / 2 + 1e-9) << int(m.pid);
        }
        for (const auto& [pid, bytes] : fixedRows) {
            ASSERT_EQ(OBDEncoder::encode(pid, state), bytes) << int(pid);
            ASSERT_TRUE(decode(pid, bytes)) << int(pid); // the catalogue reads it
        }
        const auto gear = decode(gearPID, OBDEncoder::encode(gearPID, state));
        ASSERT_TRUE(gear && gear->scalar());
        const TransmissionGear expected = state.gear < 0    ? TransmissionGear::reverse()
                                          : state.gear == 0 ? TransmissionGear::neutral()
                                                            : TransmissionGear::forward(state.gear);
        ASSERT_EQ(TransmissionGear::fromValue(*gear->scalar()), expected);
        gears.insert(state.gear);
        // As if the whole runtime had been driven at the current speed.
        const auto distance = decode(distanceSinceCleared, OBDEncoder::encode(distanceSinceCleared, state));
        ASSERT_TRUE(distance && distance->scalar());
        ASSERT_NEAR(*distance->scalar(), state.speedKmh * state.runtimeSeconds / 3600, 0.5 + 1e-9);
    }
    EXPECT_EQ(gears, (std::set<int>{-1, 0, 1, 2, 3, 4, 5, 6, 7, 8})); // reverse, neutral and eight gears met

}

TEST(OBDEncoderTests, TransmissionGearWithItsRatioAndUnsupportedRows) {
    // reverse: gear code 15, ratio 4.800; 5.35 -> 5350; capped at the ninth, 0.60 -> 600
    const std::pair<int, Bytes> cases[] = {{-1, {0x00, 0x0F, 0x12, 0xC0}}, {1, {0x00, 0x01, 0x14, 0xE6}}, {12, {0x00, 0x09, 0x02, 0x58}}};
    for (const auto& [gear, bytes] : cases) {
        VehicleState s;
        s.gear = gear;
        EXPECT_EQ(OBDEncoder::encode(0xA4, s), bytes) << gear;
    }
    for (std::uint8_t pid : {0x02, 0x12, 0x41, 0xA5, 0xC0, 0xFF}) EXPECT_EQ(OBDEncoder::encode(pid, VehicleState{}), std::nullopt) << int(pid);
}

TEST(OBDEncoderTests, ValuesBeyondTheRangeAreClampedNeverWrapped) {
    VehicleState s;
    s.rpm = 20000;           // 80000 > 65535
    s.speedKmh = 300;
    s.fuelLevelPercent = -6; // after 13 simulated hours
    s.controlVoltage = std::numeric_limits<double>::quiet_NaN();
    s.coolantC = -41;        // below the offset of 40
    s.mapKpa = std::numeric_limits<double>::infinity();
    const std::pair<std::uint8_t, Bytes> cases[] = {
        {0x0C, {0xFF, 0xFF}}, {0x0D, {0xFF}}, {0x2F, {0x00}}, {0x42, {0x00, 0x00}}, {0x0B, {0xFF}}, {0x05, {0x00}},
    };
    for (const auto& [pid, bytes] : cases) EXPECT_EQ(OBDEncoder::encode(pid, s), bytes) << int(pid);
}
