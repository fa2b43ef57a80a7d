#include "VEQEngine/Trip/GearEstimator.hpp"

#include <cmath>
#include <cstddef>
#include <limits>
#include <utility>

namespace veq {

GearEstimator::GearEstimator(std::vector<double> ratios, double finalDrive, double tireCircumference,
                             double tolerance)
    : ratios_(std::move(ratios)), finalDrive_(finalDrive), tireCircumference_(tireCircumference),
      tolerance_(tolerance) {}

double GearEstimator::expectedRatio(int gearIndex) const {
    if (gearIndex < 0 || gearIndex >= gearCount()) return 0;
    return finalDrive_ * (ratios_[static_cast<std::size_t>(gearIndex)] * 1000) / (tireCircumference_ * 60);
}

std::optional<int> GearEstimator::estimate(double rpm, double speedKmh) const {
    // Written so that a not-a-number input fails the test too.
    if (!(speedKmh > 5 && rpm > 400)) return std::nullopt;
    if (ratios_.empty()) return std::nullopt;

    const double measured = rpm / speedKmh;
    // The best gear starts empty, not at first gear: with a circumference of 0 every expected
    // value is infinite and every deviation not-a-number, and no gear may then be chosen.
    std::optional<int> best;
    double bestDeviation = std::numeric_limits<double>::infinity();
    for (int i = 0; i < gearCount(); ++i) {
        const double expected = expectedRatio(i);
        if (!(expected > 0)) continue;
        const double deviation = std::abs(measured - expected) / expected;
        if (deviation < bestDeviation) { // strict: on a tie the lower gear stays
            bestDeviation = deviation;
            best = i;
        }
    }
    if (!best || !(bestDeviation <= tolerance_)) return std::nullopt;
    return *best + 1;
}

} // namespace veq
