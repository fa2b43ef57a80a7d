#include "VEQStore/ExportNaming.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <limits>

namespace veq {
namespace {

using namespace std::chrono;
using Date = ExportNaming::Date;

Date utc(int y, unsigned mo, unsigned d, unsigned h, unsigned mi, unsigned s) {
    return sys_days{year{y} / month{mo} / day{d}} + hours{h} + minutes{mi} + seconds{s};
}

TimeZone zone(const char* identifier) {
    auto found = TimeZone::named(identifier);
    if (!found) ADD_FAILURE() << "no zone " << identifier;
    return found.value_or(TimeZone::utc());
}

struct NameCase {
    Date date;
    const char* zone;
    const char* name;
};

const NameCase nameCases[] = {
    {utc(2024, 5, 1, 8, 30, 5), "UTC", "DJI_20240501083005"},
    {utc(2024, 12, 31, 23, 30, 0), "Europe/Paris", "DJI_20250101003000"},
    {utc(2024, 12, 31, 23, 30, 0), "Asia/Kolkata", "DJI_20250101050000"},
    {utc(2024, 7, 14, 21, 59, 59) + milliseconds(999), "Europe/Paris", "DJI_20240714235959"}, // never rounded up
    {utc(2024, 1, 1, 3, 29, 59), "America/St_Johns", "DJI_20231231235959"},
    {utc(2024, 7, 1, 12, 0, 0), "America/St_Johns", "DJI_20240701093000"},
    // The spring change in Paris: 01:59:59 winter time, then 03:00:00 summer time.
    {utc(2024, 3, 31, 0, 59, 59), "Europe/Paris", "DJI_20240331015959"},
    {utc(2024, 3, 31, 1, 0, 0), "Europe/Paris", "DJI_20240331030000"},
    {utc(2024, 1, 1, 0, 0, 0), "Australia/Lord_Howe", "DJI_20240101110000"},
    {utc(1970, 1, 1, 0, 0, 0), "UTC", "DJI_19700101000000"},
};

TEST(ExportNaming, BaseNameIsTheLocalDateAndTime) {
    for (const auto& c : nameCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ExportNaming::dji(c.date, zone(c.zone)), c.name);
    }
}

TEST(ExportNaming, ExtensionIsAppendedAsGiven) {
    const Date date = utc(2024, 5, 1, 8, 30, 5);
    EXPECT_EQ(ExportNaming::dji(date, "mf4", TimeZone::utc()), "DJI_20240501083005.mf4");
    EXPECT_EQ(ExportNaming::dji(date, "tar.gz", TimeZone::utc()), "DJI_20240501083005.tar.gz");
    EXPECT_EQ(ExportNaming::dji(date, "", TimeZone::utc()), "DJI_20240501083005.");
}

struct SuffixCase {
    double from;
    double to;
    const char* suffix;
};

const SuffixCase suffixCases[] = {
    {0, 59.5, "-0s-60s"},
    {12.4, 95.6, "-12s-96s"},
    {0.5, 2.5, "-0s-2s"}, // exact halves go to the even neighbour
    {1.5, 3.5, "-2s-4s"},
    {-0.4, 1e9, "--0s-1000000000s"},
    {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(), "-nans-infs"},
};

TEST(ExportNaming, RangeSuffixRoundsLikeZeroDecimals) {
    for (const auto& c : suffixCases) {
        SCOPED_TRACE(c.suffix);
        EXPECT_EQ(ExportNaming::rangeSuffix(c.from, c.to), c.suffix);
    }
}

} // namespace
} // namespace veq
