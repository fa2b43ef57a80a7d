#include "VEQUI/Model/GaugeScale.hpp"

#include "VEQUI/Model/VEQTheme.hpp"

#include <algorithm>
#include <cmath>

namespace veq {

namespace {

struct ScaleRow {
    std::uint8_t pid;
    double min;
    double max;
    std::optional<double> warn;
    std::optional<double> critical;
    int majorTicks;
};

constexpr std::nullopt_t none = std::nullopt;

// clang-format off
constexpr std::array<ScaleRow, 16> defaultScales{{
    // pid    min    max    warn    critical  ticks
    {0x04,    0,   100,    90,     none,     10},  // calculated engine load, %
    {0x05,   40,   130,   112,     120,       9},  // coolant temperature, °C
    {0x0B,    0,   350,   300,     none,      7},  // intake manifold pressure, kPa
    {0x0C,    0,  7000,  6000,     6500,      7},  // engine speed, rpm
    {0x0D,    0,   260,  none,     none,     13},  // vehicle speed, km/h
    {0x0F,  -20,    80,  none,     none,     10},  // intake air temperature, °C
    {0x10,    0,   400,  none,     none,      8},  // air flow rate, g/s
    {0x11,    0,   100,  none,     none,     10},  // throttle position, %
    {0x2F,    0,   100,  none,     none,     10},  // fuel tank level, %
    {0x42,   11,    15,    12.0,   11.8,      8},  // control module voltage, V (falling)
    {0x43,    0,   100,    90,     none,     10},  // absolute load, %
    {0x45,    0,   100,  none,     none,     10},  // relative throttle position, %
    {0x46,  -20,    80,  none,     none,     10},  // ambient air temperature, °C
    {0x49,    0,   100,  none,     none,     10},  // accelerator pedal position D, %
    {0x5C,   40,   150,   125,     135,      11},  // engine oil temperature, °C
    {0x5E,    0,    60,  none,     none,      6},  // engine fuel rate, L/h
}};
// clang-format on

constexpr ScaleRow otherParameters{0, 0, 255, none, none, 8};

constexpr GaugeScale::RGBA criticalRGBA{1.0F, 0.23137255F, 0.30588236F, 1.0F}; // #FF3B4E
constexpr GaugeScale::RGBA warningRGBA{1.0F, 0.6901961F, 0.1254902F, 1.0F};    // #FFB020

// A ratio clamped to 0...1, a NaN counting as 0.
double clampedFraction(double q) {
    if (!(q >= 0)) return 0;
    return q < 1 ? q : 1;
}

enum class Zone { nominal, warning, critical };

Zone zone(const GaugeScale& scale, double value) {
    const bool falling = scale.isFalling();
    const auto reaches = [&](double limit) { return falling ? value <= limit : value >= limit; };
    if (scale.critical && reaches(*scale.critical)) return Zone::critical;
    if (scale.warn && reaches(*scale.warn)) return Zone::warning;
    return Zone::nominal;
}

} // namespace

GaugeScale GaugeScale::defaultFor(std::uint8_t pid) {
    const auto* row = std::find_if(defaultScales.begin(), defaultScales.end(),
                                   [pid](const ScaleRow& r) { return r.pid == pid; });
    const ScaleRow& r = row != defaultScales.end() ? *row : otherParameters;
    return {r.min, r.max, r.warn, r.critical, r.majorTicks};
}

bool GaugeScale::isFalling() const { return critical && warn && *critical < *warn; }

double GaugeScale::fraction(double value) const {
    if (!(min < max)) return 0;
    return clampedFraction((value - min) / (max - min));
}

double GaugeScale::redlineFraction() const {
    if (!warn && !critical) return 1;
    if (isFalling()) return 1;
    if (!(min < max)) return 0;
    const double limit = critical ? *critical : *warn;
    return clampedFraction((limit - min) / (max - min));
}

double GaugeScale::glow(double value) const {
    if (!warn || isFalling()) return 0;
    // A NaN would reach the GPU as a NaN uniform.
    if (!std::isfinite(value)) return 0;
    const double threshold = 0.9 * *warn;
    if (value < threshold) return 0;
    const double top = critical ? *critical : max;
    double span = top - threshold;
    if (!(span >= 0.001)) span = 0.001;
    const double strength = std::min((value - threshold) / span, 1.0);
    return std::isnan(strength) ? 0 : strength;
}

QColor GaugeScale::color(double value) const {
    switch (zone(*this, value)) {
    case Zone::critical: return VEQ::critical();
    case Zone::warning: return VEQ::warning();
    case Zone::nominal: break;
    }
    return VEQ::accent();
}

GaugeScale::RGBA GaugeScale::rgbaColor(double value, RGBA nominal) const {
    switch (zone(*this, value)) {
    case Zone::critical: return criticalRGBA;
    case Zone::warning: return warningRGBA;
    case Zone::nominal: break;
    }
    return nominal;
}

int GaugeScale::tickCount() const { return std::max(1, majorTicks); }

} // namespace veq
