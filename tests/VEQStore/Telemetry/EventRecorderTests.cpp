#include "VEQStore/Telemetry/EventRecorder.hpp"

#include "VEQStore/StoreFixtures.hpp"
#include "TestSupport/FileSizeLimit.hpp"

using veq::EventRecorder;
using namespace veq::testing;
namespace tf = veq::TelemetryFile;
using namespace std::chrono_literals;

namespace {

using Event = EventRecorder::Event;
using Kind = EventRecorder::SaveError::Kind;
constexpr auto none = std::nullopt;

const EventRecorder::Date origin{1'700'000'000'000ms};
EventRecorder::Date after(std::chrono::nanoseconds d) { return origin + d; }

std::optional<Kind> saveErrorOf(EventRecorder& recorder, const std::filesystem::path& path,
                                const std::optional<std::set<std::uint8_t>>& channels = none) {
    try {
        recorder.save(path, 50, channels);
    } catch (const EventRecorder::SaveError& e) {
        return e.kind();
    }
    return none;
}

std::size_t entriesIn(const std::filesystem::path& folder) {
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(folder), {}));
}

} // namespace

TEST(EventRecorderTests, ValuesAreStampedInRoundedMillisecondsWithinTheirSpanInArrivalOrder) {
    const std::pair<EventRecorder::Date, std::optional<std::uint32_t>> cases[] = { // none: ignored
        {after(-1ns), none},           {origin, 0},           {after(1500us), 2},          {after(1499us), 1},
        {after(4'294'967s - 1ns), 4'294'967'000}, {after(4'294'967s), none}, {after(1ms), 1}, // earlier time, later arrival
        {EventRecorder::Date::max(), none},       {EventRecorder::Date::min(), none},
    };
    EventRecorder recorder(origin, 100);
    std::vector<Event> expected;
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        recorder.record(std::uint8_t(i), float(i), cases[i].first);
        if (cases[i].second) expected.push_back({*cases[i].second, std::uint8_t(i), float(i)});
    }
    recorder.drain();
    EXPECT_EQ(recorder.events(), expected);
    EXPECT_EQ(recorder.status().dropped, 0U) << "values out of span are not counted as dropped";
}

TEST(EventRecorderTests, ReachingCapacityDropsTheOldestQuarterAtOnce) {
    // capacity, then (recorded so far, held, dropped) at each checkpoint
    const std::pair<std::size_t, std::vector<std::array<std::uint32_t, 3>>> cases[] = {
        {8, {{8, 8, 0}, {9, 7, 2}, {10, 8, 2}, {11, 7, 4}}}, // the 9th removes (8 + 1) / 4 = 2
        {7, {{8, 6, 2}}},                                    // (7 + 1) / 4
        {1, {{5, 1, 4}}},                                    // a quarter of 2 rounds to 0: one still goes
    };
    for (const auto& [capacity, checkpoints] : cases) {
        EventRecorder recorder(origin, capacity);
        std::uint32_t recorded = 0;
        for (const auto& [upTo, held, dropped] : checkpoints) {
            for (; recorded < upTo; ++recorded) recorder.record(1, 0, after(recorded * 1ms));
            EXPECT_EQ(recorder.status().eventCount, held) << capacity << " / " << upTo;
            EXPECT_EQ(recorder.status().dropped, dropped) << capacity << " / " << upTo;
            EXPECT_EQ(recorder.events().front().ms, recorded - held) << "the newest remain";
        }
    }
}

// The capture screen offers a range from this date: the earliest value still held, whether it
// arrived first or not, and after a capacity drop the earliest of those kept.
TEST(EventRecorderTests, TheOldestEventDateIsTheEarliestValueStillHeld) {
    EventRecorder recorder(origin, 4);
    EXPECT_EQ(recorder.oldestEventDate(), none);
    recorder.record(0x0C, 1, after(30ms));
    recorder.record(0xF0, 2, after(20ms)); // a position fix dated before the value it follows
    EXPECT_EQ(recorder.oldestEventDate(), after(20ms));
    for (int i = 0; i < 4; ++i) recorder.record(0x0D, 3, after((40 + i) * 1ms)); // the fifth and sixth drop one each
    ASSERT_EQ(recorder.status().dropped, 2U);
    EXPECT_EQ(recorder.oldestEventDate(), after(40ms));
}

TEST(EventRecorderTests, MarksAreTruncatedAndClampedAndCountedInTheStatus) {
    const std::pair<EventRecorder::Date, double> marks[] = {{after(1900us), 0.001}, {after(-5s), 0.0}, {EventRecorder::Date::max(), 4'294'967.295}};
    for (const auto& [at, seconds] : marks) {
        EventRecorder recorder(origin, 10);
        recorder.markEnd(at);
        EXPECT_EQ(recorder.status().endMark, seconds);
    }

    EventRecorder recorder(origin, 100);
    recorder.record(0x0C, 800, after(10ms));
    recorder.record(0x0D, 30, after(20ms));
    recorder.record(0x0C, 900, after(30ms));
    recorder.markStart(after(1s));
    recorder.markEnd(after(2500ms));
    EXPECT_EQ(recorder.status(), (EventRecorder::Status{3, 0, 1.0, 2.5, 2}));
    recorder.markStart(after(3s));
    EXPECT_EQ(recorder.status(), (EventRecorder::Status{3, 0, 3.0, none, 2})) << "a new start clears the end";
    recorder.clearMarks();
    EXPECT_EQ(recorder.status(), (EventRecorder::Status{3, 0, none, none, 2}));
}

