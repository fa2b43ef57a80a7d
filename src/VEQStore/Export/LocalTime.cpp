#include "VEQStore/Export/LocalTime.hpp"

#include <unicode/timezone.h>
#include <unicode/unistr.h>

namespace veq {

struct TimeZone::Zone {
    std::unique_ptr<const icu::TimeZone> zone;
    std::string identifier;
};

namespace {

TimeZone::Zone adopt(icu::TimeZone* created) {
    // ICU answers an unknown identifier (or a failed host detection) with "Etc/Unknown", which
    // behaves as UTC; allocation failure is the only null.
    if (created == nullptr) created = icu::TimeZone::getGMT()->clone();
    icu::UnicodeString id;
    created->getID(id);
    std::string identifier;
    id.toUTF8String(identifier);
    return {std::unique_ptr<const icu::TimeZone>(created), std::move(identifier)};
}

// date + offset, held at the clock's ends: a drive file may carry a date as late as the clock
// can hold, and signed overflow has no defined result.
TimeZone::Date shifted(TimeZone::Date date, std::chrono::milliseconds offset) {
    using Rep = TimeZone::Date::rep;
    const auto delta = std::chrono::duration_cast<TimeZone::Date::duration>(offset).count();
    Rep result = 0;
    if (__builtin_add_overflow(date.time_since_epoch().count(), delta, &result)) {
        return delta > 0 ? TimeZone::Date::max() : TimeZone::Date::min();
    }
    return TimeZone::Date(TimeZone::Date::duration(result));
}

} // namespace

TimeZone TimeZone::current() { return TimeZone(std::make_shared<const Zone>(adopt(icu::TimeZone::createDefault()))); }

TimeZone TimeZone::utc() { return TimeZone(std::make_shared<const Zone>(adopt(icu::TimeZone::getGMT()->clone()))); }

std::optional<TimeZone> TimeZone::named(std::string_view identifier) {
    const auto id = icu::UnicodeString::fromUTF8(icu::StringPiece(identifier.data(),
                                                                  static_cast<std::int32_t>(identifier.size())));
    std::unique_ptr<icu::TimeZone> zone(icu::TimeZone::createTimeZone(id));
    if (zone == nullptr || *zone == icu::TimeZone::getUnknown()) return std::nullopt;
    return TimeZone(std::make_shared<const Zone>(adopt(zone.release())));
}

const std::string& TimeZone::identifier() const { return zone_->identifier; }

TimeZone::Offsets TimeZone::offsets(Date date) const {
    const double udate = std::chrono::duration<double, std::milli>(date.time_since_epoch()).count();
    std::int32_t raw = 0;
    std::int32_t dst = 0;
    UErrorCode status = U_ZERO_ERROR;
    zone_->zone->getOffset(udate, false, raw, dst, status);
    if (U_FAILURE(status)) return {};
    return {std::chrono::milliseconds(raw), std::chrono::milliseconds(dst)};
}

LocalDateTime TimeZone::localDateTime(Date date) const {
    using namespace std::chrono;
    const auto local = shifted(date, offsets(date).total());
    const auto day = floor<days>(local);
    const year_month_day ymd{day};
    const hh_mm_ss time{local - day};
    return {static_cast<int>(ymd.year()),
            static_cast<unsigned>(ymd.month()),
            static_cast<unsigned>(ymd.day()),
            static_cast<unsigned>(time.hours().count()),
            static_cast<unsigned>(time.minutes().count()),
            static_cast<unsigned>(time.seconds().count()),
            duration_cast<nanoseconds>(time.subseconds())};
}

} // namespace veq
