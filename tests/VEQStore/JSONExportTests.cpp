#include "VEQStore/Exporters.hpp"

#include "SampleDrives.hpp"
#include "TestSupport/ExternalTool.hpp"
#include "TestSupport/FrenchLocale.hpp"
#include "TestSupport/TemporaryFolder.hpp"
#include "VEQSupport/Error.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cmath>
#include <limits>
#include <random>

namespace veq {
namespace {

using TelemetryFile::Contents;
using nlohmann::json;

std::string text(const std::vector<std::uint8_t>& bytes) { return {bytes.begin(), bytes.end()}; }

TEST(JSONExport, MatchesTheGoldenFileUnderEveryLocale) {
    const std::string golden = testing::readFile(std::string(VEQ_TEST_DATA_DIR) + "/golden/drive.json");
    ASSERT_FALSE(golden.empty());
    EXPECT_EQ(text(TelemetryExporter::json(testing::goldenDrive())), golden);

    testing::FrenchLocale french;
    ASSERT_TRUE(french.active()) << "fr_FR.UTF-8 is missing (scripts/install-deps generates it)";
    EXPECT_EQ(text(TelemetryExporter::json(testing::goldenDrive())), golden);
}

TEST(JSONExport, EmptyDriveKeepsItsStartDate) {
    using namespace std::chrono;
    const Contents drive{{}, sys_days{year{2024} / 12 / 31} + hours{23} + minutes{30} + milliseconds{999}, {}};
    const auto document = json::parse(text(TelemetryExporter::json(drive)));
    EXPECT_EQ(document, json::parse(R"({"channels": [], "samples": [], "startDate": "2024-12-31T23:30:00Z"})"));
}

TEST(JSONExport, NonFiniteValueFailsTheWholeExport) {
    const float cases[] = {std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity(),
                           std::numeric_limits<float>::quiet_NaN()};
    for (const float bad : cases) {
        SCOPED_TRACE(bad);
        const Contents drive{{{0x0C, "R\u00E9gime"}, {0x0D, "Vitesse"}}, {}, {{0, {1.0f, 2.0f}}, {1500, {3.0f, bad}}}};
        try {
            TelemetryExporter::json(drive);
            ADD_FAILURE() << "no error";
        } catch (const Error& error) {
            EXPECT_NE(std::string(error.what()).find("Vitesse"), std::string::npos) << error.what();
            EXPECT_NE(std::string(error.what()).find("1.500 s"), std::string::npos) << error.what();
        }
    }
}

TEST(JSONExport, TextsEscapeSlashesAndSurviveBadBytes) {
    const Contents drive{{{1, "a/b//c"}, {2, std::string("ok\xC3", 3)}}, {}, {}};
    const std::string written = text(TelemetryExporter::json(drive));
    EXPECT_NE(written.find(R"("a\/b\/\/c")"), std::string::npos) << written;
    const auto document = json::parse(written);
    EXPECT_EQ(document["channels"][0]["name"], "a/b//c");
    EXPECT_EQ(document["channels"][1]["name"], "ok\uFFFD");
}

// Every value reads back as the same double (the float widened), every missing value as null.
TEST(JSONExport, RandomDrivesReadBackExactly) {
    std::mt19937 random(1414);
    for (int round = 0; round < 40; ++round) {
        Contents drive = testing::randomDrive(random, 12);
        for (auto& record : drive.records) {
            for (auto& value : record.values) {
                if (value && !std::isfinite(*value)) value = 1.0f / 3.0f;
            }
        }
        const auto document = json::parse(text(TelemetryExporter::json(drive)));
        ASSERT_EQ(document["channels"].size(), drive.channels.size());
        for (std::size_t k = 0; k < drive.channels.size(); ++k) {
            EXPECT_EQ(document["channels"][k]["pid"].get<int>(), drive.channels[k].pid);
            EXPECT_EQ(document["channels"][k]["name"].get<std::string>(), drive.channels[k].name);
        }
        ASSERT_EQ(document["samples"].size(), drive.records.size());
        for (std::size_t r = 0; r < drive.records.size(); ++r) {
            const auto& row = document["samples"][r];
            const auto& record = drive.records[r];
            ASSERT_EQ(row.size(), record.values.size() + 1);
            EXPECT_EQ(row[0].get<double>(), record.milliseconds / 1000.0);
            for (std::size_t k = 0; k < record.values.size(); ++k) {
                if (record.values[k]) {
                    EXPECT_EQ(row[k + 1].get<double>(), static_cast<double>(*record.values[k]));
                } else {
                    EXPECT_TRUE(row[k + 1].is_null());
                }
            }
        }
    }
}

// jq, an independent parser, reads the document and sees the keys in ascending order.
TEST(JSONExport, JqReadsItWithSortedKeys) {
    testing::TemporaryFolder folder;
    const auto file = folder / "drive.json";
    testing::writeFile(file, text(TelemetryExporter::json(testing::goldenDrive())));
    const auto result = testing::runTool(
        "jq -r '(keys_unsorted | join(\",\")), (.channels[0] | keys_unsorted | join(\",\")), "
        "(.samples | length), (.samples[1][2] | tostring), .channels[1].name, .startDate' " +
        testing::shellQuoted(file.string()));
    ASSERT_EQ(result.exitStatus, 0) << result.output;
    EXPECT_EQ(result.output, "channels,samples,startDate\nname,pid\n4\nnull\nD\u00E9bit d'air (g/s)\n"
                             "2024-05-01T06:30:05Z\n");
}

} // namespace
} // namespace veq
