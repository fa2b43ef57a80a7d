#include "VEQStore/Export/Exporters.hpp"

#include "VEQStore/StoreFixtures.hpp"
#include "TestSupport/FrenchLocale.hpp"

#include <nlohmann/json.hpp>

#include <cmath>

namespace veq {
namespace {

using TelemetryFile::Contents;
using nlohmann::json;

std::string text(const std::vector<std::uint8_t>& bytes) { return {bytes.begin(), bytes.end()}; }

// The golden drive holds "/" in a name, which the export escapes.
TEST(JSONExport, MatchesTheGoldenFileUnderEveryLocale) {
    const std::string golden = testing::dataFile("golden/drive.json");
    EXPECT_EQ(text(TelemetryExporter::json(testing::goldenDrive())), golden);
    testing::FrenchLocale french;
    ASSERT_TRUE(french.active()) << "fr_FR.UTF-8 is missing (scripts/install-deps generates it)";
    EXPECT_EQ(text(TelemetryExporter::json(testing::goldenDrive())), golden);
}

TEST(JSONExport, NonFiniteValueFailsTheWholeExport) {
    for (const float bad : {testing::kInfF, std::numeric_limits<float>::quiet_NaN()}) {
        const std::string error = testing::errorText([&] {
            TelemetryExporter::json({{{0x0C, "R\u00E9gime"}, {0x0D, "Vitesse"}}, {}, {{0, {1.0f, 2.0f}}, {1500, {3.0f, bad}}}});
        });
        EXPECT_NE(error.find("Vitesse"), std::string::npos) << error;
        EXPECT_NE(error.find("1.500 s"), std::string::npos) << error;
    }
}

// Every value reads back as the same double (the float widened), every missing one as null;
// a name with a broken UTF-8 sequence is repaired rather than refused.
TEST(JSONExport, RandomDrivesReadBackExactly) {
    std::mt19937 random(1414);
    for (int round = 0; round < 40; ++round) {
        Contents drive = testing::randomDrive(random, 12);
        for (auto& record : drive.records) {
            for (auto& value : record.values) {
                if (value && !std::isfinite(*value)) value = 1.0f / 3.0f;
            }
        }
        drive.channels.push_back({2, std::string("ok\xC3", 3)});
        for (auto& record : drive.records) record.values.push_back(std::nullopt);
        const auto document = json::parse(text(TelemetryExporter::json(drive)));
        json expected = {{"channels", json::array()}, {"samples", json::array()}, {"startDate", document["startDate"]}};
        for (const auto& channel : drive.channels) expected["channels"].push_back({{"name", channel.name}, {"pid", channel.pid}});
        expected["channels"].back()["name"] = "ok\uFFFD";
        for (const auto& record : drive.records) {
            json row = {record.milliseconds / 1000.0};
            for (const auto& v : record.values) row.push_back(v ? json(double(*v)) : json(nullptr));
            expected["samples"].push_back(row);
        }
        ASSERT_EQ(document, expected) << "round " << round;
    }
}

} // namespace
} // namespace veq
