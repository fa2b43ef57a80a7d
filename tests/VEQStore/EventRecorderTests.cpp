#include "VEQStore/EventRecorder.hpp"

#include "VEQStore/TelemetryFile.hpp"

#include "TestSupport/FileSizeLimit.hpp"
#include "TestSupport/StorePrinters.hpp"
#include "TestSupport/TemporaryFolder.hpp"

#include <gtest/gtest.h>

#include <fstream>

using veq::EventRecorder;
using veq::testing::TemporaryFolder;
namespace tf = veq::TelemetryFile;
using namespace std::chrono_literals;

namespace {

using Event = EventRecorder::Event;
using Kind = EventRecorder::SaveError::Kind;
constexpr auto none = std::nullopt;
using Values = std::vector<std::optional<float>>;

const EventRecorder::Date origin{std::chrono::milliseconds(1'700'000'000'000)};

EventRecorder::Date after(std::chrono::nanoseconds d) { return origin + d; }

std::optional<Kind> saveErrorOf(EventRecorder& recorder, const std::filesystem::path& path,
                                const std::optional<std::set<std::uint8_t>>& channels = std::nullopt) {
    try {
        recorder.save(path, 50, channels);
    } catch (const EventRecorder::SaveError& e) {
        return e.kind();
    }
    return std::nullopt;
}

std::string slurp(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::size_t entriesIn(const std::filesystem::path& folder) {
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(folder), {}));
}

} // namespace

TEST(EventRecorderTests, ValuesAreStampedInRoundedMillisecondsWithinTheirSpan) {
    struct Case {
        const char* label;
        EventRecorder::Date at;
        std::optional<std::uint32_t> ms; // none: ignored
    };
    const Case cases[] = {
        {"1 ms before the origin", after(-1ms), none},
        {"1 ns before the origin", after(-1ns), none},
        {"at the origin", origin, 0},
        {"1.4 ms", after(1400us), 1},
        {"1.5 ms rounds away from zero", after(1500us), 2},
        {"1.6 ms", after(1600us), 2},
        {"just under the end of the span", after(4'294'967s - 1ns), 4'294'967'000},
        {"at the end of the span", after(4'294'967s), none},
        {"latest date the clock holds", EventRecorder::Date::max(), none},
        {"earliest date the clock holds", EventRecorder::Date::min(), none},
    };
    EventRecorder recorder(origin, 100);
    std::vector<Event> expected;
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        recorder.record(static_cast<std::uint8_t>(i), static_cast<float>(i), cases[i].at);
        if (cases[i].ms) expected.push_back({*cases[i].ms, static_cast<std::uint8_t>(i), static_cast<float>(i)});
    }
    recorder.drain();
    EXPECT_EQ(recorder.events(), expected);
    EXPECT_EQ(recorder.status().eventCount, expected.size());
    EXPECT_EQ(recorder.status().dropped, 0U) << "values out of span are not counted as dropped";
    EXPECT_EQ(recorder.originDate(), origin);
}

TEST(EventRecorderTests, EventsKeepArrivalOrderNotTimeOrder) {
    EventRecorder recorder(origin, 100);
    recorder.record(0x0D, 50, after(2s));
    recorder.record(240, 48.8F, after(1s)); // a fix carries its own, earlier date
    recorder.record(0x0D, 51, after(3s));
    EXPECT_EQ(recorder.events(), (std::vector<Event>{{2000, 0x0D, 50}, {1000, 240, 48.8F}, {3000, 0x0D, 51}}));
}

