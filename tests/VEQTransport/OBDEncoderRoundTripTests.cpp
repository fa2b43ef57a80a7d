// The simulated car read back through the real decoding path: what the encoder writes, the
// catalogue's formulas must turn back into the simulated values.
#include "VEQTransport/OBDEncoder.hpp"

#include "VEQProtocol/PIDCatalog.hpp"
#include "VEQProtocol/TransmissionGear.hpp"

#include <gtest/gtest.h>

#include <set>

using namespace veq;
using Bytes = std::vector<std::uint8_t>;

namespace {

struct Measured {
    std::uint8_t pid;
    double (*field)(const VehicleState&);
    double quantum; // one step of the encoding, in the decoded unit
};

// clang-format off
const Measured measured[] = {
    {0x04, [](const VehicleState& s) { return s.engineLoadPercent; },   100.0 / 255},
    {0x05, [](const VehicleState& s) { return s.coolantC; },            1},
    {0x06, [](const VehicleState& s) { return s.shortTrimPercent; },    100.0 / 128},
    {0x07, [](const VehicleState& s) { return s.longTrimPercent; },     100.0 / 128},
    {0x0B, [](const VehicleState& s) { return s.mapKpa; },              1},
    {0x0C, [](const VehicleState& s) { return s.rpm; },                 0.25},
    {0x0D, [](const VehicleState& s) { return s.speedKmh; },            1},
    {0x0E, [](const VehicleState& s) { return s.timingAdvanceDeg; },    0.5},
    {0x0F, [](const VehicleState& s) { return s.intakeAirC; },          1},
    {0x10, [](const VehicleState& s) { return s.mafGps; },              0.01},
    {0x11, [](const VehicleState& s) { return s.throttlePercent; },     100.0 / 255},
    {0x1F, [](const VehicleState& s) { return s.runtimeSeconds; },      1},
    {0x21, [](const VehicleState& s) { return s.distanceMILkm; },       1},
    {0x23, [](const VehicleState& s) { return s.railPressureKpa; },     10},
    {0x2C, [](const VehicleState& s) { return s.egrCommandedPercent; }, 100.0 / 255},
    {0x2F, [](const VehicleState& s) { return s.fuelLevelPercent; },    100.0 / 255},
    {0x33, [](const VehicleState& s) { return s.baroKpa; },             1},
    {0x42, [](const VehicleState& s) { return s.controlVoltage; },      0.001},
    {0x43, [](const VehicleState& s) { return s.engineLoadPercent; },   100.0 / 255},
    {0x44, [](const VehicleState& s) { return s.lambda; },              1.0 / 32768},
    {0x45, [](const VehicleState& s) { return s.throttlePercent; },     100.0 / 255},
    {0x46, [](const VehicleState& s) { return s.ambientC; },            1},
    {0x47, [](const VehicleState& s) { return s.throttlePercent; },     100.0 / 255},
    {0x49, [](const VehicleState& s) { return s.acceleratorPercent; },  100.0 / 255},
    {0x4A, [](const VehicleState& s) { return s.acceleratorPercent; },  100.0 / 255},
    {0x5C, [](const VehicleState& s) { return s.oilC; },                1},
    {0x5E, [](const VehicleState& s) { return s.fuelRateLph; },         0.05},
};
// clang-format on

struct Fixed {
    std::uint8_t pid;
    Bytes bytes;
};

// clang-format off
const Fixed fixedRows[] = {
    {0x01, {0x00, 0x07, 0x00, 0x00}},
    {0x03, {0x02, 0x00}},
    {0x13, {0x03}},
    {0x1C, {0x06}},
    {0x51, {0x11}},
    {0x00, {0xBE, 0x3F, 0xA0, 0x13}},
    {0x20, {0xA0, 0x12, 0xA0, 0x01}},
    {0x40, {0x7E, 0xC0, 0x80, 0x15}},
    {0x60, {0x00, 0x00, 0x00, 0x01}},
    {0x80, {0x00, 0x00, 0x00, 0x01}},
    {0xA0, {0x10, 0x00, 0x00, 0x00}},
};
// clang-format on

constexpr std::uint8_t distanceSinceCleared = 0x31;
constexpr std::uint8_t gearPID = 0xA4;

// Simulated times 0 to 240 s in quarter seconds: two full cycles, every phase and its edges.
std::vector<double> simulatedTimes() {
    std::vector<double> times;
    for (int i = 0; i <= 960; ++i) times.push_back(i * 0.25);
    return times;
}

std::optional<PIDReading> decode(std::uint8_t pid, const Bytes& bytes) {
    const PIDDefinition* definition = PIDCatalog::definition(pid);
    if (definition == nullptr) return std::nullopt;
    return definition->decode(bytes);
}

TransmissionGear expectedGear(int gear) {
    if (gear < 0) return TransmissionGear::reverse();
    if (gear == 0) return TransmissionGear::neutral();
    return TransmissionGear::forward(gear);
}

} // namespace

