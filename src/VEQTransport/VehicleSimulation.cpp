#include "VEQTransport/VehicleSimulation.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace veq {

namespace {

constexpr double cycleSeconds = 120;

// Driving demand, 0 to 1, at cycle position `c`.
double demand(double c) {
    double d = 0.02;
    if (c < 15) {
        d = 0.02;
    } else if (c < 45) {
        d = (c - 15) / 30 * 0.8;
    } else if (c < 90) {
        d = 0.55 + 0.2 * std::sin((c - 45) / 45 * std::numbers::pi * 3);
    } else if (c < 110) {
        d = std::max(0.6 * (1 - (c - 90) / 20), 0.02);
    }
    return std::clamp(d, 0.0, 1.0);
}

} // namespace

int VehicleSimulation::gear(double v) {
    // Upper bound (exclusive) of gears 0 to 8; anything faster is ninth.
    constexpr std::array<double, 9> upperBounds{3, 18, 32, 48, 64, 82, 100, 122, 145};
    for (std::size_t g = 0; g < upperBounds.size(); ++g) {
        if (v < upperBounds[g]) return static_cast<int>(g);
    }
    return 9;
}

VehicleState VehicleSimulation::state(double t) const {
    const double c = std::fmod(t, cycleSeconds);
    const double d = demand(c);
    const double w = 1 - std::exp(-t / 90);

    VehicleState s;
    s.runtimeSeconds = t;
    s.rpm = idleRPM + 5550 * d;
    s.speedKmh = 175 * std::max(0.0, (d - 0.12) / 0.88);
    s.throttlePercent = 14 + 70 * d;
    s.acceleratorPercent = 8 + 82 * d;
    s.engineLoadPercent = 12 + 78 * d;
    s.coolantC = 21 + 68 * w + 6 * d;
    s.oilC = 21 + 77 * w + 10 * d;
    s.intakeAirC = 27 + 18 * d;
    s.ambientC = 21;
    s.mafGps = 4 + 78 * (d * d);
    s.mapKpa = 101.3 + 130 * d;
    s.baroKpa = 101.3;
    s.boostKpa = 150 * d;
    s.railPressureKpa = 5000 + 20000 * d;
    s.controlVoltage = 14.1 + 0.15 * std::sin(0.7 * t) - 0.2 * d;
    s.fuelLevelPercent = 72 - 6 * t / 3600;
    s.fuelRateLph = 1.5 + 28 * d;
    s.lambda = 1 - 0.3 * std::max(0.0, d - 0.6);
    s.timingAdvanceDeg = 8 + 18 * d;
    s.shortTrimPercent = 1.6 * std::sin(0.5 * t);
    s.longTrimPercent = -2.3;
    s.egrCommandedPercent = std::max(0.0, 30 - 30 * d);
    s.distanceMILkm = 0;
    s.gear = (c >= 113 && c < 118) ? -1 : gear(s.speedKmh);
    return s;
}

} // namespace veq
