#pragma once

#include <cstdint>
#include <vector>

namespace veq {

// Running statistics of one parameter: latest value, extremes, count, mean and the most
// recent values (oldest first).
struct PIDStatistics {
    double current = 0;
    double min = 0;
    double max = 0;
    std::int64_t sampleCount = 0;
    std::vector<double> history;
    double sum = 0;
    std::int64_t historyLimit = 0;

    // Statistics of one value. The first value is kept in the history even with a limit of 0;
    // a negative limit is a caller error and throws veq::Error.
    PIDStatistics(double first, std::int64_t historyLimit);

    // Adds one value; a NaN becomes `current`, leaves min and max alone and makes the sum NaN.
    void record(double value);

    // sum / sampleCount, 0 before any value.
    double average() const { return sampleCount == 0 ? 0 : sum / static_cast<double>(sampleCount); }

    bool operator==(const PIDStatistics&) const = default;
};

} // namespace veq
