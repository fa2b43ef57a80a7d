#include "VEQStore/Import/ImportFixtures.hpp"

#include <sys/stat.h>

#include <cstdlib>
#include <ctime>

namespace li = veq::LogImporter;
namespace tf = veq::TelemetryFile;
using namespace veq::testing;

namespace {

constexpr auto none = std::nullopt;

std::vector<tf::Record> records(std::initializer_list<std::pair<std::uint32_t, Values>> list) {
    std::vector<tf::Record> out;
    for (const auto& [ms, values] : list) out.push_back({ms, values});
    return out;
}

// Sets TZ for the life of the object, so that any use of the local zone would show.
struct ZoneGuard {
    explicit ZoneGuard(const char* zone) { ::setenv("TZ", zone, 1); ::tzset(); }
    ~ZoneGuard() { ::unsetenv("TZ"); ::tzset(); }
};

} // namespace

TEST(LogImporterTests, NumbersAcceptUnitsCommasAndMissingWords) {
    const std::pair<const char*, std::optional<float>> cases[] = {
        {"12,5 km/h", 12.5f}, {"-.5", -0.5f}, {"1.2.3", 1.2f}, {"a-5b", -5.0f}, {"5e+x", 5.0f}, {"1e-400", 0.0f},
        {"n/a", none},        {"--", none},   {" NULL\t", none}, {"NaN", none}, {" \t", none}, {"1e39", none},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(li::number(text), expected) << text;
}

TEST(LogImporterTests, TimesAreNumbersDatesInUTCOrTimesOfDay) {
    const ZoneGuard zone("Asia/Kolkata"); // a zone 5:30 off UTC would shift or wrap local-time reading
    const std::pair<const char*, std::optional<double>> cases[] = {
        {"0,5", 0.5}, {"2024-05-01T10:00:00.123Z", 1714557600.123}, {"2024-05-01T12:00:00+0200", 1714557600.0},
        {"2024-05-01T10:00:00.5", 1714557600.5}, {"2024-05-01T10:00:00", 1714557600.0},
        {"2024-05-01 10:00:00,250", 1714557600.25}, {"2024-05-01 10:00:00", 1714557600.0},
        {"01/05/2024 10:00:00.750", 1714557600.75}, {"01/05/2024 10:00:00", 1714557600.0}, {"31/12/1969 23:59:59", -1.0},
        {"23:59:59.500", 86399.5}, {"00:00:00,250", 0.25},
        // 64-bit reading: a 32-bit float would round these to 128-second steps
        {"1714557601", 1714557601.0}, {"1714557601123", 1714557601.123}, {"100000000001", 100000000.001},
        {"99999999999", 99999999999.0},
        // beyond 1e11 seconds, even after the millisecond division
        {"200000000000000", none}, {"9999-12-31 00:00:00", none},
        {"-5", none}, {"2024-02-30 10:00:00", none}, {"24:00:00", none}, {"10:00:05Z", none}, {"abc", none},
    };
    for (const auto& [text, expected] : cases) {
        const auto got = li::timestamp(text);
        ASSERT_EQ(got.has_value(), expected.has_value()) << text;
        if (expected) {
            EXPECT_DOUBLE_EQ(*got, *expected) << text;
            EXPECT_EQ(li::readTime(text)->timeOfDay, std::string_view(text).find_first_of("-/") == std::string_view::npos &&
                                                         std::string_view(text).find(':') != std::string_view::npos)
                << text;
        }
    }
}

TEST(LogImporterTests, ColumnNamesAreFoldedAndStrippedOfUnits) {
    const std::pair<const char*, const char*> cases[] = {
        {"Régime moteur (tr/min)", "regime moteur"}, {"  Engine_RPM  ", "engine rpm"}, {"coolant-temp [°C]", "coolant temp"},
        {"a (b) (c)", "a (b)"},                      {"TEMPÉRATURE \t HUILE", "temperature huile"}, {"x (unclosed", "x (unclosed"},
    };
    for (const auto& [name, expected] : cases) EXPECT_EQ(li::normalise(name), expected) << name;
}

TEST(LogImporterTests, ColumnsMapExactBeforePrefixInAliasOrder) {
    using M = li::MappedChannel;
    using L = li::LeftOutColumn;
    const std::vector<std::pair<std::vector<std::string>, li::ColumnMapping>> cases = {
        {{"Temps (s)", "Régime moteur (tr/min)", "Vitesse (km/h)"},
         {0, {M{2, 13, "Vitesse véhicule"}, M{1, 12, "Régime moteur"}}, {}}},
        {{"Time of day", "time", "speed_kmh"}, {1, {M{2, 13, "Vitesse véhicule"}}, {}}},      // exact time wins
        {{"temps_s", "ma", "map"}, {0, {M{2, 11, "Pression absolue collecteur d'admission"}}, {}}},
        {{"t", "temp"}, {std::nullopt, {M{1, 5, "Température liquide de refroidissement"},
                                        M{1, 92, "Température huile moteur"}}, {}}},       // one column, two channels
        {{"timestamp", "Speed", "GPS Speed"}, {0, {M{1, 13, "Vitesse véhicule"}}, {}}},
        // A stated unit other than the channel's leaves the column out; a later column may serve.
        {{"time", "Speed (mph)", "Vitesse [KM/H]"}, {0, {M{2, 13, "Vitesse véhicule"}}, {L{1, 13}}}},
        {{"time", "Temp (°F)", "Boost (psi)", "RPM(1/min)"}, {0, {M{3, 12, "Régime moteur"}}, {L{1, 5}, L{2, 11}}}},
        {{"time", "Coolant (° C)", "Load [%]", "MAP (kPa)", "Oil temp (ºC)", "Throttle ()"},
         {0, {M{1, 5, "Température liquide de refroidissement"}, M{5, 17, "Position papillon"},
              M{3, 11, "Pression absolue collecteur d'admission"}, M{4, 92, "Température huile moteur"},
              M{2, 4, "Charge moteur calculée"}}, {}}},
    };
    for (const auto& [names, expected] : cases) EXPECT_EQ(li::mapColumns(names), expected) << names[0];
}

TEST(LogImporterTests, CSVAndJSONLogsBecomeSortedRecords) {
    const auto csv = &li::readCSV;
    const auto json = &li::readJSON;
    struct Case {
        decltype(csv) reader;
        const char* text;
        std::vector<std::uint8_t> pids;
        std::vector<tf::Record> records;
        double start; // seconds since 1970
    };
    const Case cases[] = {
        {csv, "time;rpm;speed\n0,5;800;0\n", {13, 12}, records({{0, {0.0f, 800.0f}}}), 0.5},
        {csv, "time,rpm;x,speed\n1,800,5\n", {13, 12}, records({{0, {5.0f, 800.0f}}}), 1.0}, // two commas beat one ";"
        {csv, "time\tspeed\r\n3\t1\u2028 1\t2\v2\t3\x0c\n", {13}, records({{0, {2.0f}}, {1000, {3.0f}}, {2000, {1.0f}}}), 1.0},
        {csv, "Temps|Vitesse|RPM\n0|n/a|\n1|12,5 km/h|?\nx|1|1\n2\n3|7", {13, 12},
         records({{0, {none, none}}, {1000, {12.5f, none}}, {2000, {none, none}}, {3000, {7.0f, none}}}), 0.0},
        {csv, "time;rpm\n2;1\n1;2\n1;3\n", {12}, records({{0, {2.0f}}, {0, {3.0f}}, {1000, {1.0f}}}), 1.0},
        // numbers are seconds as they are; texts go through the time reader
        {json, R"([{"time": 1714557600, "rpm": 800}, {"time": "1714557600500", "rpm": "900 tr/min", "speed": 3}])", {12},
         records({{0, {800.0f}}, {500, {900.0f}}}), 1714557600.0},
        {json, R"({"meta": 1, "data": [{"Horodatage": "10:00:01", "Vitesse": 5, "Régime": null},
                                  {"Horodatage": "10:00:00", "Vitesse": [1], "Régime": true}, {"Vitesse": 9}]})",
         {13, 12}, records({{0, {none, none}}, {1000, {5.0f, none}}}), 36000.0},
        {json, R"({"rows": [{"time": 2, "load": 40}]})", {4}, records({{0, {40.0f}}}), 2.0},
        {json, R"j({"channels": [{"name": "RPM"}, {"name": "Speed (km/h)"}, {"id": 3}],
             "samples": [[0, 800, 10, 1], [], ["0.5", "850", null], ["x", 1, 2], [1.5], ["1e400", 1, 1]]})j",
         {13, 12}, records({{0, {10.0f, 800.0f}}, {500, {none, 850.0f}}, {1500, {none, none}}}), 0.0},
        // the channels may come after the samples
        {json, R"({"samples": [[0, 800, 10], [1, 900]], "channels": [{"name": "RPM"}, {"name": "Speed"}]})", {13, 12},
         records({{0, {10.0f, 800.0f}}, {1000, {none, 900.0f}}}), 0.0},
    };
    for (const auto& c : cases) {
        const auto drive = c.reader(c.text);
        EXPECT_EQ(pids(drive), c.pids) << c.text;
        EXPECT_EQ(drive.records, c.records) << c.text;
        EXPECT_DOUBLE_EQ(startSeconds(drive), c.start) << c.text;
    }
}

