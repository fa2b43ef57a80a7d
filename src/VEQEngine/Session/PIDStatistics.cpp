#include "VEQEngine/Session/PIDStatistics.hpp"

#include "VEQSupport/Error.hpp"

#include <string>

namespace veq {

PIDStatistics::PIDStatistics(double first, std::int64_t limit)
    : current(first), min(first), max(first), sampleCount(1), history{first}, sum(first), historyLimit(limit) {
    if (limit < 0) throw Error("Limite d'historique négative : " + std::to_string(limit));
}

void PIDStatistics::record(double value) {
    current = value;
    if (value < min) min = value;
    if (value >= max) max = value;
    sum += value;
    sampleCount += 1;
    history.push_back(value);
    const auto limit = static_cast<std::size_t>(historyLimit);
    if (history.size() > limit) history.erase(history.begin(), history.end() - static_cast<std::ptrdiff_t>(limit));
}

} // namespace veq
