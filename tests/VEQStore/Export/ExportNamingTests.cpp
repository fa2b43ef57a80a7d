#include "VEQStore/Export/ExportNaming.hpp"

#include "VEQStore/StoreFixtures.hpp"

#include <unicode/timezone.h>

namespace veq {
namespace {

using namespace std::chrono;
using testing::zone;

sys_seconds utc(int y, unsigned mo, unsigned d, unsigned h, unsigned mi, unsigned s) {
    return sys_days{year{y} / month{mo} / day{d}} + hours{h} + minutes{mi} + seconds{s};
}

TEST(ExportNaming, BaseNameIsTheLocalDateAndTime) {
    const std::tuple<ExportNaming::Date, const char*, const char*> cases[] = {
        {utc(2024, 12, 31, 23, 30, 0), "Europe/Paris", "DJI_20250101003000"},
        {utc(2024, 7, 14, 21, 59, 59) + milliseconds(999), "Europe/Paris", "DJI_20240714235959"}, // never rounded up
        {utc(2024, 1, 1, 3, 29, 59), "America/St_Johns", "DJI_20231231235959"},
        {utc(2024, 3, 31, 1, 0, 0), "Europe/Paris", "DJI_20240331030000"}, // spring change: 01:59:59 then 03:00
        {utc(2024, 1, 1, 0, 0, 0), "Australia/Lord_Howe", "DJI_20240101110000"},
    };
    for (const auto& [date, name, expected] : cases) EXPECT_EQ(ExportNaming::dji(date, zone(name)), expected) << name;
    EXPECT_EQ(ExportNaming::dji(utc(1970, 1, 1, 0, 0, 0), "tar.gz", TimeZone::utc()), "DJI_19700101000000.tar.gz");
}

TEST(ExportNaming, RangeSuffixRoundsHalvesToEven) {
    const std::tuple<double, double, const char*> cases[] = {
        {12.4, 95.6, "-12s-96s"}, {0.5, 2.5, "-0s-2s"}, {1.5, 3.5, "-2s-4s"}, {-0.4, 1e9, "--0s-1000000000s"},
        {std::nan(""), std::numeric_limits<double>::infinity(), "-nans-infs"},
    };
    for (const auto& [from, to, suffix] : cases) EXPECT_EQ(ExportNaming::rangeSuffix(from, to), suffix);
}

TEST(LocalTime, ZonesByNameAndTheProcessDefault) {
    EXPECT_FALSE(TimeZone::named("Nowhere/Bogus").has_value());
    EXPECT_FALSE(TimeZone::named("").has_value());
    const auto january = sys_days{year{2024} / 1 / 1};
    icu::TimeZone::adoptDefault(icu::TimeZone::createTimeZone("America/St_Johns"));
    EXPECT_EQ(TimeZone::current().offsets(january).total(), minutes(-210));
    EXPECT_EQ(zone("Asia/Kolkata").localDateTime(TimeZone::Date::max()).year, 2262) << "no overflow at the clock's end";
}

} // namespace
} // namespace veq