TEST(LogImporterTests, TimesOutsideTheFileRangeAreClampedOrDropped) {
    // A start before 1970 is taken as 1970; times keep their spacing.
    auto drive = li::readJSON(R"([{"time": -5, "rpm": 1}, {"time": -4, "rpm": 2}, {"time": 1e300, "rpm": 3}])");
    EXPECT_EQ(drive.records, records({{0, {1.0f}}, {1000, {2.0f}}}));
    EXPECT_EQ(drive.startDate, tf::Date{});
    // The last millisecond the file can hold is kept, the next one dropped.
    drive = li::readCSV("time;rpm\n0;1\n4294967,296;2\n4294967,295;3\n");
    EXPECT_EQ(drive.records, records({{0, {1.0f}}, {4294967295u, {3.0f}}}));
}

TEST(LogImporterTests, BadInputGivesTheFrenchError) {
    using K = li::ImportError::Kind;
    const std::tuple<const char*, const char*, K, const char*> cases[] = { // file, text, error, message
        {"blank.csv", "  \n\n \t \r\n", K::empty, "fichier vide"},
        {"one.csv", "time\n1\n", K::noHeaders, "aucun en-tête détecté"},
        {"none.csv", " a ;b;c\n1;2;3\n", K::noTimeColumn, "aucune colonne d'horodatage reconnue (colonnes vues : a, b, c)"},
        {"data.json", "time;rpm\n0;800\n", K::invalidJSON, "JSON invalide : lecture impossible"},
        {"log.txt", "[]", K::noSamples, "aucun échantillon exploitable"},
        {"log.txt", R"({"records": [], "data": [{"time": 1}]})", K::noSamples, "aucun échantillon exploitable"},
        {"log.txt", R"(  [{"rpm": 1, "b": 2}])", K::noTimeColumn, "aucune colonne d'horodatage reconnue (colonnes vues : rpm, b)"},
    };
    const TemporaryFolder folder;
    for (const auto& [file, text, kind, message] : cases) {
        writeFile(folder / file, text);
        const auto error = thrown<li::ImportError>([&] { li::load(folder / file); }).value_or(li::ImportError::empty());
        EXPECT_EQ(error.kind(), kind) << text;
        EXPECT_STREQ(error.what(), message) << text;
    }
    const auto missing = (folder / "absent.csv").string();
    EXPECT_EQ(thrown<li::ImportError>([&] { li::load(missing); }), li::ImportError::fileNotFound(missing));
    EXPECT_STREQ(li::ImportError::fileNotFound(missing).what(), ("fichier introuvable : " + missing).c_str());
    EXPECT_THROW(li::load(folder.path()), veq::Error); // a folder exists but cannot be read
}

