#include "VEQUI/Views/Kit/LogMarkTexts.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>

namespace veq::LogMarkTexts {

QString elapsedLabel(Date since, Date now) {
    const double seconds = std::max(0.0, std::chrono::duration<double>(now - since).count());
    // Whole seconds; a span beyond any clock's reach is held at a bound rather than overflowing.
    const auto n = static_cast<long long>(std::min(seconds, 9.0e15));
    return QString::fromStdString(fmt::format("{:02d}:{:02d}", n / 60, n % 60));
}

double runningDotOpacity(Date since, Date tick) {
    const double seconds = std::chrono::duration<double>(tick - since).count();
    const double fraction = seconds - std::floor(seconds);
    return fraction >= 0.5 ? 0.25 : 1.0;
}

QString savedLogText(std::size_t records, double seconds) {
    return QString::fromStdString(fmt::format("\u2713 {} lignes \u00B7 {:.0f} s", records, seconds));
}

} // namespace veq::LogMarkTexts
