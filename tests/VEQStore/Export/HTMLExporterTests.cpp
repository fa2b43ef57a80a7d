#include "VEQStore/Export/HTMLExporter.hpp"

#include "VEQStore/StoreFixtures.hpp"
#include "TestSupport/DefaultTimeZone.hpp"
#include "TestSupport/FrenchLocale.hpp"

#include <fmt/format.h>

#include <cmath>

namespace veq {
namespace {

using namespace testing;
using Series = std::vector<std::pair<double, float>>;

std::size_t occurrences(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) ++n;
    return n;
}

std::string between(const std::string& text, const std::string& from, const std::string& to) {
    const auto start = text.find(from);
    if (start == std::string::npos) return "<" + from + " missing>";
    const auto end = text.find(to, start + from.size());
    return text.substr(start + from.size(), end - start - from.size());
}

TEST(HTMLExporterNumbers, OneDecimalBelowAHundredElseRoundedIntegerAndDurations) {
    // Not finite, or too large for a 64-bit integer: the one-decimal form, never a conversion.
    const std::pair<float, const char*> numbers[] = {
        {99.96f, "100.0"}, {-99.94f, "-99.9"}, {100.4f, "100"}, {-150.5f, "-151"}, {-0.04f, "-0.0"},
        {9223371487098961920.0f, "9223371487098961920"}, {std::nanf(""), "nan"}, {-kInfF, "-inf"},
        {9223372036854775808.0f, "9223372036854775808.0"}, {-1e20f, "-100000002004087734272.0"},
    };
    for (const auto& [value, text] : numbers) EXPECT_EQ(HTMLExporter::number(value), text) << value;
    const std::pair<double, const char*> durations[] = {
        {59.99, "0min 59s"}, {3725, "1h 02min 05s"}, {std::nan(""), "0min 00s"},
        {std::numeric_limits<double>::infinity(), "2562047788015215h 30min 07s"},
    };
    for (const auto& [seconds, text] : durations) EXPECT_EQ(HTMLExporter::duration(seconds), text) << seconds;
}

TEST(HTMLExporterChart, PathOfTheBucketMaximaScaledIntoTheBox) {
    const std::string empty = "<svg viewBox=\"0 0 800 120\"></svg>";
    auto path = [](const std::string& points, const char* colour) {
        return "<svg viewBox=\"0 0 800 120\" preserveAspectRatio=\"none\" role=\"img\">\n<path d=\"" + points +
               "\" fill=\"none\" stroke=\"" + colour + "\" stroke-width=\"1.5\"/>\n</svg>";
    };
    const std::tuple<const char*, Series, double, bool, std::string> cases[] = {
        {"zero duration", {{0, 1}, {0, 2}}, 0, false, empty},
        {"GPS colour", {{0, 0}, {10, 10}}, 10, true, path("M6.0 114.0 L794.0 6.0 ", "#58B7FF")},
        // Four samples, four buckets over 8 s: the first two share bucket 0 (its maximum kept),
        // bucket 2 is empty and repeats bucket 1.
        {"bucket maximum and carried value", {{0, 2}, {1, 4}, {3, 0}, {8, 1}}, 8, false,
         path("M6.0 6.0 L268.7 114.0 L531.3 114.0 L794.0 87.0 ", "#00E5FF")},
        {"samples past the duration fall in the last bucket", {{0, 1}, {1e12, 3}}, 1, false,
         path("M6.0 114.0 L794.0 6.0 ", "#00E5FF")},
    };
    for (const auto& [name, series, duration, gps, expected] : cases) EXPECT_EQ(HTMLExporter::chart(series, duration, gps), expected) << name;
}

TEST(HTMLExporterChart, AtMost400PointsWhateverTheDriveLength) {
    for (std::size_t samples : {399u, 400u, 200'000u}) {
        Series series;
        for (std::size_t i = 0; i < samples; ++i) series.push_back({double(i) * 0.25, float(i % 37)});
        const std::string svg = HTMLExporter::chart(series, series.back().first, false);
        EXPECT_EQ(occurrences(svg, "M"), 1u) << samples;
        EXPECT_EQ(occurrences(svg, "L"), std::min<std::size_t>(samples, HTMLExporter::maxChartPoints) - 1) << samples;
    }
}

TEST(HTMLExporterPage, MatchesTheGoldenReportWhateverTheProcessLocale) {
    testing::DefaultTimeZone zone("Europe/Paris");
    const std::string golden = dataFile("report.html");
    EXPECT_EQ(HTMLExporter::page(gaugeDrive(), "Essai & <route>"), golden);

    testing::FrenchLocale french;
    ASSERT_TRUE(french.active()) << "fr_FR.UTF-8 is missing: scripts/install-deps generates it";
    EXPECT_EQ(HTMLExporter::page(gaugeDrive(), "Essai & <route>"), golden);
}

TEST(HTMLExporterPage, TitleAndLeftOutChannels) {
    testing::DefaultTimeZone zone("UTC");
    EXPECT_NE(HTMLExporter::page(makeDrive({0x0D, 240}, {}), "Vide").find(" · 2 canaux · 0 lignes</p>"), std::string::npos);
    // Upper case covers the whole escaped title, accents and ligatures included.
    const std::string titled = HTMLExporter::page(makeDrive({}, {}), "Route d'été & <ß>");
    EXPECT_EQ(between(titled, "<title>", "</title>"), "Route d'été &amp; &lt;ß&gt;");
    EXPECT_EQ(between(titled, "<h1>", "</h1>"), "ROUTE D'ÉTÉ &AMP; &LT;SS&GT;");
    // A channel without a value gets neither card nor row; names are escaped.
    auto drive = makeDrive({0x0D, 0x0C}, {{0, {kNone, 800.0f}}, {1000, {kNone, 900.0f}}});
    drive.channels[1].name = "Régime <moteur> & co";
    const std::string page = HTMLExporter::page(drive, "t");
    EXPECT_EQ(occurrences(page, "<div class=\"card\">"), 2u);
    EXPECT_EQ(page.find("ch13"), std::string::npos);
    EXPECT_EQ(occurrences(page, "Régime &lt;moteur&gt; &amp; co"), 2u);
}

// A constant value over a long drive has that value as its mean: the sum keeps every digit.
TEST(HTMLExporterPage, MeanOfALongDriveIsExact) {
    testing::DefaultTimeZone zone("UTC");
    std::vector<TelemetryFile::Record> records;
    for (std::uint32_t n = 0; n < 8 * 3600 * 4; ++n) records.push_back({n * 250, {12345.0f}}); // 8 h at 4 Hz
    const std::string page = HTMLExporter::page(makeDrive({0x0C}, std::move(records)), "t");
    EXPECT_NE(page.find("min 12345 · moy 12345 · max 12345 tr/min"), std::string::npos);
    EXPECT_NE(page.find("<td>12345</td><td>12345</td><td>12345</td>"), std::string::npos);
}

TEST(HTMLExporterPage, FrenchStartDateInTheLocalZoneWhateverTheLocale) {
    using namespace std::chrono;
    const char* months[] = {"janvier", "février", "mars",      "avril",   "mai",      "juin",
                            "juillet", "août",    "septembre", "octobre", "novembre", "décembre"};
    // The local hour of 12:05:07 UTC on the 9th of each month of 2026.
    const std::pair<const char*, std::array<int, 12>> zones[] = {
        {"Europe/Paris", {13, 13, 13, 14, 14, 14, 14, 14, 14, 14, 13, 13}}, {"America/Los_Angeles", {4, 4, 5, 5, 5, 5, 5, 5, 5, 5, 4, 4}}};
    testing::FrenchLocale french;
    for (const auto& [name, localHours] : zones) {
        testing::DefaultTimeZone zone(name);
        for (unsigned m = 1; m <= 12; ++m) {
            const auto start = sys_days(year(2026) / month(m) / day(9)) + hours(12) + minutes(5) + seconds(7);
            const std::string page = HTMLExporter::page(makeDrive({}, {}, time_point_cast<system_clock::duration>(start)), "t");
            EXPECT_EQ(between(page, "Début : ", "\n"), fmt::format("9 {} 2026 à {:02}:05:07", months[m - 1], localHours[m - 1])) << name;
        }
    }
}

TEST(HTMLExporterReaders, TidyFindsNothingToReport) {
    VEQ_REQUIRE_TOOL("tidy");
    testing::DefaultTimeZone zone("Europe/Paris");
    testing::TemporaryFolder folder;
    for (const auto& drive : {gaugeDrive(), makeDrive({0x0D}, {})}) {
        testing::writeFile(folder / "report.html", HTMLExporter::page(drive, "Trajet & <essai> \"A\""));
        const auto tidy = testing::runTool("tidy -q -e -utf8 " + testing::shellQuoted((folder / "report.html").string()) + " 2>&1");
        EXPECT_EQ(tidy.exitStatus, 0) << tidy.output;
    }
}

} // namespace
} // namespace veq
