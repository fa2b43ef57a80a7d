#include "VEQStore/Exporters.hpp"

#include "SampleDrives.hpp"
#include "TestSupport/ExternalTool.hpp"
#include "TestSupport/FrenchLocale.hpp"
#include "TestSupport/TemporaryFolder.hpp"

#include <fmt/format.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <bit>
#include <cmath>
#include <limits>
#include <random>
#include <sstream>

namespace veq {
namespace {

using TelemetryFile::Contents;

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        out.push_back(text.substr(start, end - start));
    }
    EXPECT_EQ(start, text.size()) << "text does not end with a line feed";
    return out;
}

TEST(CSVExport, MatchesTheGoldenFileUnderEveryLocale) {
    const std::string golden = testing::readFile(std::string(VEQ_TEST_DATA_DIR) + "/golden/drive.csv");
    ASSERT_FALSE(golden.empty());
    EXPECT_EQ(TelemetryExporter::csv(testing::goldenDrive()), golden);

    testing::FrenchLocale french;
    ASSERT_TRUE(french.active()) << "fr_FR.UTF-8 is missing (scripts/install-deps generates it)";
    EXPECT_EQ(TelemetryExporter::csv(testing::goldenDrive()), golden);
}

struct ShapeCase {
    const char* what;
    Contents drive;
    const char* text;
};

TEST(CSVExport, LinesFollowTheRecords) {
    const ShapeCase cases[] = {
        {"nothing at all", {}, "temps_s;\n"},
        {"channels, no record", {{{1, "a"}, {2, "b"}}, {}, {}}, "temps_s;a;b\n"},
        {"no channel", {{}, {}, {{1500, {}}}}, "temps_s;\n1.500\n"},
        {"last value missing", {{{1, "a"}, {2, "b"}}, {}, {{0, {1.0f, std::nullopt}}}}, "temps_s;a;b\n0.000;1.000;\n"},
        {"every value missing",
         {{{1, "a"}, {2, "b"}, {3, "c"}}, {}, {{1000, {std::nullopt, std::nullopt, std::nullopt}}}},
         "temps_s;a;b;c\n1.000;;;\n"},
        {"missing is never 0", {{{1, "a"}}, {}, {{7, {std::nullopt}}, {8, {0.0f}}}}, "temps_s;a\n0.007;\n0.008;0.000\n"},
        {"times", {{{1, "a"}}, {}, {{1001, {1.0f}}, {65'535'999, {2.0f}}, {4'294'967'295u, {-2.5f}}}},
         "temps_s;a\n1.001;1.000\n65535.999;2.000\n4294967.295;-2.500\n"},
        {"infinities", {{{1, "a"}, {2, "b"}}, {}, {{0, {std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity()}}}},
         "temps_s;a;b\n0.000;inf;-inf\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(TelemetryExporter::csv(c.drive), c.text);
    }
}

struct NameCase {
    std::string name;
    std::string written;
};

TEST(CSVExport, QuotesOnlyNamesThatWouldShiftTheColumns) {
    const NameCase cases[] = {
        {"Pression; turbo", "\"Pression; turbo\""},
        {"dit \"fort\"", "\"dit \"\"fort\"\"\""},
        {"retour\rchariot", "\"retour\rchariot\""},
        {"deux\nlignes", "\"deux\nlignes\""},
        {"\"", "\"\"\"\""},
        {"Temp\u00E9rature d'huile (\u00B0C)", "Temp\u00E9rature d'huile (\u00B0C)"},
        {"a,b", "a,b"},
        {"", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Contents drive{{{1, "x"}, {2, c.name}}, {}, {{0, {1.0f, 2.0f}}}};
        EXPECT_EQ(TelemetryExporter::csv(drive), "temps_s;x;" + c.written + "\n0.000;1.000;2.000\n");
    }
}

// Values are written by a fast path of our own; {fmt}'s general formatter is the reference for
// "%.3f" on the value widened to double, over every magnitude, sign and tie.
TEST(CSVExport, ValuesAreThreeDecimalsRoundedAsPrintfDoes) {
    std::vector<float> values = {0.0f, -0.0f, 0.0005f, -0.0005f, 0.0625f, 2.0625f, -2.0625f, 1.0625f, 0.4995f,
                                 999.9995f, 1e-45f, -1e-45f, 123456.789f, 8.999999e15f, 9.0e15f, 1e16f, 1e17f,
                                 std::numeric_limits<float>::max(), -std::numeric_limits<float>::max(),
                                 std::numeric_limits<float>::min()};
    for (int k = -20000; k <= 20000; ++k) values.push_back(static_cast<float>(k) / 16.0f); // exact ties
    std::mt19937 random(14);
    std::uniform_int_distribution<std::uint32_t> bits;
    while (values.size() < 120'000) {
        const float v = std::bit_cast<float>(bits(random));
        if (std::isfinite(v)) values.push_back(v);
    }

    Contents drive{{{1, "v"}}, {}, {}};
    for (const float v : values) drive.records.push_back({0, {v}});
    const auto written = lines(TelemetryExporter::csv(drive));
    ASSERT_EQ(written.size(), values.size() + 1);
    for (std::size_t i = 0; i < values.size(); ++i) {
        const std::string expected = "0.000;" + fmt::format("{:.3f}", static_cast<double>(values[i]));
        ASSERT_EQ(written[i + 1], expected) << "value bits " << std::bit_cast<std::uint32_t>(values[i]);
    }
}

// Python's csv module reads the file back with ";" as separator: every line has the header's
// number of fields, and every name, including those with quotes, CR and LF, comes back whole.
TEST(CSVExport, PythonCsvModuleReadsItBack) {
    Contents drive = testing::goldenDrive();
    drive.channels.push_back({0x05, "ligne\r\nsuivante"});
    drive.channels.push_back({0x0F, "\"; \"\""});
    for (auto& record : drive.records) {
        record.values.push_back(1.5f);
        record.values.push_back(std::nullopt);
    }
    testing::TemporaryFolder folder;
    const auto file = folder / "drive.csv";
    testing::writeFile(file, TelemetryExporter::csv(drive));

    const auto result = testing::runTool("python3 " + testing::shellQuoted(std::string(VEQ_TEST_DATA_DIR) + "/csv_read.py") +
                                         " " + testing::shellQuoted(file.string()));
    ASSERT_EQ(result.exitStatus, 0) << result.output;
    const auto rows = nlohmann::json::parse(result.output);
    ASSERT_EQ(rows.size(), drive.records.size() + 1);

    std::vector<std::string> header{"temps_s"};
    for (const auto& channel : drive.channels) header.push_back(channel.name);
    EXPECT_EQ(rows[0].get<std::vector<std::string>>(), header);
    for (std::size_t r = 0; r < drive.records.size(); ++r) {
        const auto& record = drive.records[r];
        std::vector<std::string> expected{fmt::format("{:.3f}", record.seconds())};
        for (const auto& v : record.values) expected.push_back(v ? fmt::format("{:.3f}", static_cast<double>(*v)) : "");
        EXPECT_EQ(rows[r + 1].get<std::vector<std::string>>(), expected) << "record " << r;
    }
}

} // namespace
} // namespace veq
