#include "VEQStore/LocalTime.hpp"

#include <gtest/gtest.h>
#include <unicode/timezone.h>

#include <chrono>

namespace veq {
namespace {

using namespace std::chrono;
using Date = TimeZone::Date;

Date utc(int y, unsigned mo, unsigned d, unsigned h, unsigned mi, unsigned s) {
    return sys_days{year{y} / month{mo} / day{d}} + hours{h} + minutes{mi} + seconds{s};
}

struct ZoneCase {
    const char* zone;
    Date at;
    int standardMinutes;
    int daylightMinutes;
    LocalDateTime local;
};

const ZoneCase zoneCases[] = {
    {"Europe/Paris", utc(2024, 7, 1, 12, 0, 0), 60, 60, {2024, 7, 1, 14, 0, 0}},
    {"Europe/Paris", utc(2024, 1, 15, 12, 0, 0), 60, 0, {2024, 1, 15, 13, 0, 0}},
    // The spring change: one second before 01:00 UTC the clocks still read winter time.
    {"Europe/Paris", utc(2024, 3, 31, 0, 59, 59), 60, 0, {2024, 3, 31, 1, 59, 59}},
    {"Europe/Paris", utc(2024, 3, 31, 1, 0, 0), 60, 60, {2024, 3, 31, 3, 0, 0}},
    {"Asia/Kolkata", utc(2024, 7, 1, 12, 0, 0), 330, 0, {2024, 7, 1, 17, 30, 0}},
    // Half an hour of daylight saving on top of a half-hour standard offset.
    {"Australia/Lord_Howe", utc(2024, 1, 1, 0, 0, 0), 630, 30, {2024, 1, 1, 11, 0, 0}},
    {"America/St_Johns", utc(2024, 1, 1, 3, 29, 59), -210, 0, {2023, 12, 31, 23, 59, 59}},
    {"America/St_Johns", utc(2024, 7, 1, 12, 0, 0), -210, 60, {2024, 7, 1, 9, 30, 0}},
    {"UTC", utc(1970, 1, 1, 0, 0, 0), 0, 0, {1970, 1, 1, 0, 0, 0}},
};

TEST(LocalTime, OffsetsAndCalendarFieldsFollowTheZoneAtTheDate) {
    for (const auto& c : zoneCases) {
        SCOPED_TRACE(std::string(c.zone) + " " + std::to_string(c.at.time_since_epoch().count()));
        const auto zone = TimeZone::named(c.zone);
        ASSERT_TRUE(zone.has_value());
        const auto offsets = zone->offsets(c.at);
        EXPECT_EQ(duration_cast<minutes>(offsets.standard).count(), c.standardMinutes);
        EXPECT_EQ(duration_cast<minutes>(offsets.daylightSaving).count(), c.daylightMinutes);
        EXPECT_EQ(zone->localDateTime(c.at), c.local);
    }
}

TEST(LocalTime, KeepsTheFractionOfTheSecond) {
    const auto zone = TimeZone::named("Europe/Paris");
    ASSERT_TRUE(zone.has_value());
    const auto local = zone->localDateTime(utc(2024, 7, 14, 21, 59, 59) + milliseconds(999));
    EXPECT_EQ(local.second, 59u);
    EXPECT_EQ(local.hour, 23u);
    EXPECT_EQ(local.subsecond, milliseconds(999));
}

TEST(LocalTime, UnknownZoneIsNothing) {
    EXPECT_FALSE(TimeZone::named("Nowhere/Bogus").has_value());
    EXPECT_FALSE(TimeZone::named("").has_value());
}

TEST(LocalTime, CurrentZoneIsTheProcessDefault) {
    icu::TimeZone::adoptDefault(icu::TimeZone::createTimeZone("Asia/Kolkata"));
    EXPECT_EQ(TimeZone::current().identifier(), "Asia/Kolkata");
    EXPECT_EQ(TimeZone::current().offsets(utc(2024, 1, 1, 0, 0, 0)).total(), minutes(330));
    icu::TimeZone::adoptDefault(icu::TimeZone::createTimeZone("Europe/Paris"));
    EXPECT_EQ(TimeZone::current().identifier(), "Europe/Paris");
}

TEST(LocalTime, LatestDateTheClockHoldsDoesNotOverflow) {
    const auto zone = TimeZone::named("Asia/Kolkata");
    ASSERT_TRUE(zone.has_value());
    const auto local = zone->localDateTime(Date::max());
    EXPECT_EQ(local.year, 2262);
}

} // namespace
} // namespace veq
