#include "VEQStore/Export/ExportNaming.hpp"

#include <fmt/format.h>

namespace veq::ExportNaming {

namespace {

constexpr std::string_view prefix = "DJI_";

} // namespace

std::string dji(Date date, const TimeZone& timeZone) {
    const LocalDateTime local = timeZone.localDateTime(date);
    // Widths are minimums: a component longer than its width is written whole.
    return fmt::format("{}{:04}{:02}{:02}{:02}{:02}{:02}", prefix, local.year, local.month, local.day, local.hour,
                       local.minute, local.second);
}

std::string dji(Date date, std::string_view extension, const TimeZone& timeZone) {
    return fmt::format("{}.{}", dji(date, timeZone), extension);
}

std::string rangeSuffix(double from, double to) {
    // {fmt} rounds the exact binary value to nearest with ties to even, as "%.0f" does.
    return fmt::format("-{:.0f}s-{:.0f}s", from, to);
}

} // namespace veq::ExportNaming
