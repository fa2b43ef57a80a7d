#include "VEQStore/Export/GPXExporter.hpp"

#include "VEQStore/StoreFixtures.hpp"
#include "TestSupport/FrenchLocale.hpp"
#include "VEQSupport/ISO8601.hpp"

#include <fmt/format.h>

namespace veq {

namespace GPXExporter {
// Readable failure messages (GoogleTest finds this by argument lookup).
inline void PrintTo(const TrackPoint& p, std::ostream* os) {
    *os << "{" << iso8601::format(p.date, true) << " " << p.latitude << " " << p.longitude << " "
        << (p.altitude ? std::to_string(*p.altitude) : "-") << "}";
}
} // namespace GPXExporter

namespace {

using GPXExporter::TrackPoint;
using TelemetryFile::Contents;
using namespace testing;

TrackPoint point(std::string_view isoTime, double latitude, double longitude, std::optional<double> altitude = {}) {
    return {*iso8601::parse(isoTime), latitude, longitude, altitude};
}

TEST(GPXExporterWriter, NoDocumentWithoutBothCoordinates) {
    EXPECT_EQ(GPXExporter::gpx(makeDrive({241, 242}, {{0, {2.0f, 3.0f}}}), "x"), std::nullopt);
    // Both present, never at the same time: a document with an empty segment.
    const auto apart = GPXExporter::gpx(makeDrive({240, 241}, {{0, {48.0f, kNone}}, {1000, {kNone, 2.0f}}}), "x");
    EXPECT_NE(apart.value_or("").find("<trkseg>\n    </trkseg>"), std::string::npos);
}

TEST(GPXExporterWriter, MatchesTheGoldenTrackWhateverTheLocale) {
    // latitude, longitude, altitude, GPS speed, engine speed, from a start 0.75 s past a second.
    // In the golden file: 12.34 m is 12.3 and 36 km/h 10.00 m/s; the 400 ms record has no
    // longitude and is left out; engine speed without speed gives no extensions; 1500 and 2000 ms
    // share a second; an infinite engine speed has no integer, so no rpm element; -1e30 is held
    // at the integer range's end.
    const auto drive = makeDrive({240, 241, 242, 243, 0x0C}, {
        {0,    {48.8566134f, 2.3522219f, 12.34f, 36.0f, 2500.9f}},
        {400,  {48.85662f,   kNone,      13.0f,  40.0f, 2600.0f}},
        {900,  {48.85663f,   2.35223f,   kNone,  kNone, 3000.0f}},
        {1500, {-33.865143f, 151.2099f,  -2.0f,  50.0f, kNone}},
        {2000, {0.0f,        -0.0001f,   kNone,  0.0f,  kInfF}},
        {2500, {1.0f,        1.0f,       kNone,  1.0f,  -1e30f}},
    }, kDriveStart + std::chrono::milliseconds(750));
    const std::string golden = dataFile("track.gpx");
    EXPECT_EQ(GPXExporter::gpx(drive, "Trajet \"A\" l'été & <B>"), golden);

    testing::FrenchLocale french;
    ASSERT_TRUE(french.active()) << "fr_FR.UTF-8 is missing: scripts/install-deps generates it";
    EXPECT_EQ(GPXExporter::gpx(drive, "Trajet \"A\" l'été & <B>"), golden);

    // The later of two records at the same time gives the longitude; a start date at the clock's
    // end (a file may carry one) still gives points.
    const auto twice = makeDrive({240, 241}, {{0, {1.0f, 2.0f}}, {0, {kNone, 3.0f}}}, TelemetryFile::Date::max());
    EXPECT_EQ(GPXExporter::trackPoints(*GPXExporter::gpx(twice, "n")).at(0).longitude, 3.0);
}

TEST(GPXExporterReader, ReadsPointsByTheTrackPointPattern) {
    const std::string t0 = "<time>2026-07-14T10:00:00Z</time>";
    const struct {
        const char* name;
        std::string points;
        std::vector<TrackPoint> expected;
    } cases[] = {
        {"fraction and zone offset", R"(<trkpt lat="1" lon="2"><ele>35.5</ele><time>2026-07-14T05:30:00.5-04:30</time></trkpt>)",
         {point("2026-07-14T10:00:00.5Z", 1, 2, 35.5)}},
        {"no zone designator", R"(<trkpt lat="1" lon="2"><time>2026-07-14T10:00:00</time></trkpt>)", {}},
        {"impossible date", R"(<trkpt lat="1" lon="2"><time>2026-02-30T10:00:00Z</time></trkpt>)", {}},
        {"date the clock cannot hold", R"(<trkpt lat="1" lon="2"><time>9999-12-31T23:59:59.9Z</time></trkpt>)", {}},
        {"lon before lat, plus sign, exponent", "<trkpt lon=\"2\" lat=\"1\">" + t0 + "</trkpt><trkpt lat=\"+1\" lon=\"2\">" + t0 +
             "</trkpt><trkpt lat=\"1e1\" lon=\"2\">" + t0 + "</trkpt>", {}},
        {"unreadable and spaced elevations",
         "<trkpt lat=\"1\" lon=\"2\"><ele>abc</ele>" + t0 + "</trkpt><trkpt lat=\"1\" lon=\"2\"><ele> 12.5\t</ele><time> 2026-07-14T10:00:00Z </time></trkpt>",
         {point("2026-07-14T10:00:00Z", 1, 2), point("2026-07-14T10:00:00Z", 1, 2, 12.5)}},
        {"other attributes, line breaks, the last lat before the last lon, the first time anywhere",
         "<trkpt id=\"a\" lat=\"9\" lat=\"-3.5\"\n data=\"x\" lon=\"7\" lon=\".25\">\n<extensions>" + t0 +
             "</extensions><time>2030-01-01T00:00:00Z</time>\n</trkpt>",
         {point("2026-07-14T10:00:00Z", -3.5, 0.25)}},
        {"sorted by date, equal dates in document order, a point without coordinates skipped",
         "<trkpt lat=\"1\" lon=\"0\"><time>2026-07-14T10:00:05Z</time></trkpt><trkpt>" + t0 + "</trkpt><trkpt lat=\"2\" lon=\"0\">" +
             t0 + "</trkpt><trkpt lat=\"3\" lon=\"0\"><time>2026-07-14T10:00:05Z</time></trkpt><trkpt lat=\"4\" lon=\"2\">" + t0,
         {point("2026-07-14T10:00:00Z", 2, 0), point("2026-07-14T10:00:05Z", 1, 0), point("2026-07-14T10:00:05Z", 3, 0)}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(GPXExporter::trackPoints("<gpx><trk><trkseg>\n" + c.points + "</trkseg></trk></gpx>\n"), c.expected)
            << c.name;
    }
}

TEST(GPXExporterReader, HostileFilesOf50MBAreReadWithoutCrashing) {
    // head, the piece repeated up to 50 MB, tail (built a block at a time: the sanitizer build
    // is slow at many small appends).
    auto file = [](std::string_view head, std::string_view piece, std::string_view tail) {
        std::string block;
        while (block.size() < (64u << 10)) block += piece;
        std::string out(head);
        out.reserve((50u << 20) + block.size() + tail.size());
        while (out.size() < (50u << 20)) out += block;
        return out += tail;
    };
    const std::tuple<const char*, std::string_view, std::string_view, std::string_view, std::size_t> cases[] = {
        {"start tags that never end", "", "<trkpt lat=\"1\" lon=\"2\" ", "", 0},
        {"one endless start tag, coordinates at its end", "<trkpt ", "x=\"1\" ",
         "lat=\"1\" lon=\"2\"><time>2026-07-14T10:00:00Z</time></trkpt>", 1},
        {"a body full of unclosed time tags", "<trkpt lat=\"1\" lon=\"2\">", "<time>x<ele>", "</trkpt>", 0},
    };
    for (const auto& [name, head, piece, tail, points] : cases) EXPECT_EQ(GPXExporter::trackPoints(file(head, piece, tail)).size(), points) << name;
}

TEST(GPXExporterMerge, AddsTheMissingPositionChannelsFromTheNearestPoint) {
    auto at = [](int seconds, double lat, std::optional<double> alt = {}) {
        return TrackPoint{kDriveStart + std::chrono::seconds(seconds), lat, -lat, alt};
    };
    const std::vector<TrackPoint> track{at(10, 1, 100), at(12, 2), at(20, 3, 300)};
    const auto drive = makeDrive({0x0D}, {{5000, {1.0f}}, {10000, {2.0f}}, {11000, {3.0f}}, {11500, {4.0f}}, {25000, {5.0f}}});
    const Values first{1.0f, -1.0f, 100.0f}, second{2.0f, -2.0f, kNone}, third{3.0f, -3.0f, 300.0f}, none(3);
    const std::tuple<const char*, double, double, std::vector<Values>> cases[] = { // latitude, longitude, altitude added
        {"nearest point, a tie to the earlier, the ends extended", 100, 0, {first, first, first, second, third}},
        {"tolerance 0: exact times only", 0, 0, {none, first, none, none, none}},
        {"positive offset matches earlier points", 0.6, 1.5, {none, none, first, first, none}},
    };
    for (const auto& [name, tolerance, offset, added] : cases) {
        const Contents merged = GPXExporter::merge(drive, track, tolerance, offset);
        EXPECT_EQ(merged.channels, (std::vector<TelemetryFile::Channel>{
                                       {0x0D, "ch13"}, {240, "Latitude GPS"}, {241, "Longitude GPS"}, {242, "Altitude GPS"}}));
        ASSERT_EQ(merged.records.size(), added.size()) << name;
        for (std::size_t i = 0; i < added.size(); ++i) {
            Values expected = drive.records[i].values;
            expected.insert(expected.end(), added[i].begin(), added[i].end());
            EXPECT_EQ(merged.records[i], (TelemetryFile::Record{drive.records[i].milliseconds, expected})) << name << " " << i;
        }
    }
    // Channels the drive has stay as they were; a short record keeps the added columns in place;
    // beyond the float range come infinities, not undefined conversions.
    const std::vector<TrackPoint> one{{kDriveStart, 5, 6, 7}};
    EXPECT_EQ(GPXExporter::merge(drive, {}, 10, 0), drive);
    const std::tuple<Contents, std::vector<TrackPoint>, Values> kept[] = {
        {makeDrive({241, 0x0C}, {{0, {9.0f, 800.0f}}}), one, {9.0f, 800.0f, 5.0f, 7.0f}},
        {makeDrive({0x0C, 0x0D}, {{0, {800.0f}}}), one, {800.0f, kNone, 5.0f, 6.0f, 7.0f}},
        {makeDrive({0x0C}, {{0, {1.0f}}}), {{kDriveStart, 1e300, -1e300, 1e300}}, {1.0f, kInfF, -kInfF, kInfF}},
    };
    for (const auto& [input, points, values] : kept) EXPECT_EQ(GPXExporter::merge(input, points, 10, 0).records.at(0).values, values);
}

TEST(GPXExporterReaders, OurReaderAndGpxpyReadTheDrivesPoints) {
    // Thirty points, a quarter without altitude, all with speed and engine speed; what every
    // reader must find: "latitude longitude altitude time", as the writer rounds them.
    std::vector<TelemetryFile::Record> records;
    std::string expected;
    for (std::uint32_t i = 0; i < 30; ++i) {
        const float latitude = 43.6f + float(i) * 0.000123f, longitude = 1.44f - float(i) * 0.000321f;
        const auto altitude = i % 4 == 0 ? kNone : std::optional(200.0f + float(i) * 0.37f);
        records.push_back({i * 2000, {latitude, longitude, altitude, float(i % 7) * 10.0f, 1500.0f + float(i)}});
        expected += fmt::format("{:.6f} {:.6f} {} {}\n", latitude, longitude, altitude ? fmt::format("{:.1f}", *altitude) : "none",
                                iso8601::format(kDriveStart + std::chrono::seconds(2 * i)));
    }
    testing::TemporaryFolder folder;
    const auto file = folder / "drive.gpx";
    testing::writeFile(file, *GPXExporter::gpx(makeDrive({240, 241, 242, 243, 0x0C}, records), "Toulouse & environs"));

    std::string ours;
    for (const TrackPoint& p : GPXExporter::trackPoints(testing::readFile(file))) {
        ours += fmt::format("{:.6f} {:.6f} {} {}\n", p.latitude, p.longitude,
                            p.altitude ? fmt::format("{:.1f}", *p.altitude) : "none", iso8601::format(p.date));
    }
    EXPECT_EQ(ours, expected);

    const auto gpxpy = testing::runPythonReader("gpx_read.py", testing::shellQuoted(file.string()));
    EXPECT_EQ(gpxpy.exitStatus, 0) << "python3-gpxpy is missing: scripts/install-deps installs it";
    EXPECT_EQ(gpxpy.output, expected);

}

} // namespace
} // namespace veq
