#include "VEQTransport/OBDEncoder.hpp"

#include <algorithm>
#include <cmath>

namespace veq::OBDEncoder {

namespace {

using Bytes = std::vector<std::uint8_t>;
using Encoding = Bytes (*)(const VehicleState&);

Bytes one(double x) { return {byte(x)}; }
Bytes two(double x) {
    const auto w = word(x);
    return {w[0], w[1]};
}

// Bit 31 - i is set when base + 1 + i is supported.
Bytes supportBitmap(std::uint8_t base) {
    std::uint32_t bits = 0;
    for (unsigned i = 0; i < 32; ++i) {
        const unsigned pid = base + 1u + i;
        if (pid <= 0xFF && isSupported(static_cast<std::uint8_t>(pid))) bits |= 1u << (31 - i);
    }
    return {static_cast<std::uint8_t>(bits >> 24), static_cast<std::uint8_t>(bits >> 16),
            static_cast<std::uint8_t>(bits >> 8), static_cast<std::uint8_t>(bits)};
}

// Transmission ratio per gear, neutral first.
constexpr std::array<double, 10> gearRatios{0.0, 5.35, 3.24, 2.25, 1.64, 1.21, 1.00, 0.87, 0.72, 0.60};

Bytes transmissionGear(const VehicleState& s) {
    if (s.gear < 0) return {0x00, 0x0F, 0x12, 0xC0}; // gear code 15 (reverse), ratio 4.800
    const int g = std::min(s.gear, 9);
    const auto ratio = word(gearRatios[static_cast<std::size_t>(g)] * 1000);
    return {0x00, static_cast<std::uint8_t>(g), ratio[0], ratio[1]};
}

struct Row {
    std::uint8_t pid;
    Encoding encode;
};

// Every supported parameter but the support rows, in the order of the encoding table.
// clang-format off
const Row rows[] = {
    {0x01, [](const VehicleState&)   { return Bytes{0x00, 0x07, 0x00, 0x00}; }}, // 3 monitors complete; the emulator sets lamp and codes
    {0x03, [](const VehicleState&)   { return Bytes{0x02, 0x00}; }},             // closed loop; system 2 absent
    {0x04, [](const VehicleState& s) { return one(s.engineLoadPercent * 255 / 100); }},
    {0x05, [](const VehicleState& s) { return one(s.coolantC + 40); }},
    {0x06, [](const VehicleState& s) { return one((s.shortTrimPercent + 100) * 128 / 100); }},
    {0x07, [](const VehicleState& s) { return one((s.longTrimPercent + 100) * 128 / 100); }},
    {0x0B, [](const VehicleState& s) { return one(s.mapKpa); }},
    {0x0C, [](const VehicleState& s) { return two(s.rpm * 4); }},
    {0x0D, [](const VehicleState& s) { return one(s.speedKmh); }},
    {0x0E, [](const VehicleState& s) { return one((s.timingAdvanceDeg + 64) * 2); }},
    {0x0F, [](const VehicleState& s) { return one(s.intakeAirC + 40); }},
    {0x10, [](const VehicleState& s) { return two(s.mafGps * 100); }},
    {0x11, [](const VehicleState& s) { return one(s.throttlePercent * 255 / 100); }},
    {0x45, [](const VehicleState& s) { return one(s.throttlePercent * 255 / 100); }},
    {0x47, [](const VehicleState& s) { return one(s.throttlePercent * 255 / 100); }},
    {0x13, [](const VehicleState&)   { return Bytes{0x03}; }},                   // O2 sensors 1 and 2 of bank 1
    {0x1C, [](const VehicleState&)   { return Bytes{0x06}; }},                   // EOBD
    {0x1F, [](const VehicleState& s) { return two(s.runtimeSeconds); }},
    {0x21, [](const VehicleState& s) { return two(s.distanceMILkm); }},
    {0x23, [](const VehicleState& s) { return two(s.railPressureKpa / 10); }},
    {0x2C, [](const VehicleState& s) { return one(s.egrCommandedPercent * 255 / 100); }},
    {0x2F, [](const VehicleState& s) { return one(s.fuelLevelPercent * 255 / 100); }},
    {0x31, [](const VehicleState& s) { return two(s.speedKmh * s.runtimeSeconds / 3600); }}, // as if at this speed all along
    {0x33, [](const VehicleState& s) { return one(s.baroKpa); }},
    {0x42, [](const VehicleState& s) { return two(s.controlVoltage * 1000); }},
    {0x43, [](const VehicleState& s) { return two(s.engineLoadPercent * 255 / 100); }},
    {0x44, [](const VehicleState& s) { return two(s.lambda * 32768); }},
    {0x46, [](const VehicleState& s) { return one(s.ambientC + 40); }},
    {0x49, [](const VehicleState& s) { return one(s.acceleratorPercent * 255 / 100); }},
    {0x4A, [](const VehicleState& s) { return one(s.acceleratorPercent * 255 / 100); }},
    {0x51, [](const VehicleState&)   { return Bytes{0x11}; }},                   // hybrid petrol
    {0x5C, [](const VehicleState& s) { return one(s.oilC + 40); }},
    {0x5E, [](const VehicleState& s) { return two(s.fuelRateLph * 20); }},
    {0xA4, transmissionGear},
};
// clang-format on

} // namespace

static_assert(std::is_sorted(supportedPIDs.begin(), supportedPIDs.end()));

bool isSupported(std::uint8_t pid) {
    return std::binary_search(supportedPIDs.begin(), supportedPIDs.end(), pid);
}

std::uint8_t byte(double x) {
    if (std::isnan(x)) return 0;
    return static_cast<std::uint8_t>(std::clamp(std::round(x), 0.0, 255.0));
}

std::array<std::uint8_t, 2> word(double x) {
    if (std::isnan(x)) return {0, 0};
    const auto w = static_cast<std::uint16_t>(std::clamp(std::round(x), 0.0, 65535.0));
    return {static_cast<std::uint8_t>(w >> 8), static_cast<std::uint8_t>(w & 0xFF)};
}

std::uint8_t truncatedByte(double x) {
    if (std::isnan(x)) return 0;
    return static_cast<std::uint8_t>(std::clamp(x, 0.0, 255.0));
}

std::optional<std::vector<std::uint8_t>> encode(std::uint8_t pid, const VehicleState& state) {
    if (!isSupported(pid)) return std::nullopt;
    if (pid % 0x20 == 0) return supportBitmap(pid);
    for (const Row& row : rows) {
        if (row.pid == pid) return row.encode(state);
    }
    return std::nullopt;
}

} // namespace veq::OBDEncoder