// A connection's clock time falls between two milliseconds; marks set on whole seconds of the
// clock (the capture's handles) must still lie on those seconds, and the saved range start there.
TEST(EventRecorderTests, AnOriginBetweenMillisecondsKeepsMarksSetOnWholeSecondsOnThem) {
    TemporaryFolder folder;
    EventRecorder recorder(after(437'123ns), 100);
    EXPECT_EQ(recorder.originDate(), origin);
    recorder.record(0x0C, 800, after(21'500ms));
    recorder.markStart(after(21s));
    recorder.markEnd(after(153s));
    const auto onClock = [&](std::optional<double> mark) {
        return recorder.originDate() + std::chrono::round<std::chrono::milliseconds>(std::chrono::duration<double>(*mark));
    };
    const auto status = recorder.status();
    EXPECT_EQ(onClock(status.startMark), after(21s));
    EXPECT_EQ(onClock(status.endMark), after(153s));
    EXPECT_EQ(tf::read(recorder.save(folder / "range.veqt", 50).url).startDate, after(21s));
}

TEST(EventRecorderTests, SummariesListOrdinaryChannelsThenGPS) {
    EventRecorder recorder(origin, 100);
    recorder.record(240, 48.85F, after(1s));
    recorder.record(246, 12.5F, after(2s));
    recorder.record(0x0D, 40, after(3s));
    recorder.record(0x0D, 42, after(2500ms)); // last in arrival order, though earlier in time
    recorder.record(243, 41, after(4s));
    // Outside GPS the chronometer is named by its number.
    EXPECT_EQ(recorder.channelSummaries(), (std::vector<EventRecorder::ChannelSummary>{
                                               {0x0D, "Vitesse véhicule", 2, 42, 2.5, false},
                                               {246, "PID 0xF6", 1, 12.5F, 2.0, false},
                                               {240, "Latitude GPS", 1, 48.85F, 1.0, true},
                                               {243, "Vitesse GPS", 1, 41, 4.0, true}}));
}

TEST(EventRecorderTests, SaveRefusesMissingMarksAndEmptyRangesWithoutWriting) {
    TemporaryFolder folder;
    const auto path = folder / "range.veqt";
    EventRecorder recorder(origin, 100);
    recorder.record(0x0C, 800, after(100ms));
    EXPECT_EQ(saveErrorOf(recorder, path), Kind::noMarks) << "no mark";
    recorder.markStart(origin);
    recorder.markEnd(origin);
    EXPECT_EQ(saveErrorOf(recorder, path), Kind::noMarks) << "equal marks";
    recorder.markEnd(after(90ms));
    EXPECT_EQ(saveErrorOf(recorder, path), Kind::emptyRange) << "nothing between the marks";
    recorder.markEnd(after(1s));
    EXPECT_EQ(saveErrorOf(recorder, path, std::set<std::uint8_t>{0x05}), Kind::emptyRange) << "channel set";
    EXPECT_EQ(entriesIn(folder.path()), 0U);
    EXPECT_STREQ(EventRecorder::SaveError(Kind::noMarks).what(), "posez d'abord une marque de début et une de fin");
    EXPECT_STREQ(EventRecorder::SaveError(Kind::emptyRange).what(), "aucun échantillon entre les deux marques");
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

    EXPECT_EQ(recorder.save(path, 50), (EventRecorder::SavedLog{path, 4, 4, 6, 0.23}));
    EXPECT_EQ(tf::read(path), (tf::Contents{{{0x0C, "Régime moteur"}, {0x0D, "Vitesse véhicule"}, {246, "Chrono · temps écoulé"},
                                             {240, "Latitude GPS"}},
                                            after(1000ms), // time zero of the records is the start mark
                                            {{0, {3.0F, none, 7.0F, none}}, {50, {none, none, none, 45.5F}},
                                             {150, {none, 60.0F, none, none}}, {200, {none, 61.0F, none, none}}}}));

    EXPECT_EQ(recorder.save(path, 50, std::set<std::uint8_t>{240}).records, 1U);
    EXPECT_EQ(tf::read(path).records, (std::vector<tf::Record>{{50, {45.5F}}}));
    EXPECT_EQ(recorder.save(path, 0).records, 6U) << "a zero width is one millisecond, not a division by zero";
}

TEST(EventRecorderTests, AFailedSaveThrowsAFileErrorAndLeavesTheUsersFileAlone) {
    TemporaryFolder folder;
    const auto path = folder / "kept.veqt";
    writeFile(path, "the user's earlier range");
    EventRecorder recorder(origin, 10'000);
    for (int i = 0; i < 1000; ++i) recorder.record(0x0C, float(i), after(i * 50ms));
    recorder.markStart(origin);
    recorder.markEnd(after(60s));
    {
        veq::testing::FileSizeLimit limit(256); // room for the header, not for the records
        ASSERT_TRUE(limit.active());
        EXPECT_EQ(errorText([&] { recorder.save(path, 50); }),
                  "Écriture impossible de « " + path.string() +
                      " » : la plage n'a pas pu être enregistrée en entier (disque plein ?)");
    }
    {
        veq::testing::FileSizeLimit limit(8); // not even the header fits
        ASSERT_TRUE(limit.active());
        // The user is told of the file asked for, never of the hidden temporary beside it.
        const std::string error = errorText([&] { recorder.save(path, 50); });
        EXPECT_TRUE(error.starts_with("Écriture impossible de « " + path.string() + " » : ")) << error;
        EXPECT_EQ(error.find(".tmp-"), std::string::npos) << error;
    }
    EXPECT_EQ(readFile(path), "the user's earlier range");
    EXPECT_EQ(entriesIn(folder.path()), 1U) << "no temporary file is left behind";
    EXPECT_THROW(recorder.save(folder / "kept.veqt" / "range.veqt", 50), veq::Error) << "a folder that cannot be made";
    EXPECT_EQ(recorder.save(path, 50).records, 1000U);
    EXPECT_EQ(tf::read(path).records.size(), 1000U);
}
