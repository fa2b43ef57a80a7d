#include "VEQStore/Export/Exporters.hpp"

#include "VEQStore/StoreFixtures.hpp"
#include "TestSupport/FrenchLocale.hpp"

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include <bit>
#include <cmath>

namespace veq {
namespace {

using TelemetryFile::Contents;
using testing::kInfF;
using testing::kNone;

TEST(CSVExport, MatchesTheGoldenFileUnderEveryLocale) {
    const std::string golden = testing::dataFile("golden/drive.csv");
    EXPECT_EQ(TelemetryExporter::csv(testing::goldenDrive()), golden);
    testing::FrenchLocale french;
    ASSERT_TRUE(french.active()) << "fr_FR.UTF-8 is missing (scripts/install-deps generates it)";
    EXPECT_EQ(TelemetryExporter::csv(testing::goldenDrive()), golden);
}

TEST(CSVExport, LinesFollowTheRecords) {
    const std::pair<Contents, const char*> cases[] = {
        {{}, "temps_s;\n"},
        {{{}, {}, {{1500, {}}}}, "temps_s;\n1.500\n"},
        {{{{1, "a"}, {2, "b"}}, {}, {{7, {kNone, kNone}}, {8, {0.0f, kNone}}}}, "temps_s;a;b\n0.007;;\n0.008;0.000;\n"},
        {{{{1, "a"}, {2, "b"}}, {}, {{4'294'967'295u, {kInfF, -kInfF}}}}, "temps_s;a;b\n4294967.295;inf;-inf\n"},
    };
    for (const auto& [drive, text] : cases) EXPECT_EQ(TelemetryExporter::csv(drive), text);
}

TEST(CSVExport, QuotesOnlyNamesThatWouldShiftTheColumns) {
    const std::pair<std::string, std::string> cases[] = {
        {"Pression; turbo", "\"Pression; turbo\""}, {"dit \"fort\"", "\"dit \"\"fort\"\"\""}, {"a\rb", "\"a\rb\""},
        {"a\nb", "\"a\nb\""},                       {"Température (°C), x", "Température (°C), x"}, {"", ""},
    };
    for (const auto& [name, written] : cases) {
        EXPECT_EQ(TelemetryExporter::csv({{{1, name}}, {}, {{0, {2.0f}}}}), "temps_s;" + written + "\n0.000;2.000\n");
    }
}

// Values go through a fast path of our own; {fmt}'s "{:.3f}" of the value widened to double is
// the reference, over exact ties and random bit patterns of every magnitude.
TEST(CSVExport, ValuesAreThreeDecimalsRoundedAsPrintfDoes) {
    std::vector<float> values = {-0.0f, 0.0005f, -0.0005f, 0.4995f, 999.9995f, 1e-45f, 8.999999e15f, 1e17f,
                                 std::numeric_limits<float>::max(), -std::numeric_limits<float>::max()};
    for (int k = -20000; k <= 20000; ++k) values.push_back(float(k) / 16.0f);
    std::mt19937 random(14);
    while (values.size() < 120'000) {
        const float v = std::bit_cast<float>(std::uint32_t(random()));
        if (std::isfinite(v)) values.push_back(v);
    }
    Contents drive{{{1, "v"}}, {}, {}};
    std::string expected = "temps_s;v\n";
    for (const float v : values) {
        drive.records.push_back({0, {v}});
        expected += fmt::format("0.000;{:.3f}\n", double(v));
    }
    EXPECT_TRUE(TelemetryExporter::csv(drive) == expected) << "a value differs from printf's rounding";
}

// Python's csv module with ";" reads every field back whole, names with quotes, CR and LF too.
TEST(CSVExport, PythonCsvModuleReadsItBack) {
    Contents drive = testing::goldenDrive();
    drive.channels.push_back({0x05, "ligne\r\nsuivante"});
    for (auto& record : drive.records) record.values.push_back(1.5f);
    testing::TemporaryFolder folder;
    testing::writeFile(folder / "drive.csv", TelemetryExporter::csv(drive));
    const auto result = testing::runPythonReader("csv_read.py", testing::shellQuoted((folder / "drive.csv").string()));
    ASSERT_EQ(result.exitStatus, 0) << result.output;

    std::vector<std::vector<std::string>> expected{{"temps_s"}};
    for (const auto& channel : drive.channels) expected[0].push_back(channel.name);
    for (const auto& record : drive.records) {
        expected.push_back({fmt::format("{:.3f}", record.seconds())});
        for (const auto& v : record.values) expected.back().push_back(v ? fmt::format("{:.3f}", double(*v)) : "");
    }
    EXPECT_EQ(nlohmann::json::parse(result.output).get<std::vector<std::vector<std::string>>>(), expected);
}

} // namespace
} // namespace veq
