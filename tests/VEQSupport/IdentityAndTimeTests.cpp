// Identifiers, ISO 8601 times, the data folder and the resource-bundle lookup.
#include "VEQSupport/DataFolder.hpp"
#include "VEQSupport/ISO8601.hpp"
#include "VEQSupport/Resources.hpp"
#include "VEQSupport/UUID.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>

using namespace veq;
using namespace std::chrono;

TEST(UUIDTests, RandomIdentifiersAreVersion4AndDistinct) {
    std::set<UUID> seen;
    for (int i = 0; i < 1000; ++i) {
        const auto u = UUID::random();
        EXPECT_EQ(u.bytes[6] >> 4, 4);
        EXPECT_EQ(u.bytes[8] >> 6, 2);
        EXPECT_TRUE(seen.insert(u).second);
        EXPECT_EQ(UUID::parse(u.uuidString()), u);
    }
}

TEST(UUIDTests, TextForm) {
    UUID u;
    for (std::size_t i = 0; i < 16; ++i) u.bytes[i] = static_cast<std::uint8_t>(0xE0 + i);
    EXPECT_EQ(u.uuidString(), "E0E1E2E3-E4E5-E6E7-E8E9-EAEBECEDEEEF");
    EXPECT_EQ(UUID::parse("e0e1e2e3-e4e5-e6e7-e8e9-eaebecedeeef"), u);
    for (const char* bad : {"E0E1E2E3E4E5E6E7E8E9EAEBECEDEEEF", "E0E1E2E3-E4E5-E6E7-E8E9-EAEBECEDEEE",
                            "G0E1E2E3-E4E5-E6E7-E8E9-EAEBECEDEEEF", "E0E1E2E-3E4E5-E6E7-E8E9-EAEBECEDEEEF"}) {
        EXPECT_EQ(UUID::parse(bad), std::nullopt) << bad;
    }
}

TEST(ISO8601Tests, FormatTruncatesAndParseReadsBack) {
    struct Case { system_clock::time_point time; const char* whole; const char* milli; };
    const auto day = [](int y, unsigned m, unsigned d) { return system_clock::time_point{sys_days{year{y} / m / d}}; };
    const Case cases[] = {
        {day(2025, 3, 1) + 14h + 5min + 9s + 999ms, "2025-03-01T14:05:09Z", "2025-03-01T14:05:09.999Z"},
        {day(1970, 1, 1), "1970-01-01T00:00:00Z", "1970-01-01T00:00:00.000Z"},
        {day(1970, 1, 1) - 1ms, "1969-12-31T23:59:59Z", "1969-12-31T23:59:59.999Z"},
        {day(2024, 2, 29) + 23h + 59min + 59s, "2024-02-29T23:59:59Z", "2024-02-29T23:59:59.000Z"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(iso8601::format(c.time), c.whole);
        EXPECT_EQ(iso8601::format(c.time, true), c.milli);
        EXPECT_EQ(iso8601::parse(c.milli), floor<milliseconds>(c.time));
        EXPECT_EQ(iso8601::parse(c.whole), floor<seconds>(c.time));
    }
    EXPECT_EQ(iso8601::parse("2025-03-01T14:05:09.5Z"), day(2025, 3, 1) + 14h + 5min + 9s + 500ms);
    for (const char* bad : {"", "2025-03-01T14:05:09", "2025-03-01 14:05:09Z", "2025-02-30T00:00:00Z",
                            "2025-03-01T24:00:00Z", "2025-03-01T14:05:09.Z", "2025-03-01T14:05:09Zx",
                            "2025-03-01T14:05:09+00:00", "25-03-01T14:05:09Z",
                            "3620-01-31T12:00:00Z", "1500-01-01T00:00:00Z"}) { // beyond the clock: no wrap to another date
        EXPECT_EQ(iso8601::parse(bad), std::nullopt) << bad;
    }
}

TEST(DataFolderTests, FollowsXDGThenHome) {
    const auto saved = [](const char* name) -> std::optional<std::string> {
        const char* v = std::getenv(name);
        return v ? std::optional<std::string>(v) : std::nullopt;
    };
    const auto xdg = saved("XDG_DATA_HOME");
    const auto home = saved("HOME");
    ::setenv("HOME", "/home/conducteur", 1);
    ::setenv("XDG_DATA_HOME", "/data/xdg", 1);
    EXPECT_EQ(applicationDataFolder(), "/data/xdg/OskavelCar");
    ::setenv("XDG_DATA_HOME", "relative/xdg", 1); // ignored: the XDG rules want an absolute path
    EXPECT_EQ(applicationDataFolder(), "/home/conducteur/.local/share/OskavelCar");
    ::unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(applicationDataFolder(), "/home/conducteur/.local/share/OskavelCar");
    ::unsetenv("HOME");
    EXPECT_EQ(applicationDataFolder().filename(), "OskavelCar");
    EXPECT_TRUE(applicationDataFolder().is_absolute());
    for (const auto& [name, value] : {std::pair{"XDG_DATA_HOME", xdg}, std::pair{"HOME", home}}) {
        if (value) ::setenv(name, value->c_str(), 1); else ::unsetenv(name);
    }
}

TEST(ResourceBundleDeathTests, MissingBundleStopsNamingBothPlaces) {
    EXPECT_EQ(resources::bundleDirectory("Absent"), std::nullopt);
    EXPECT_EQ(resources::bundleCandidate("Absent").parent_path(), resources::executableDirectory());
    EXPECT_DEATH(resources::requireBundleDirectory("Absent"),
                 "could not load resource bundle: from /.*/OskavelCar_Absent\\.bundle or /.*/OskavelCar_Absent\\.bundle");
}