TEST(LogImporterTests, LoadChoosesTheReaderByExtensionAndFirstCharacter) {
    const TemporaryFolder folder;
    // A spreadsheet's byte-order mark is not part of the first column name.
    writeFile(folder / "excel.csv", "\xEF\xBB\xBFTemps;Vitesse\n0;5\n");
    EXPECT_EQ(li::load(folder / "excel.csv").records, records({{0, {5.0f}}}));
    writeFile(folder / "log.txt", "\n  [{\"time\": 1, \"speed\": 2}]");
    EXPECT_EQ(li::load(folder / "log.txt").records, records({{0, {2.0f}}}));
    writeFile(folder / "bad.csv", "time;speed\n1;\xFF\xFE" "7\n"); // invalid UTF-8 is replaced, not refused
    EXPECT_EQ(li::load(folder / "bad.csv").records, records({{0, {7.0f}}}));

    const Values values = {850.0f, none};
    tf::Writer(folder / "drive.VEQT", {{12, "Régime moteur"}, {240, "Latitude GPS"}}, tf::Date{}).append(250, values);
    EXPECT_EQ(li::load(folder / "drive.VEQT").records, records({{250, values}})); // the own reader, case aside
    // A file from elsewhere is bounded and never blocks, whatever its extension.
    ASSERT_EQ(::mkfifo((folder / "pipe.veqt").c_str(), 0600), 0);
    EXPECT_THROW(li::load(folder / "pipe.veqt"), veq::Error);
    writeFile(folder / "huge.veqt", "VEQT");
    std::filesystem::resize_file(folder / "huge.veqt", 512ull * 1024 * 1024 + 1); // sparse: nothing is written
    EXPECT_NE(errorText([&] { li::load(folder / "huge.veqt"); }).find("fichier trop volumineux"), std::string::npos);
}

