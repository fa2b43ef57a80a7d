#include "VEQEngine/Trip/DemoDrive.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <numbers>

namespace veq {

namespace {

struct KeyPoint {
    double time;  // seconds into the lap
    double speed; // km/h
};

constexpr std::array<KeyPoint, 14> speedProfile{{
    { 0,   0},
    { 4,  62},
    { 8, 118},
    {12, 168},
    {15, 195},
    {18,  96},
    {22,  88},
    {26, 104},
    {30,  72},
    {34, 121},
    {38, 158},
    {42, 176},
    {45, 104},
    {48,   0},
}};

constexpr double standardGravity = 9.80665;

double gaussian(double c, double centre, double width) {
    const double x = (c - centre) / width;
    return std::exp(-(x * x));
}

// The engine speed per km/h of the gear the drive is in at a speed.
double rpmDivisor(double speedKmh) {
    if (speedKmh < 32) return 16;
    if (speedKmh < 62) return 26;
    if (speedKmh < 98) return 36;
    if (speedKmh < 140) return 46;
    return 56;
}

} // namespace

double DemoDrive::speed(double at) {
    const double c = std::fmod(at, lapDuration); // keeps the sign: a negative time stays negative
    for (std::size_t i = 0; i + 1 < speedProfile.size(); ++i) {
        const KeyPoint a = speedProfile[i];
        const KeyPoint b = speedProfile[i + 1];
        if (a.time <= c && c <= b.time) {
            const double u = (c - a.time) / (b.time - a.time);
            return a.speed + (0.5 - 0.5 * std::cos(std::numbers::pi * u)) * (b.speed - a.speed);
        }
    }
    return 0;
}

double DemoDrive::lateral(double c) {
    return 9.1 * gaussian(c, 20, 4) - 10.4 * gaussian(c, 28, 3) - 8.2 * gaussian(c, 32, 3) +
           7.6 * gaussian(c, 44, 3);
}

DemoDrive::Frame DemoDrive::frame(double t) const {
    const double c = std::fmod(t, lapDuration);
    Frame f{};
    f.speedKmh = speed(c);

    const double a = (speed(c + 0.05) - speed(c - 0.05)) / 0.1 / 3.6;
    f.longitudinal = a;

    f.rpm = std::max(std::min(f.speedKmh * 1000 / rpmDivisor(f.speedKmh), 6800.0), 850.0);
    f.throttle = std::max(std::min(a * 14 + 12, 100.0), 0.0);
    f.load = std::max(std::min(f.throttle * 0.85 + 10, 100.0), 8.0);
    const double p = std::clamp((f.load - 25) / 70, -0.55, 1.15);
    f.manifoldKPa = 101.3 + 100 * p;
    f.barometricKPa = 97.4;

    // The engine warms up over the whole drive, not per lap.
    f.coolant = std::min(62 + 0.55 * t, 96.0);
    f.oil = std::min(55 + 0.75 * t, 112.0);

    f.lateral = lateral(c);
    f.gForce = std::sqrt(a * a + f.lateral * f.lateral) / standardGravity + 1.0;
    const double deceleration = -a / standardGravity;
    f.braking = deceleration > 0.05 ? deceleration : 0;

    const double lapFraction = c / lapDuration;
    f.latitude = 46.5197 + 0.0042 * std::sin(2 * std::numbers::pi * lapFraction);
    f.longitude = 6.6323 + 0.0061 * std::cos(2 * std::numbers::pi * lapFraction);
    f.altitude = 412 + 18 * std::sin(4 * std::numbers::pi * lapFraction);
    return f;
}

} // namespace veq
