#include "VEQStore/Export/SubtitleExporter.hpp"

#include "VEQStore/StoreFixtures.hpp"
#include "TestSupport/DefaultTimeZone.hpp"
#include "TestSupport/FrenchLocale.hpp"
#include "VEQStore/Export/SRTDocument.hpp"

#include <cmath>
#include <sstream>

namespace veq {
namespace {

using SubtitleExporter::Layout;
using SubtitleExporter::Options;
using SubtitleExporter::SpeedUnit;
using SubtitleExporter::detail::Frame;
using namespace testing;

constexpr double kInf = std::numeric_limits<double>::infinity();

Options options(Layout layout, double rate = 1, double offset = 0) {
    Options o;
    o.layout = layout;
    o.rate = rate;
    o.offset = offset;
    return o;
}

// Frame times as repeated addition of 1 / rate from 0 s gives them, up to the last record's
// time plus 1e-9 s.
std::vector<double> accumulatedFrameTimes(double lastSeconds, double rate) {
    std::vector<double> times;
    for (double t = 0; t <= lastSeconds + 0.000000001; t += 1.0 / rate) times.push_back(t);
    return times;
}

// One record every `everyMs` up to `lastMs`.
TelemetryFile::Contents regularDrive(std::uint32_t lastMs, std::uint32_t everyMs) {
    std::vector<TelemetryFile::Record> records;
    for (std::uint32_t ms = 0; ms <= lastMs; ms += everyMs) records.push_back({ms, {float(records.size())}});
    return makeDrive({0x11}, std::move(records));
}

TEST(SubtitleExporterResample, PicksTheNearestRecordWithoutCarryingValues) {
    const std::tuple<const char*, std::vector<std::uint32_t>, double, std::vector<Frame>> cases[] = {
        {"no records", {}, 1, {}},
        {"tie takes the earlier record, limit 1.5 s", {0, 500, 1500}, 1, {{0, 0}, {1, 1}}},
        {"frames start at 0 s", {3000, 4000}, 1, {{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 1}}},
        {"nearer later record", {0, 900, 2000}, 1, {{0, 0}, {1, 1}, {2, 2}}},
        {"rate 0: one frame per record", {0, 0, 700}, 0, {{0, 0}, {0, 1}, {0.7, 2}}},
        {"rate not a number", {100, 50}, std::nan(""), {{0.1, 0}, {0.05, 1}}},
    };
    for (const auto& [name, times, rate, expected] : cases) {
        std::vector<TelemetryFile::Record> records;
        for (auto ms : times) records.push_back({ms, {}});
        EXPECT_EQ(SubtitleExporter::detail::resample(makeDrive({}, records), rate), expected) << name;
    }
}

TEST(SubtitleExporterResample, FrameCountsAccumulateAndExtremeRatesAreBounded) {
    const auto threeHours = regularDrive(3 * 3600 * 1000, 250);
    for (double rate : {25.0, 29.97}) {
        const auto expected = accumulatedFrameTimes(threeHours.records.back().seconds(), rate);
        const auto frames = SubtitleExporter::detail::resample(threeHours, rate);
        ASSERT_EQ(frames.size(), expected.size()) << rate;
        EXPECT_EQ(frames.back().seconds, expected.back()) << rate;
    }
    // An infinite rate used to give a step of 0 and never end: it is one frame per millisecond.
    const auto tenSeconds = regularDrive(10'000, 100);
    EXPECT_EQ(SubtitleExporter::detail::resample(tenSeconds, kInf).size(), accumulatedFrameTimes(10.0, 1000).size());

    // The longest drive a file holds, at the highest rate: fewer frames, still to the end.
    const auto longest = makeDrive({}, {{0, {}}, {std::numeric_limits<std::uint32_t>::max(), {}}});
    for (double rate : {1000.0, kInf}) {
        const auto frames = SubtitleExporter::detail::resample(longest, rate);
        EXPECT_LE(frames.size(), SubtitleExporter::maxFrames);
        EXPECT_GE(frames.size(), SubtitleExporter::maxFrames - 2);
        EXPECT_GT(frames.back().seconds, longest.records.back().seconds() - 2 * frames[1].seconds);
    }
}

TEST(SubtitleExporterText, TimingNumberingAndOffsets) {
    EXPECT_EQ(SubtitleExporter::srt(makeDrive({0x11}, {}), {}), "");
    const std::tuple<const char*, TelemetryFile::Contents, Options, std::vector<std::pair<double, double>>> cases[] = {
        {"last block as long as the one before", makeDrive({}, {{0, {}}, {500, {}}, {1500, {}}}), {}, {{0, 1}, {1, 2}}},
        {"rate 0, same ms: zero length, then 0.2 s", makeDrive({}, {{300, {}}, {300, {}}}), options(Layout::dji, 0),
         {{0.3, 0.3}, {0.3, 0.5}}},
        {"offset -5 skips frames ending at or before 0", regularDrive(10'000, 1000), options(Layout::dji, 1, -5),
         {{0, 1}, {1, 2}, {2, 3}, {3, 4}, {4, 5}, {5, 6}}},
        {"a start before 0 is written as 0", regularDrive(1000, 1000), options(Layout::dji, 1, -0.5), {{0, 0.5}, {0.5, 1.5}}},
        {"all frames end before 0", regularDrive(2000, 1000), options(Layout::dji, 1, -3), {}},
    };
    for (const auto& [name, contents, o, times] : cases) {
        const std::string srt = SubtitleExporter::srt(contents, o);
        const auto blocks = SRTDocument::parse(srt).blocks;
        ASSERT_EQ(blocks.size(), times.size()) << name;
        for (std::size_t i = 0; i < blocks.size(); ++i) {
            EXPECT_NEAR(blocks[i].start, times[i].first, 1e-9) << name << " block " << i;
            EXPECT_NEAR(blocks[i].end, times[i].second, 1e-9) << name << " block " << i;
        }
        // Numbering and the camera counter count written blocks from 1.
        EXPECT_TRUE(blocks.empty() || (srt.starts_with("1\n") && srt.find("SrtCnt : 1, ") != std::string::npos)) << name;
    }
}

TEST(SubtitleExporterText, ReadableLayoutValues) {
    // speed 13, rpm 12, throttle 17, coolant 5, pressure 11, latitude, longitude, altitude
    const std::vector<std::uint8_t> pids{0x0D, 0x0C, 0x11, 0x05, 0x0B, 240, 241, 242};
    Options imperial = options(Layout::readable);
    imperial.setImperial(true);
    imperial.boostRelative = false;
    Options gps = options(Layout::readable);
    gps.includeGPS = true;
    const std::tuple<Values, Options, std::string> cases[] = {
        {{kNone, kNone, kNone, kNone, kNone, kNone, kNone, kNone}, options(Layout::readable),
         "SPEED: N/A m/s | RPM: N/A RPM | THROTTLE: N/A%\nCOOLANT: N/A°C | BOOST: N/A bar"},
        {{100.0f, kNone, -0.4f, 90.0f, 250.0f, kNone, kNone, kNone}, imperial,
         "SPEED: 62 mph | RPM: N/A RPM | THROTTLE: 0%\nCOOLANT: 194°F | BOOST: 2.50 bar"},
        // -0.004 bar rounds to a zero without sign; the GPS line needs both coordinates.
        {{36.0f, kNone, kNone, kNone, 100.9f, 48.0f, kNone, 35.0f}, gps,
         "SPEED: 10.0 m/s | RPM: N/A RPM | THROTTLE: N/A%\nCOOLANT: N/A°C | BOOST: 0.00 bar"},
        // Values without an integer: "N/A", or the end of the integer range; never undefined.
        {{kInfF, kInfF, 1e30f, -kInfF, std::nanf(""), kNone, kNone, kNone}, options(Layout::readable),
         "SPEED: N/A m/s | RPM: N/A RPM | THROTTLE: 9223372036854775807%\nCOOLANT: N/A°C | BOOST: N/A bar"},
    };
    for (const auto& [values, o, body] : cases) {
        EXPECT_EQ(SubtitleExporter::srt(makeDrive(pids, {{0, values}}), o), "1\n00:00:00,000 --> 00:00:01,000\n" + body + "\n\n");
    }
}

TEST(SubtitleExporterText, CameraLayoutTags) {
    testing::DefaultTimeZone zone("UTC");
    const std::vector<std::uint8_t> pids{240, 241, 242, 0x0D, 243, 0x0C, 0x11, 0x05, 0x0B, 227,
                                         228, 230, 231, 234, 250, 238, 246, 247, 248, 249};
    auto tagLine = [&](std::vector<std::optional<float>> values, Options o = {}) {
        values.resize(pids.size());
        const std::string text = SubtitleExporter::srt(makeDrive(pids, {{0, values}}), o);
        const auto line = text.find('\n', text.find("\n2026-") + 1) + 1;
        return text.substr(line, text.size() - line - 2);
    };
    EXPECT_EQ(tagLine({}), " </font>");
    EXPECT_EQ(tagLine({48.8566134f, 2.3522219f, 35.25f, 36.0f, 72.0f, 2500.5f, 12.34f, 89.5f, 151.3f, 0.125f,
                       -0.25f, 1.01f, 3.25f, 271.55f, 0.5f, 1.0f, 12.3456f, 3.0f, 61.5f, 2.0f}),
              "[latitude: 48.856613] [longitude: 2.352222] [rel_alt: 0.000 abs_alt: 35.250] [speed: 10.0] "
              "[rpm: 2501] [throttle: 12.3] [coolant: 90] [boost: 0.50] [accel_long: 0.12] [accel_lat: -0.25] "
              "[g_force: 1.01] [yaw_rate: 3.2] [compass: 271.5] [braking: 0.50] [sync: 1] [elapsed: 12.346] "
              "[lap: 3] [lap_time: 61.500] [lap_mark: 2] </font>");

    // Speed falls back on the GPS speed, in metres per second whatever the option says; boost
    // is always relative.
    Options other;
    other.speedUnit = SpeedUnit::milesPerHour;
    other.boostRelative = false;
    EXPECT_EQ(tagLine({kNone, kNone, kNone, kNone, 72.0f, kNone, kNone, kNone, 100.9f}, other),
              "[speed: 20.0] [boost: 0.00] </font>");

    // Integer tags of values without an integer.
    EXPECT_EQ(tagLine({kNone, kNone, kNone, kNone, kNone, kInfF, kNone, -1e30f, kNone, kNone, kNone, kNone, kNone,
                       kNone, kNone, kNone, kNone, std::nanf(""), kNone, 1e30f}),
              "[rpm: N/A] [coolant: -9223372036854775808] [lap: N/A] [lap_mark: 9223372036854775807] </font>");
}

TEST(SubtitleExporterText, ExtremeDatesAndOffsetsStillGiveADocument) {
    testing::DefaultTimeZone zone("Europe/Paris");
    // A start date at the clock's end (a file may carry one): the frames' dates stay there.
    const auto late = makeDrive({0x0C}, {{0, {800.0f}}, {1000, {900.0f}}}, TelemetryFile::Date::max());
    const std::string lateText = SubtitleExporter::srt(late, {});
    EXPECT_NE(lateText.find("1000ms\n2262-04-11 23:47:16.854\n[rpm: 900]"), std::string::npos) << lateText;

    // An infinite offset: clamped times and no duration.
    const std::string far = SubtitleExporter::srt(late, options(Layout::dji, 1, kInf));
    EXPECT_NE(far.find("2562047788015:12:55,807 --> 2562047788015:12:55,807\n"), std::string::npos);
    EXPECT_NE(far.find("DiffTime : N/Ams"), std::string::npos);
}

const Options kCameraAt2Hz = options(Layout::dji, 2);
const Options kReadablePerRecord = [] {
    Options o = options(Layout::readable, 0);
    o.includeGPS = true;
    o.speedUnit = SpeedUnit::kilometersPerHour;
    return o;
}();

TEST(SubtitleExporterText, BothLayoutsMatchTheirGoldenFilesWhateverTheLocale) {
    testing::DefaultTimeZone zone("Europe/Paris");
    const std::string camera = dataFile("subtitles-camera.srt"), readable = dataFile("subtitles-readable.srt");
    EXPECT_EQ(SubtitleExporter::srt(gaugeDrive(), kCameraAt2Hz), camera);
    EXPECT_EQ(SubtitleExporter::srt(gaugeDrive(), kReadablePerRecord), readable);

    testing::FrenchLocale french;
    ASSERT_TRUE(french.active()) << "fr_FR.UTF-8 is missing: scripts/install-deps generates it";
    EXPECT_EQ(SubtitleExporter::srt(gaugeDrive(), kCameraAt2Hz), camera);
    EXPECT_EQ(SubtitleExporter::srt(gaugeDrive(), kReadablePerRecord), readable);
}

TEST(SubtitleExporterReaders, FFprobeReadsTheExport) {
    VEQ_REQUIRE_TOOL("ffprobe");
    testing::TemporaryFolder folder;
    const auto file = folder / "drive.srt";
    for (const Options& o : {kCameraAt2Hz, kReadablePerRecord}) {
        const std::string srt = SubtitleExporter::srt(gaugeDrive(), o);
        testing::writeFile(file, srt);
        std::ostringstream expected; // "number start_ms end_ms" per block
        const auto blocks = SRTDocument::parse(srt).blocks;
        for (std::size_t i = 0; i < blocks.size(); ++i) {
            expected << i + 1 << ' ' << std::llround(blocks[i].start * 1000) << ' ' << std::llround(blocks[i].end * 1000) << '\n';
        }
        ASSERT_EQ(blocks.size(), 5u);

        // ffmpeg's subrip demuxer: one packet per block, with its start and duration in ms.
        const auto probe = testing::runTool("ffprobe -v error -f srt -show_entries packet=pts,duration -of csv=p=0 " +
                                            testing::shellQuoted(file.string()));
        ASSERT_EQ(probe.exitStatus, 0);
        std::ostringstream fromProbe;
        std::istringstream lines(probe.output);
        long long pts = 0, duration = 0;
        char comma = 0;
        for (int n = 1; lines >> pts >> comma >> duration; ++n) fromProbe << n << ' ' << pts << ' ' << pts + duration << '\n';
        EXPECT_EQ(fromProbe.str(), expected.str());
    }
}

} // namespace
} // namespace veq