// An own file is read in pieces into the same drive as its reader gives, and refused when the
// drive would take more memory than an import may.
TEST(LogImporterTests, OwnFilesAreReadInPiecesWithinAMemoryBound) {
    const TemporaryFolder folder;
    {
        tf::Writer writer(folder / "long.veqt", {{12, "R\u00E9gime moteur"}, {13, "Vitesse"}, {240, "Latitude GPS"}},
                          veq::testing::kDriveStart);
        for (std::uint32_t n = 0; n < 200'000; ++n) { // 3.2 MB: several pieces
            writer.append(n * 250, Values{static_cast<float>(n), n % 7 ? std::optional(1.5f * n) : none, -0.0f});
        }
    }
    std::filesystem::resize_file(folder / "long.veqt", std::filesystem::file_size(folder / "long.veqt") - 5); // cut mid-record
    EXPECT_EQ(li::load(folder / "long.veqt"), tf::read(folder / "long.veqt"));

    const std::pair<std::string, tf::ReadError> broken[] = {
        {"VEQ", tf::ReadError::truncated()},
        {"VEQX\x01", tf::ReadError::badMagic()},
        {std::string("VEQT\x02\x00", 6), tf::ReadError::unsupportedVersion(2)},
        {std::string("VEQT\x01\x00\x02\x00\0\0\0\0\0\0\0\0\x0C\x01R", 19), tf::ReadError::truncated()},
    };
    for (const auto& [bytes, error] : broken) {
        writeFile(folder / "broken.veqt", bytes);
        EXPECT_EQ(thrown<tf::ReadError>([&] { li::load(folder / "broken.veqt"); }), error) << bytes;
    }

    // 200 MB of records without channels: 50 million records of 32 bytes each in memory.
    writeFile(folder / "many.veqt", std::string("VEQT\x01\x00\x00\x00\0\0\0\0\0\0\0\0", 16));
    std::filesystem::resize_file(folder / "many.veqt", 200ull * 1024 * 1024); // sparse: nothing is written
    EXPECT_NE(errorText([&] { li::load(folder / "many.veqt"); }).find("fichier trop volumineux"), std::string::npos);
}
