// JSON logs: the shapes the reader chooses between, our own export, and hostile documents.
#include "VEQStore/Export/Exporters.hpp"
#include "VEQStore/Import/ImportFixtures.hpp"

namespace li = veq::LogImporter;
namespace tf = veq::TelemetryFile;
using namespace veq::testing;

namespace {

constexpr auto none = std::nullopt;

std::string repeated(std::string_view piece, std::size_t count) {
    std::string out;
    out.reserve(piece.size() * count);
    for (std::size_t i = 0; i < count; ++i) out += piece;
    return out;
}

} // namespace

// The list read is the channels with their samples, else the first row key in the order
// records, data, rows, log, samples holding only objects; the keys' order in the file is no matter.
TEST(LogImporterJSONTests, ShapesAndTheirPreference) {
    const std::tuple<const char*, std::vector<std::uint8_t>, std::vector<tf::Record>, double> cases[] = {
        {R"({"data": [{"time": 1, "rpm": 5}], "records": [{"time": 2, "speed": 6}]})", {13}, {{0, {6.0f}}}, 2.0},
        {R"({"samples": [{"time": 1, "rpm": 5}], "log": [{"time": 3, "rpm": 7}]})", {12}, {{0, {7.0f}}}, 3.0},
        {R"({"records": "none", "rows": [1, {"time": 8}], "data": [{"time": 4, "rpm": 2}]})", {12}, {{0, {2.0f}}}, 4.0},
        {R"({"channels": 3, "samples": [[0, 1]], "data": [{"time": 5, "rpm": 2}]})", {12}, {{0, {2.0f}}}, 5.0},
        {R"({"data": [{"time": 6, "rpm": 1}], "channels": [{"name": "rpm"}], "samples": [[1, 9]]})", {12}, {{0, {9.0f}}}, 1.0},
        {R"({"samples": [[0, 9]], "channels": [{"name": "rpm"}], "data": [{"time": 6, "rpm": 1}]})", {12}, {{0, {9.0f}}}, 0.0},
        // the last of a repeated key holds; nested values are anything but a number
        {R"([{"time": 1, "rpm": 1, "rpm": 2, "speed": {"a": [1, {"b": 2}]}}, {"time": {"t": 2}, "rpm": 3}])", {13, 12},
         {{0, {none, 2.0f}}}, 1.0},
        {R"({"channels": [{"name": ["rpm"]}, {"name": "RPM", "name": "speed", "unit": {}}], "samples": [[0, 1, 2, [3]]]})",
         {13}, {{0, {2.0f}}}, 0.0},
        // numbers above 1e11 are milliseconds since 1970, as in a CSV log
        {R"([{"time": 1714557600000, "rpm": 800}, {"time": 1714557600500, "rpm": 900}])", {12}, {{0, {800.0f}}, {500, {900.0f}}},
         1714557600.0},
        {R"({"channels": [{"name": "rpm"}], "samples": [[1714557600250, 1], ["1714557600750", 2]]})", {12},
         {{0, {1.0f}}, {500, {2.0f}}}, 1714557600.25},
        // times of day alone carry over midnight
        {R"([{"time": "23:59:59", "rpm": 1}, {"time": "00:00:01,5", "rpm": 2}])", {12}, {{0, {1.0f}}, {2500, {2.0f}}}, 86399.0},
    };
    for (const auto& [text, expectedPids, expectedRecords, start] : cases) {
        const auto drive = li::readJSON(text);
        EXPECT_EQ(pids(drive), expectedPids) << text;
        EXPECT_EQ(drive.records, expectedRecords) << text;
        EXPECT_DOUBLE_EQ(startSeconds(drive), start) << text;
    }
}

// Our own JSON export states the drive's start date; the samples count from it.
TEST(LogImporterJSONTests, OwnJSONExportKeepsItsStartDate) {
    const auto golden = veq::testing::goldenDrive();
    const auto bytes = veq::TelemetryExporter::json(golden);
    const auto drive = li::readJSON(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    EXPECT_EQ(drive.channels, (std::vector<tf::Channel>{{13, "Vitesse v\u00E9hicule"}, {12, "R\u00E9gime moteur"}}));
    EXPECT_EQ(drive.records, (std::vector<tf::Record>{{0, {0.0f, 850.0f}},
                                                      {250, {0.1f, 912.5f}},
                                                      {1000, {none, none}},
                                                      {std::numeric_limits<std::uint32_t>::max(), {-0.0004f, -1.0005f}}}));
    // The export writes whole seconds.
    EXPECT_EQ(drive.startDate, std::chrono::floor<std::chrono::seconds>(golden.startDate));

    // A stated start with samples that begin later starts at the first sample.
    const auto later = li::readJSON(R"({"startDate": "2024-05-01T10:00:00Z", "channels": [{"name": "rpm"}],
                                        "samples": [[2.5, 1], [3, 2]]})");
    EXPECT_DOUBLE_EQ(startSeconds(later), 1714557602.5);
    EXPECT_EQ(later.records, (std::vector<tf::Record>{{0, {1.0f}}, {500, {2.0f}}}));
}

// Nesting deeper than 64 levels is refused whatever it holds, at once and without a document.
TEST(LogImporterJSONTests, NestingDepthIsLimited) {
    const auto nested = [](std::size_t arrays) {
        return R"({"data": [{"time": 1, "rpm": 2, "x": )" + repeated("[", arrays) + repeated("]", arrays) + "}]}";
    };
    EXPECT_EQ(li::readJSON(nested(61)).records, (std::vector<tf::Record>{{0, {2.0f}}})); // 64 levels
    const std::string hostile[] = {nested(62), repeated("[", 20'000'000), repeated("{\"a\":", 1'000'000)};
    for (const auto& text : hostile) {
        EXPECT_EQ(thrown<li::ImportError>([&] { li::readJSON(text); }), li::ImportError::invalidJSON("lecture impossible"))
            << text.substr(0, 80);
    }
}

// A first row of many keys: the time and the channel keys after them are found, and a repeated
// key keeps its last value. (Its speed on hostile widths is bench/log_importer.cpp's.)
TEST(LogImporterJSONTests, FirstRowOfManyKeysIsReadWhole) {
    std::string row = "[{";
    for (int k = 0; k < 5'000; ++k) row += "\"k" + std::to_string(k) + "\": 0, ";
    row += R"("rpm": 1, "time": 2, "rpm": 3}, {"time": 4, "rpm": 5}])";
    EXPECT_EQ(li::readJSON(row).records, (std::vector<tf::Record>{{0, {3.0f}}, {2000, {5.0f}}}));
}