TEST(EventRecorderTests, ReachingCapacityDropsTheOldestQuarterAtOnce) {
    struct Checkpoint {
        std::uint32_t recorded;
        std::size_t held;
        std::size_t dropped;
    };
    struct Case {
        std::size_t capacity;
        std::vector<Checkpoint> checkpoints; // in ascending order of events recorded
    };
    const Case cases[] = {
        {8, {{8, 8, 0}, {9, 7, 2}, {10, 8, 2}, {11, 7, 4}, {16, 8, 8}}}, // the 9th removes (8 + 1) / 4 = 2
        {4, {{5, 4, 1}}},
        {1, {{5, 1, 4}}}, // a quarter of 2 rounds to 0: one still goes, so the list stays bounded
        {2'000'000, {{2'000'000, 2'000'000, 0}, {2'000'001, 1'500'001, 500'000}}},
    };
    for (const auto& c : cases) {
        EventRecorder recorder(origin, c.capacity);
        std::uint32_t recorded = 0;
        for (const auto& checkpoint : c.checkpoints) {
            SCOPED_TRACE(testing::Message() << c.capacity << " / " << checkpoint.recorded);
            for (; recorded < checkpoint.recorded; ++recorded) {
                recorder.record(1, static_cast<float>(recorded), after(recorded * 1ms));
            }
            const auto status = recorder.status();
            EXPECT_EQ(status.eventCount, checkpoint.held);
            EXPECT_EQ(status.dropped, checkpoint.dropped);
            const auto events = recorder.events();
            ASSERT_EQ(events.size(), checkpoint.held);
            // What remains is the newest, in order.
            EXPECT_EQ(events.front().ms, recorded - checkpoint.held);
            EXPECT_EQ(events.back().ms, recorded - 1);
        }
    }
}

TEST(EventRecorderTests, MarksAreTruncatedAndClampedIntoTheirRange) {
    struct Case {
        const char* label;
        EventRecorder::Date at;
        double seconds;
    };
    const Case cases[] = {
        {"1.9 ms truncates to 1 ms", after(1900us), 0.001},
        {"before the origin is 0", after(-5s), 0.0},
        {"far past 49.7 days is the last millisecond", after(24h * 365), 4'294'967.295},
        {"latest date the clock holds", EventRecorder::Date::max(), 4'294'967.295},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        EventRecorder recorder(origin, 10);
        recorder.markStart(c.at);
        recorder.markEnd(c.at);
        const auto status = recorder.status();
        EXPECT_EQ(status.startMark, c.seconds);
        EXPECT_EQ(status.endMark, c.seconds);
    }
}

TEST(EventRecorderTests, StatusCountsEventsChannelsAndMarks) {
    EventRecorder recorder(origin, 100);
    EXPECT_EQ(recorder.status(), (EventRecorder::Status{0, 0, none, none, 0}));
    recorder.record(0x0C, 800, after(10ms));
    recorder.record(0x0D, 30, after(20ms));
    recorder.record(0x0C, 900, after(30ms));
    recorder.markStart(after(1s));
    EXPECT_EQ(recorder.status(), (EventRecorder::Status{3, 0, 1.0, none, 2}));
    recorder.markEnd(after(2500ms));
    EXPECT_EQ(recorder.status(), (EventRecorder::Status{3, 0, 1.0, 2.5, 2}));
    recorder.markStart(after(3s));
    EXPECT_EQ(recorder.status(), (EventRecorder::Status{3, 0, 3.0, none, 2})) << "a new start clears the end";
    recorder.clearMarks();
    EXPECT_EQ(recorder.status(), (EventRecorder::Status{3, 0, none, none, 2}));
}

TEST(EventRecorderTests, SummariesListOrdinaryChannelsThenGPS) {
    EventRecorder recorder(origin, 100);
    EXPECT_TRUE(recorder.channelSummaries().empty());
    recorder.record(240, 48.85F, after(1s));
    recorder.record(246, 12.5F, after(2s));
    recorder.record(0x0D, 40, after(3s));
    recorder.record(0x0D, 42, after(2500ms)); // last in arrival order, though earlier in time
    recorder.record(243, 41, after(4s));

    const auto summaries = recorder.channelSummaries();
    ASSERT_EQ(summaries.size(), 4U);
    // Outside GPS the capture screen names channels as parameters: the chronometer shows its number.
    EXPECT_EQ(summaries[0], (EventRecorder::ChannelSummary{0x0D, "Vitesse véhicule", 2, 42, 2.5, false}));
    EXPECT_EQ(summaries[1], (EventRecorder::ChannelSummary{246, "PID 0xF6", 1, 12.5F, 2.0, false}));
    EXPECT_EQ(summaries[2], (EventRecorder::ChannelSummary{240, "Latitude GPS", 1, 48.85F, 1.0, true}));
    EXPECT_EQ(summaries[3], (EventRecorder::ChannelSummary{243, "Vitesse GPS", 1, 41, 4.0, true}));
}

TEST(EventRecorderTests, SaveRefusesMissingMarksAndEmptyRangesWithoutWriting) {
    TemporaryFolder folder;
    const auto path = folder / "range.veqt";
    EventRecorder recorder(origin, 100);
    recorder.record(0x0C, 800, after(100ms));
    recorder.record(0x0D, 30, after(200ms));

    EXPECT_EQ(saveErrorOf(recorder, path), Kind::noMarks) << "no mark";
    recorder.markStart(after(0ms));
    EXPECT_EQ(saveErrorOf(recorder, path), Kind::noMarks) << "start only";
    recorder.markEnd(after(0ms));
    EXPECT_EQ(saveErrorOf(recorder, path), Kind::noMarks) << "equal marks";
    recorder.markEnd(after(500ms));
    recorder.markStart(after(50ms));
    EXPECT_EQ(saveErrorOf(recorder, path), Kind::noMarks) << "a start after the end clears it";
    recorder.markEnd(after(90ms));
    EXPECT_EQ(saveErrorOf(recorder, path), Kind::emptyRange) << "nothing between the marks";
    recorder.markStart(after(0ms));
    recorder.markEnd(after(1s));
    EXPECT_EQ(saveErrorOf(recorder, path, std::set<std::uint8_t>{0x05}), Kind::emptyRange) << "channel set";
    EXPECT_EQ(saveErrorOf(recorder, path, std::set<std::uint8_t>{}), Kind::emptyRange) << "empty channel set";
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_EQ(entriesIn(folder.path()), 0U);

    const struct {
        Kind kind;
        const char* text;
    } texts[] = {{Kind::noMarks, "posez d'abord une marque de début et une de fin"},
                 {Kind::emptyRange, "aucun échantillon entre les deux marques"}};
    for (const auto& t : texts) EXPECT_STREQ(EventRecorder::SaveError(t.kind).what(), t.text);
}

TEST(EventRecorderTests, SaveGroupsEventsIntoBucketsFromTheStartMark) {
    TemporaryFolder folder;
    const auto path = folder / "range.veqt";
    EventRecorder recorder(origin, 1000);
    recorder.record(0x0C, 1, after(990ms));     // before the start mark: left out
    recorder.record(0x0C, 2, after(1010ms));    // bucket 0
    recorder.record(0x0C, 3, after(1040ms));    // bucket 0, later arrival wins
    recorder.record(240, 45.5F, after(1060ms)); // bucket 50
    recorder.record(246, 7, after(1049ms));     // bucket 0, arrives late
    recorder.record(0x0D, 60, after(1199ms));   // bucket 150
    recorder.record(0x0D, 61, after(1230ms));   // exactly at the end mark: bucket 200
    recorder.record(0x0D, 62, after(1231ms));   // after the end mark: left out
    recorder.markStart(after(1000ms));
    recorder.markEnd(after(1230ms));
    const auto before = recorder.status();

    const auto saved = recorder.save(path, 50);
    EXPECT_EQ(saved, (EventRecorder::SavedLog{path, 4, 4, 6, 0.23}));
    EXPECT_EQ(recorder.status(), before) << "saving changes nothing held";

    const auto contents = tf::read(path);
    EXPECT_EQ(contents.startDate, after(1000ms)) << "time zero of the records is the start mark";
    ASSERT_EQ(contents.channels.size(), 4U);
    EXPECT_EQ(contents.channels[0], (tf::Channel{0x0C, "Régime moteur"}));
    EXPECT_EQ(contents.channels[1], (tf::Channel{0x0D, "Vitesse véhicule"}));
    EXPECT_EQ(contents.channels[2], (tf::Channel{246, "Chrono · temps écoulé"}));
    EXPECT_EQ(contents.channels[3], (tf::Channel{240, "Latitude GPS"}));
    EXPECT_EQ(contents.records, (std::vector<tf::Record>{{0, {3.0F, none, 7.0F, none}},
                                                         {50, {none, none, none, 45.5F}},
                                                         {150, {none, 60.0F, none, none}},
                                                         {200, {none, 61.0F, none, none}}}));

    // Only the chosen channels, and the first record need not be at 0.
    const auto gpsOnly = recorder.save(path, 50, std::set<std::uint8_t>{240, 0x05});
    EXPECT_EQ(gpsOnly, (EventRecorder::SavedLog{path, 1, 1, 1, 0.23}));
    EXPECT_EQ(tf::read(path).records, (std::vector<tf::Record>{{50, {45.5F}}}));
}

TEST(EventRecorderTests, ChannelsInNeighbouringBucketsGetRecordsOfTheirOwn) {
    TemporaryFolder folder;
    EventRecorder recorder(origin, 100);
    recorder.record(1, 10, after(0ms));
    recorder.record(1, 11, after(49ms));
    recorder.record(2, 20, after(50ms));
    recorder.record(2, 21, after(99ms));
    recorder.markStart(origin);
    recorder.markEnd(after(100ms));
    recorder.save(folder / "a.veqt", 50);
    EXPECT_EQ(tf::read(folder / "a.veqt").records, (std::vector<tf::Record>{{0, {11.0F, none}}, {50, {none, 21.0F}}}));

    // A zero width would divide by zero: it is taken as one millisecond.
    recorder.save(folder / "b.veqt", 0);
    EXPECT_EQ(tf::read(folder / "b.veqt").records.size(), 4U);
}

TEST(EventRecorderTests, AFailedSaveThrowsAndLeavesTheUsersFileAlone) {
    TemporaryFolder folder;
    const auto path = folder / "kept.veqt";
    {
        std::ofstream(path, std::ios::binary) << "the user's earlier range";
    }
    EventRecorder recorder(origin, 10'000);
    for (int i = 0; i < 1000; ++i) recorder.record(0x0C, static_cast<float>(i), after(i * 50ms));
    recorder.markStart(origin);
    recorder.markEnd(after(60s));
    {
        // Room for the header, not for the records.
        veq::testing::FileSizeLimit limit(256);
        ASSERT_TRUE(limit.active());
        try {
            recorder.save(path, 50);
            FAIL() << "a save that could not write its records must not report success";
        } catch (const EventRecorder::SaveError&) {
            FAIL() << "a file failure is not a marks error";
        } catch (const veq::Error& e) {
            EXPECT_NE(std::string(e.what()).find("Écriture impossible"), std::string::npos) << e.what();
        }
    }
    EXPECT_EQ(slurp(path), "the user's earlier range");
    EXPECT_EQ(entriesIn(folder.path()), 1U) << "no temporary file is left behind";

    // The same save with room succeeds and replaces the file.
    EXPECT_EQ(recorder.save(path, 50).records, 1000U);
    EXPECT_EQ(tf::read(path).records.size(), 1000U);
}

TEST(EventRecorderTests, AFolderThatCannotBeCreatedIsAFileError) {
    TemporaryFolder folder;
    {
        std::ofstream(folder / "plain") << "x";
    }
    EventRecorder recorder(origin, 10);
    recorder.record(1, 1, origin);
    recorder.markStart(origin);
    recorder.markEnd(after(1s));
    EXPECT_THROW(recorder.save(folder / "plain" / "range.veqt", 50), veq::Error);
}
