// Logs as phone OBD apps and spreadsheets write them, read by the CSV reader.
#include "VEQStore/Export/Exporters.hpp"
#include "VEQStore/Import/ImportFixtures.hpp"

namespace li = veq::LogImporter;
namespace tf = veq::TelemetryFile;
using namespace veq::testing;

namespace {
constexpr auto none = std::nullopt;
} // namespace

// Columns whose unit differs from their channel's are left out, never read as if they were in it.
TEST(LogImporterCSVTests, PhoneAppColumnsInOtherUnitsAreLeftOut) {
    const auto drive = li::readCSV(
        "Device Time,Longitude,Latitude,GPS Speed (Meters/second),Engine Coolant Temperature(\u00B0F),Engine RPM(rpm),"
        "Intake Manifold Pressure(psi),Speed (OBD)(km/h),Throttle Position(Manifold)(%),Engine Load(%)\r\n"
        "2024-07-14 10:00:00.000,2.352222,48.856613,16.67,195.8,2450,14.7,60,18.4,35.3\r\n"
        "2024-07-14 10:00:00.500,2.352230,48.856620,16.94,195.9,2480,14.8,61,18.6,36\r\n");
    EXPECT_EQ(pids(drive), (std::vector<std::uint8_t>{13, 12, 17, 4}));
    EXPECT_EQ(drive.records, (std::vector<tf::Record>{{0, {60.0f, 2450.0f, 18.4f, 35.3f}}, {500, {61.0f, 2480.0f, 18.6f, 36.0f}}}));
    EXPECT_DOUBLE_EQ(startSeconds(drive), 1720951200.0);
}

// RFC 4180 quoting, as spreadsheets write it: quoted names and fields, decimal commas inside
// quotes, doubled quotes, a line break inside a field.
TEST(LogImporterCSVTests, QuotedHeadersAndFieldsAreUnquoted) {
    const auto drive = li::readCSV(
        "\"Horodatage\",\"R\u00E9gime moteur (tr/min)\",\"Vitesse (km/h)\",\"Note\"\r\n"
        "\"01/05/2024 10:00:00\",\"800\",\"0,0\",\"d\u00E9part\"\r\n"
        "\"01/05/2024 10:00:01\",\"1250\",\"12,5\",\"ligne \"\"A\"\", virage\"\r\n"
        "\"01/05/2024 10:00:02\",1500,\"20\",\"sur\r\ndeux lignes\"\r\n"
        " \"01/05/2024 10:00:03\" ,\"1600\",\"22,25\",\"\"\r\n");
    EXPECT_EQ(pids(drive), (std::vector<std::uint8_t>{13, 12}));
    EXPECT_EQ(drive.records, (std::vector<tf::Record>{{0, {0.0f, 800.0f}}, {1000, {12.5f, 1250.0f}},
                                                      {2000, {20.0f, 1500.0f}}, {3000, {22.25f, 1600.0f}}}));
    EXPECT_DOUBLE_EQ(startSeconds(drive), 1714557600.0);

    // A quoted separator is no separator: ";" wins over the comma inside the quotes.
    const auto semicolons = li::readCSV("time;\"Speed, GPS (km/h)\";rpm\n1;\"2,5\";800\n");
    EXPECT_EQ(pids(semicolons), (std::vector<std::uint8_t>{13, 12}));
    EXPECT_EQ(semicolons.records, (std::vector<tf::Record>{{0, {2.5f, 800.0f}}}));
}

// A quote that never closes damages its own field only: the lines after it are still records.
TEST(LogImporterCSVTests, UnclosedQuoteKeepsTheLinesAfterIt) {
    const auto drive = li::readCSV("time;rpm;Note\n0;800;ok\n1;900;\"coupure\n2;1000;ok\n3;1100;ok\n");
    EXPECT_EQ(pids(drive), (std::vector<std::uint8_t>{12}));
    EXPECT_EQ(drive.records,
              (std::vector<tf::Record>{{0, {800.0f}}, {1000, {900.0f}}, {2000, {1000.0f}}, {3000, {1100.0f}}}));
}

