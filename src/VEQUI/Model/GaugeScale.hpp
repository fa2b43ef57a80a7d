#pragma once

#include <QColor>

#include <array>
#include <cstdint>
#include <optional>

namespace veq {

// How one live parameter is laid out on a dial: its range, its warning and critical limits and
// the number of numbered divisions, with the arithmetic every instrument shares. Pure values;
// no operation fails or allocates.
//
// A scale whose critical limit lies below its warning limit is falling (low values are the bad
// side); every other scale is rising. A value "reaches" a limit at or beyond it on the bad side.
struct GaugeScale {
    // Red, green, blue, opacity as the GPU dial takes them.
    using RGBA = std::array<float, 4>;

    double min = 0;
    double max = 0;
    std::optional<double> warn;
    std::optional<double> critical;
    int majorTicks = 0; // the dial shows majorTicks + 1 numerals

    // The built-in scale of a mode 01 parameter; 0...255 in 8 divisions for any other.
    static GaugeScale defaultFor(std::uint8_t pid);

    bool isFalling() const;

    // Position along the sweep, 0...1; 0 for a degenerate scale (min >= max) or a NaN.
    double fraction(double value) const;
    // Where the red band begins, 0...1; 1 means no band (no limits, or a falling scale).
    double redlineFraction() const;
    // Glow strength 0...1: from 90 % of the warning limit up to the critical limit (or the end of
    // the scale). 0 on a falling scale, without a warning limit, and for a value that is not finite.
    double glow(double value) const;
    // The zone colour: critical, then warning, else the accent.
    QColor color(double value) const;
    // The same zone as the GPU's four floats; `nominal` below both limits.
    RGBA rgbaColor(double value, RGBA nominal) const;
    // The divisions a dial may draw: majorTicks, at least 1 (numerals divide by it).
    int tickCount() const;

    bool operator==(const GaugeScale&) const = default;
};

} // namespace veq