TEST(OBDEncoderRoundTripTests, EverySupportedParameterIsCheckedHere) {
    std::set<std::uint8_t> covered{distanceSinceCleared, gearPID};
    for (const Measured& m : measured) covered.insert(m.pid);
    for (const Fixed& f : fixedRows) covered.insert(f.pid);
    EXPECT_EQ(covered, std::set<std::uint8_t>(OBDEncoder::supportedPIDs.begin(), OBDEncoder::supportedPIDs.end()));
}

TEST(OBDEncoderRoundTripTests, MeasuredValuesComeBackWithinTheEncodingsQuantisation) {
    const VehicleSimulation simulation;
    for (const Measured& m : measured) {
        SCOPED_TRACE(testing::Message() << "PID 0x" << std::hex << int(m.pid));
        for (double t : simulatedTimes()) {
            const VehicleState state = simulation.state(t);
            const auto bytes = OBDEncoder::encode(m.pid, state);
            ASSERT_TRUE(bytes.has_value()) << t;
            const auto reading = decode(m.pid, *bytes);
            ASSERT_TRUE(reading.has_value()) << t;
            const auto value = reading->scalar();
            ASSERT_TRUE(value.has_value()) << t;
            ASSERT_NEAR(*value, m.field(state), m.quantum / 2 + 1e-9) << "t = " << t;
        }
    }
}

TEST(OBDEncoderRoundTripTests, GearComesBackThroughTransmissionGear) {
    const VehicleSimulation simulation;
    std::set<int> seen;
    for (double t : simulatedTimes()) {
        const VehicleState state = simulation.state(t);
        const auto reading = decode(gearPID, *OBDEncoder::encode(gearPID, state));
        ASSERT_TRUE(reading.has_value()) << t;
        ASSERT_TRUE(reading->scalar().has_value()) << t;
        ASSERT_EQ(TransmissionGear::fromValue(*reading->scalar()), expectedGear(state.gear)) << "t = " << t;
        seen.insert(state.gear);
    }
    EXPECT_EQ(seen, (std::set<int>{-1, 0, 1, 2, 3, 4, 5, 6, 7, 8})); // reverse, neutral and eight gears met
}

TEST(OBDEncoderRoundTripTests, FixedRowsAndSupportBitmaps) {
    const VehicleSimulation simulation;
    for (double t : simulatedTimes()) {
        const VehicleState state = simulation.state(t);
        for (const Fixed& f : fixedRows) {
            const auto bytes = OBDEncoder::encode(f.pid, state);
            ASSERT_EQ(bytes, f.bytes) << "PID " << int(f.pid) << " t = " << t;
            ASSERT_TRUE(decode(f.pid, *bytes).has_value()) << "PID " << int(f.pid); // the catalogue reads it
        }
    }
    // Each bitmap, read by the catalogue, lists exactly the parameters the encoder answers.
    for (std::uint8_t base : {0x00, 0x20, 0x40, 0x60, 0x80, 0xA0}) {
        const auto reading = decode(base, *OBDEncoder::encode(base, simulation.state(0)));
        ASSERT_TRUE(reading.has_value());
        const auto* bitmap = reading->as<PIDReading::SupportBitmap>();
        ASSERT_NE(bitmap, nullptr);
        std::set<std::uint8_t> expected;
        for (std::uint8_t pid : OBDEncoder::supportedPIDs) {
            if (pid > base && pid <= base + 32) expected.insert(pid);
        }
        EXPECT_EQ(bitmap->supported, expected) << int(base);
    }
}

TEST(OBDEncoderRoundTripTests, DistanceSinceCodesClearedIsTheCurrentSpeedOverTheWholeRuntime) {
    const VehicleSimulation simulation;
    for (double t : simulatedTimes()) {
        const VehicleState state = simulation.state(t);
        const auto reading = decode(distanceSinceCleared, *OBDEncoder::encode(distanceSinceCleared, state));
        ASSERT_TRUE(reading.has_value());
        ASSERT_NEAR(*reading->scalar(), state.speedKmh * state.runtimeSeconds / 3600, 0.5 + 1e-9) << "t = " << t;
    }
}
