#pragma once

#include <array>
#include <optional>
#include <vector>

namespace veq {

// Guesses the engaged gear from engine speed and road speed, for vehicles that do not report
// their gear: the measured revolutions per km/h are compared with what each forward gear gives.
class GearEstimator {
public:
    // The nine forward ratios of a nine-speed automatic gearbox, first gear first.
    static constexpr std::array<double, 9> nineGTronic{5.35, 3.24, 2.25, 1.64, 1.21, 1.00, 0.87, 0.72, 0.60};

    // ratios: gearbox ratio of each forward gear; finalDrive: axle ratio; tireCircumference:
    // rolling circumference of the driven wheels in metres; tolerance: largest accepted relative
    // deviation (0.08 is 8 %).
    GearEstimator(std::vector<double> ratios, double finalDrive, double tireCircumference, double tolerance);

    const std::vector<double>& ratios() const { return ratios_; }
    double finalDrive() const { return finalDrive_; }
    double tireCircumference() const { return tireCircumference_; }
    double tolerance() const { return tolerance_; }
    int gearCount() const { return static_cast<int>(ratios_.size()); }

    // Engine rpm per km/h in the zero-based gear; 0 for an index outside the table.
    double expectedRatio(int gearIndex) const;

    // The gear number counted from 1, or nothing when stopped, idling or between gears.
    std::optional<int> estimate(double rpm, double speedKmh) const;

private:
    std::vector<double> ratios_;
    double finalDrive_;
    double tireCircumference_;
    double tolerance_;
};

} // namespace veq
