#include "VEQStore/LocalTime.hpp"

#include <gtest/gtest.h>
#include <unicode/timezone.h>

#include <chrono>

// Offsets and calendar fields per zone are checked through their users: the export names and
// the MDF header's zone fields.
namespace veq {
namespace {

using namespace std::chrono;

TEST(LocalTime, UnknownZoneIsNothing) {
    EXPECT_FALSE(TimeZone::named("Nowhere/Bogus").has_value());
    EXPECT_FALSE(TimeZone::named("").has_value());
    EXPECT_EQ(TimeZone::named("Europe/Paris")->identifier(), "Europe/Paris");
}

TEST(LocalTime, CurrentZoneIsTheProcessDefault) {
    const auto january = sys_days{year{2024} / 1 / 1};
    icu::TimeZone::adoptDefault(icu::TimeZone::createTimeZone("Asia/Kolkata"));
    EXPECT_EQ(TimeZone::current().offsets(january).total(), minutes(330));
    icu::TimeZone::adoptDefault(icu::TimeZone::createTimeZone("America/St_Johns"));
    EXPECT_EQ(TimeZone::current().offsets(january).total(), minutes(-210));
}

TEST(LocalTime, LatestDateTheClockHoldsDoesNotOverflow) {
    const auto local = TimeZone::named("Asia/Kolkata")->localDateTime(TimeZone::Date::max());
    EXPECT_EQ(local.year, 2262);
}

} // namespace
} // namespace veq