// What our CSV export writes, names needing quotes included, reads back with its values.
TEST(LogImporterCSVTests, OwnCSVExportReadsBack) {
    const tf::Contents exported{{{13, "Vitesse; \"GPS\""}, {240, "Latitude GPS"}, {12, "R\u00E9gime moteur"}},
                                tf::Date{},
                                {{0, {12.5f, 48.8566f, 850.0f}}, {250, {none, 48.8567f, 912.25f}}, {1000, {13.0f, none, none}}}};
    const auto drive = li::readCSV(veq::TelemetryExporter::csv(exported));
    EXPECT_EQ(drive.channels, (std::vector<tf::Channel>{{13, "Vitesse v\u00E9hicule"}, {12, "R\u00E9gime moteur"}}));
    EXPECT_EQ(drive.records,
              (std::vector<tf::Record>{{0, {12.5f, 850.0f}}, {250, {none, 912.25f}}, {1000, {13.0f, none}}}));
}

// Times of day alone: one that goes back by more than 12 hours is on the next day.
TEST(LogImporterCSVTests, TimesOfDayCarryOverMidnight) {
    const std::tuple<const char*, std::vector<std::uint32_t>, Values, double> cases[] = {
        {"Horodatage;Vitesse\n23:59:58;10\n23:59:59.500;11\n00:00:01;12\n00:00:02;13\n", {0, 1500, 3000, 4000},
         {10.0f, 11.0f, 12.0f, 13.0f}, 86398.0},
        // back by less than 12 hours: the same day, sorted
        {"Horodatage;Vitesse\n10:00:05;1\n10:00:00;2\n", {0, 5000}, {2.0f, 1.0f}, 36000.0},
        // two midnights, and a time forward again in between
        {"Horodatage;Vitesse\n23:00:00;1\n01:00:00;2\n23:30:00;3\n00:30:00;4\n", {0, 7'200'000, 88'200'000, 91'800'000},
         {1.0f, 2.0f, 3.0f, 4.0f}, 82800.0},
    };
    for (const auto& [text, expectedTimes, speeds, start] : cases) {
        const auto drive = li::readCSV(text);
        EXPECT_EQ(times(drive), expectedTimes) << text;
        Values got;
        for (const auto& r : drive.records) got.push_back(r.values.at(0));
        EXPECT_EQ(got, speeds) << text;
        EXPECT_DOUBLE_EQ(startSeconds(drive), start) << text;
    }
}

// A log without a single readable time, or without a sample, is no drive: the error names the
// time column when there is one.
TEST(LogImporterCSVTests, NoReadableTimeFailsNamingTheTimeColumn) {
    const auto csv = &li::readCSV;
    const auto json = &li::readJSON;
    const std::tuple<decltype(csv), const char*, li::ImportError> cases[] = {
        {csv, "Time;rpm\nnothing;1\n", li::ImportError::noSamples("Time")},
        {csv, "Time;rpm\n", li::ImportError::noSamples("Time")},
        {csv, "GPS Time,Engine RPM(rpm)\nSun Jul 14 10:00:00 GMT+02:00 2024,800\n", li::ImportError::noSamples("GPS Time")},
        {json, R"([{"Horodatage": "bient\u00f4t", "rpm": 1}, {"rpm": 2}])", li::ImportError::noSamples("Horodatage")},
        {json, R"({"data": [{"time": null, "rpm": 1}]})", li::ImportError::noSamples("time")},
        {json, R"({"channels": [{"name": "rpm"}], "samples": [["soon", 1], [null, 2], []]})", li::ImportError::noSamples()},
        {json, R"({"channels": [], "samples": []})", li::ImportError::noSamples()},
    };
    for (const auto& [reader, text, expected] : cases) {
        const auto error = thrown<li::ImportError>([&] { reader(text); }).value_or(li::ImportError::empty());
        EXPECT_EQ(error, expected) << text;
        EXPECT_STREQ(error.what(), expected.what()) << text;
    }
    EXPECT_STREQ(li::ImportError::noSamples("Time").what(),
                 "aucun \u00E9chantillon exploitable : aucune heure lisible dans la colonne \u00AB Time \u00BB");
}
