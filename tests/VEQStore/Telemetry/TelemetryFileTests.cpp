#include "VEQStore/StoreFixtures.hpp"

#include "TestSupport/FileSizeLimit.hpp"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>
#include <unistd.h>

namespace tf = veq::TelemetryFile;
using namespace veq::testing;
using Bytes = std::vector<std::uint8_t>;

namespace {

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes le32(std::uint32_t v) {
    return {std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16), std::uint8_t(v >> 24)};
}

// Header of a drive starting at 1970 with the given entries already encoded.
Bytes headerWith(std::uint8_t channelCount, const Bytes& entries) {
    return Bytes{'V', 'E', 'Q', 'T', 1, 0, channelCount, 0, 0, 0, 0, 0, 0, 0, 0, 0} + entries;
}
const Bytes twoEntries{0x0C, 1, 'A', 0x0D, 1, 'B'};

std::vector<std::uint32_t> times(const tf::Contents& drive) {
    std::vector<std::uint32_t> out;
    for (const auto& r : drive.records) out.push_back(r.milliseconds);
    return out;
}

} // namespace

TEST(TelemetryFileTests, TwoChannelFileHasTheExactByteLayout) {
    TemporaryFolder folder;
    const auto path = folder / "drive.veqt";
    {
        // 0.9 ms past the start's millisecond that the header truncates away.
        tf::Writer writer(path, {{0x0C, "Régime"}, {0x0D, "Vitesse"}}, dateAt(1'700'000'000'123) + std::chrono::microseconds(900));
        writer.append(0, Values{1.0F, kNone});
        writer.append(250, Values{-2.5F, 100.0F});
    }
    const Bytes expected{'V', 'E', 'Q', 'T', 0x01, 0x00, 0x02, 0x00, 0x7B, 0x68, 0xE5, 0xCF, 0x8B, 0x01, 0x00, 0x00,
                         0x0C, 0x07, 'R', 0xC3, 0xA9, 'g', 'i', 'm', 'e', 0x0D, 0x07, 'V', 'i', 't', 'e', 's', 's', 'e',
                         0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80, 0x3F, 0x00, 0x00, 0xC0, 0x7F,  // 0 ms: 1.0, missing
                         0xFA, 0x00, 0x00, 0x00, 0x00, 0x00, 0x20, 0xC0, 0x00, 0x00, 0xC8, 0x42}; // 250 ms: -2.5, 100
    const auto bytes = readFile(path);
    EXPECT_EQ(Bytes(bytes.begin(), bytes.end()), expected);
    EXPECT_EQ(tf::read(path), (tf::Contents{{{0x0C, "Régime"}, {0x0D, "Vitesse"}}, dateAt(1'700'000'000'123),
                                            {{0, {1.0F, kNone}}, {250, {-2.5F, 100.0F}}}}));
}

TEST(TelemetryFileTests, MalformedHeadersFailInLayoutOrder) {
    using Kind = tf::ReadError::Kind;
    const std::tuple<const char*, Bytes, Kind, std::uint16_t> cases[] = {
        {"empty", {}, Kind::truncated, 0},
        {"wrong magic", {'V', 'E', 'Q', 'X', 1, 0, 0, 0}, Kind::badMagic, 0},
        {"version 0x0100", {'V', 'E', 'Q', 'T', 0, 1, 0, 0}, Kind::unsupportedVersion, 256},
        {"no start date", {'V', 'E', 'Q', 'T', 1, 0, 0, 0, 1, 2, 3}, Kind::truncated, 0},
        {"3 channels, 2 entries", headerWith(3, twoEntries), Kind::truncated, 0},
        {"name longer than the file", headerWith(1, {0x0C, 10, 'a', 'b'}), Kind::truncated, 0},
    };
    for (const auto& [label, bytes, kind, version] : cases) {
        const auto error = thrown<tf::ReadError>([&] { tf::decode(bytes); });
        EXPECT_EQ(error ? std::pair(error->kind(), error->versionFound()) : std::pair(Kind{}, std::uint16_t{1}),
                  std::pair(kind, version)) << label;
    }
}

TEST(TelemetryFileTests, RecordsRunToTheLastWholeOne) {
    const Bytes header = headerWith(2, twoEntries);
    const Bytes r0 = le32(0) + le32(0x3F800000) + le32(0x40000000), r1 = le32(100) + le32(0x40400000) + le32(0x40800000);
    const std::pair<Bytes, std::size_t> cases[] = {
        {header, 0}, {header + r0 + r1 + Bytes{0, 0, 0, 0, 9}, 2}, {header + r0 + Bytes(r1.begin(), r1.end() - 1), 1}};
    for (const auto& [bytes, count] : cases) {
        const auto contents = tf::decode(bytes);
        ASSERT_EQ(contents.records.size(), count);
        if (count == 2) {
            EXPECT_EQ(contents.records[1], (tf::Record{100, {3.0F, 4.0F}}));
        }
    }
    // Without channels a record is its time alone.
    EXPECT_EQ(tf::decode(headerWith(0, {}) + le32(7) + le32(9) + Bytes{1, 2}).records, (std::vector<tf::Record>{{7, {}}, {9, {}}}));
}

TEST(TelemetryFileTests, EveryNaNReadsAsMissingAndOtherValuesRoundTrip) {
    const Bytes nans = headerWith(1, {0x0C, 0}) + le32(0) + le32(0x7F800001) + le32(0) + le32(0xFFC00000);
    EXPECT_EQ(tf::decode(nans).records, (std::vector<tf::Record>{{0, {kNone}}, {0, {kNone}}}));

    TemporaryFolder folder;
    const Values written{kNone, -0.0F, kInfF, -kInfF, std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::denorm_min()};
    {
        tf::Writer writer(folder / "v.veqt", std::vector<tf::Channel>(written.size(), {1, "a"}), dateAt(0));
        writer.append(2000, written);
    }
    const auto values = tf::read(folder / "v.veqt").records.at(0).values;
    EXPECT_EQ(values, (Values{kNone, -0.0F, kInfF, -kInfF, kNone, std::numeric_limits<float>::denorm_min()}));
    EXPECT_TRUE(std::signbit(*values[1]));
}

TEST(TelemetryFileTests, NamesAreCutAt255BytesAndRepairedOnReading) {
    TemporaryFolder folder;
    // The cut at 255 splits the "é" after 254 bytes.
    { tf::Writer writer(folder / "n.veqt", {{1, std::string(300, 'x')}, {2, std::string(254, 'y') + "éz"}, {3, ""}}, dateAt(0)); }
    const auto channels = tf::read(folder / "n.veqt").channels;
    EXPECT_EQ(channels, (std::vector<tf::Channel>{{1, std::string(255, 'x')}, {2, std::string(254, 'y') + "\xEF\xBF\xBD"}, {3, ""}}));
}

TEST(TelemetryFileTests, StartDatesAreWholeMillisecondsWithinTheClock) {
    auto stored = [](tf::Date date) {
        std::uint64_t ms = 0;
        std::memcpy(&ms, tf::encodeHeader({}, date).data() + 8, 8); // little-endian, as this machine
        return ms;
    };
    EXPECT_EQ(stored(dateAt(5) + std::chrono::nanoseconds(999'999)), 5U);
    EXPECT_EQ(stored(dateAt(-1500)), 0U) << "before 1970 is written as 1970";
    // A hostile count beyond what the clock holds reads as a late date, not a wrapped one.
    Bytes huge = headerWith(0, {});
    std::fill(huge.begin() + 8, huge.begin() + 16, 0xFF);
    EXPECT_GT(tf::decode(huge).startDate, dateAt(0));
}

TEST(TelemetryFileTests, BufferReachesTheFileAtItsThresholdOrOnFlush) {
    TemporaryFolder folder;
    const auto path = folder / "buffer.veqt";
    tf::Writer writer(path, {{1, "a"}, {2, "b"}}, dateAt(0), [] { return tf::Writer::Clock::time_point{}; }); // no time passes
    const auto header = std::filesystem::file_size(path);
    const std::size_t toThreshold = (tf::Writer::flushThreshold + 11) / 12; // records of 12 bytes
    for (std::uint32_t i = 0; i + 1 < toThreshold; ++i) writer.append(i, Values{1.0F, 2.0F});
    EXPECT_EQ(std::filesystem::file_size(path), header) << "records stay in memory below the threshold";
    writer.append(1, Values{1.0F, 2.0F});
    EXPECT_EQ(std::filesystem::file_size(path), header + toThreshold * 12);
    writer.append(99'999, Values{1.0F, 2.0F});
    writer.flush();
    EXPECT_EQ(std::filesystem::file_size(path), header + (toThreshold + 1) * 12);
    EXPECT_EQ(tf::read(path).records.back().milliseconds, 99'999U);
    writer.close();
    EXPECT_FALSE(writer.failed());
}

// A slow drive fills the buffer in minutes: records also reach the file once the oldest
// buffered one is five seconds old, so that a crash loses seconds; with no record after them
// (polling paused), the owner's timer brings them there.
TEST(TelemetryFileTests, BufferedRecordsReachTheFileOnceTheOldestIsFiveSecondsOld) {
    using namespace std::chrono_literals;
    TemporaryFolder folder;
    const auto path = folder / "slow.veqt";
    tf::Writer::Clock::time_point now{};
    tf::Writer writer(path, {{0x0D, "Vitesse"}}, dateAt(0), [&] { return now; });
    const auto header = std::filesystem::file_size(path);
    const std::tuple<std::chrono::milliseconds, bool, std::size_t> steps[] = {
        // time, a record appended (else the owner's timer), records on disk after it
        {0ms, true, 0}, {250ms, true, 0}, {4999ms, true, 0}, {5000ms, true, 4}, {5250ms, true, 4}, {10'249ms, true, 4},
        {10'250ms, true, 7}, {11'000ms, true, 7}, {15'999ms, false, 7}, {16'000ms, false, 8}, {30'000ms, false, 8},
    };
    std::uint32_t ms = 0;
    for (const auto& [at, appends, onDisk] : steps) {
        now = tf::Writer::Clock::time_point{} + at;
        appends ? void(writer.append(ms++, Values{1.0F})) : writer.flushIfDue();
        EXPECT_EQ(std::filesystem::file_size(path), header + onDisk * 8) << at.count() << " ms";
    }
    EXPECT_EQ(tf::read(path).records.size(), 8U);
    EXPECT_FALSE(writer.failed());
}

TEST(TelemetryFileTests, ValueListsOfTheWrongLengthKeepRecordsAligned) {
    TemporaryFolder folder;
    {
        tf::Writer writer(folder / "l.veqt", {{1, "a"}, {2, "b"}}, dateAt(0));
        writer.append(10, Values{1.0F});
        writer.append(20, Values{2.0F, 3.0F, 4.0F});
        writer.append(30, Values{5.0F, 6.0F});
    }
    EXPECT_EQ(tf::read(folder / "l.veqt").records,
              (std::vector<tf::Record>{{10, {1.0F, kNone}}, {20, {2.0F, 3.0F}}, {30, {5.0F, 6.0F}}}));
}

TEST(TelemetryFileTests, WriterReplacesCreatesFoldersOrFailsWithAFileError) {
    TemporaryFolder folder;
    const auto path = folder / "a" / "b" / "drive.veqt";
    tf::Writer(path, {{1, "old"}}, dateAt(0)).append(0, Values{1.0F});
    { tf::Writer second(path, {{2, "new"}}, dateAt(1000)); }
    EXPECT_EQ(tf::read(path), (tf::Contents{{{2, "new"}}, dateAt(1000), {}}));

    writeFile(folder / "plain", "x");
    EXPECT_THROW(tf::Writer(folder / "plain" / "drive.veqt", {}, dateAt(0)), veq::Error);
    EXPECT_THROW(tf::Writer(folder / "many.veqt", std::vector<tf::Channel>(65'536, {1, "x"}), dateAt(0)), veq::Error);
    EXPECT_FALSE(std::filesystem::exists(folder / "many.veqt"));
    try {
        tf::read(folder / "missing.veqt");
        ADD_FAILURE() << "no error";
    } catch (const tf::ReadError&) {
        ADD_FAILURE() << "a missing file is a file error, not a format error";
    } catch (const veq::Error& e) {
        EXPECT_NE(std::string(e.what()).find("Lecture impossible"), std::string::npos);
    }
}

TEST(TelemetryFileTests, WhatAFailedWriteLeftOutReachesTheFileAtTheNextOne) {
    TemporaryFolder folder;
    const auto path = folder / "full.veqt";
    tf::Writer writer(path, {{1, "a"}, {2, "b"}}, dateAt(0), [] { return tf::Writer::Clock::time_point{}; });
    const auto header = std::filesystem::file_size(path);
    auto valuesOf = [](std::uint32_t i) { return Values{float(i), float(i) + 0.5F}; };
    std::uint32_t next = 0;
    {
        veq::testing::FileSizeLimit limit(header + 83 * 12 + 4); // 83 whole records and 4 bytes
        ASSERT_TRUE(limit.active());
        for (; next < 200; ++next) writer.append(next, valuesOf(next));
        writer.flush();
        EXPECT_TRUE(writer.failed());
        EXPECT_EQ(std::filesystem::file_size(path), header + 83 * 12) << "the partial record is cut back";
        EXPECT_EQ(writer.recordsInFile(), 83U);
        EXPECT_EQ(writer.recordCount(), 200U) << "records a failed write left out are kept";
    }
    // Space again: the kept records go first, lined up with what came before.
    for (; next < 203; ++next) writer.append(next, valuesOf(next));
    writer.close();
    const auto records = tf::read(path).records;
    ASSERT_EQ(records.size(), 203U);
    for (std::uint32_t i = 0; i < 203; ++i) EXPECT_EQ(records[i], (tf::Record{i, valuesOf(i)})) << i;
}

// Takes `room` bytes more, then fails as a full disk does; its cut-back fails while `readOnly`.
struct FailingDisk {
    std::size_t room = std::numeric_limits<std::size_t>::max();
    bool readOnly = false;
    int writes = 0;

    tf::Writer::FileCalls calls() {
        return {[this](int handle, const void* bytes, std::size_t size, off_t offset) -> ssize_t {
                    ++writes;
                    const ssize_t n = room == 0 ? (errno = ENOSPC, -1) : ::pwrite(handle, bytes, std::min(size, room), offset);
                    if (n > 0 && room != std::numeric_limits<std::size_t>::max()) room -= static_cast<std::size_t>(n);
                    return n;
                },
                [this](int handle, off_t size) { return readOnly ? (errno = EROFS, -1) : ::ftruncate(handle, size); }};
    }
};

TEST(TelemetryFileTests, AFailedCutBackLeavesATailThatTheNextWriteCovers) {
    TemporaryFolder folder;
    const auto path = folder / "ro.veqt";
    FailingDisk disk{.readOnly = true};
    tf::Writer writer(path, {{1, "a"}, {2, "b"}}, dateAt(0), [] { return tf::Writer::Clock::time_point{}; }, disk.calls());
    const auto header = std::filesystem::file_size(path);
    for (std::uint32_t i = 0; i < 10; ++i) writer.append(i * 250, Values{float(i), 1.0F});
    // 2 records of 12 bytes and 6 bytes of the third; nothing; 3 bytes, shorter than the tail.
    for (const std::size_t room : {30, 0, 3}) {
        disk.room = room;
        writer.flush();
        EXPECT_EQ(std::filesystem::file_size(path), header + 30) << "the tail stays, room " << room;
        EXPECT_EQ(tf::read(path).records.size(), 2U) << "and is no record, room " << room;
    }
    disk = {};
    writer.append(2500, Values{10.0F, 1.0F});
    writer.close();
    const auto records = tf::read(path).records;
    ASSERT_EQ(records.size(), 11U);
    for (std::uint32_t i = 0; i < 11; ++i) EXPECT_EQ(records[i], (tf::Record{i * 250, Values{float(i), 1.0F}})) << i;
}

// Ten minutes of records on a full disk: the age rule's writes come once a second at most, an
// explicit flush at once, and past the bound the oldest records go.
TEST(TelemetryFileTests, KeptRecordsAreBoundedAndAFailingDiskIsTriedOnceASecond) {
    using namespace std::chrono_literals;
    TemporaryFolder folder;
    FailingDisk disk{.room = 0};
    tf::Writer::Clock::time_point now{};
    tf::Writer writer(folder / "b.veqt", {{0x0D, "V"}}, dateAt(0), [&] { return now; }, disk.calls());
    constexpr std::uint32_t bound = tf::Writer::maxKeptRecords;
    for (std::uint32_t i = 0; i < bound + 5; ++i) {
        now += 250ms;
        writer.append(i, Values{1.0F});
    }
    EXPECT_EQ(disk.writes, (bound + 4 - 20) / 4 + 1) << "from the 21st record, 5 s after the first, one in four";
    writer.flush();
    EXPECT_EQ(disk.writes, (bound + 4 - 20) / 4 + 2);
    EXPECT_EQ(std::pair(writer.place(4), writer.place(5)), std::pair(tf::Writer::Place::dropped, tf::Writer::Place::kept));
    disk.room = std::numeric_limits<std::size_t>::max();
    writer.flush();
    EXPECT_EQ(std::pair(writer.place(0), writer.place(5)), std::pair(tf::Writer::Place::dropped, tf::Writer::Place::inFile));
    disk.room = 0; // a close that cannot write drops what it kept: the count is the file's
    writer.append(bound + 5, Values{1.0F});
    writer.close();
    EXPECT_EQ(std::pair(writer.recordCount(), writer.place(bound + 5)), std::pair(std::size_t{bound}, tf::Writer::Place::dropped));
    const auto records = tf::read(folder / "b.veqt").records;
    EXPECT_EQ(std::pair(records.front().milliseconds, records.back().milliseconds), std::pair(5U, bound + 4));
}

TEST(TelemetryFileContentsTests, HeldFillsHolesUpToTheGapAfterTheLastRealValue) {
    const std::tuple<const char*, std::vector<tf::Record>, double, Values> cases[] = {
        {"2 s gap", {{0, {7.0F}}, {1000, {kNone}}, {2000, {kNone}}, {3000, {kNone}}, {10'000, {9.0F}}}, 2, {7.0F, 7.0F, 7.0F, kNone, 9.0F}},
        {"hole before the first value", {{0, {kNone}}, {100, {1.0F}}, {200, {kNone}}}, 1, {kNone, 1.0F, 1.0F}},
        {"a new value restarts the gap", {{0, {1.0F}}, {900, {kNone}}, {1000, {2.0F}}, {1900, {kNone}}, {2100, {kNone}}}, 1,
         {1.0F, 1.0F, 2.0F, 2.0F, kNone}},
    };
    for (const auto& [label, records, gap, expected] : cases) {
        const auto drive = makeDrive({0x0C}, records);
        const auto held = drive.held(gap);
        Values got;
        for (const auto& r : held.records) got.push_back(r.values[0]);
        EXPECT_EQ(got, expected) << label;
        EXPECT_EQ(times(held), times(drive)) << label;
    }
    // Channels apart; the sync marker (238) keeps its holes; the drive itself is unchanged.
    const auto drive = makeDrive({0x0C, 238}, {{0, {1.0F, 5.0F}}, {500, {kNone, kNone}}});
    EXPECT_EQ(drive.held(1).records[1].values, (Values{1.0F, kNone}));
    EXPECT_EQ(drive.records[1].values, (Values{kNone, kNone}));
}

TEST(TelemetryFileContentsTests, TrimmedKeepsBothBoundsAndMovesTheStart) {
    const auto drive = makeDrive({0x0D}, {{0, {0.0F}}, {4000, {4.0F}}, {5000, {5.0F}}, {8000, {8.0F}}, {12'000, {12.0F}}, {12'001, {1.0F}}});
    const std::tuple<double, double, std::vector<std::uint32_t>, std::int64_t> cases[] = {
        {5, 12, {0, 3000, 7000}, 5000}, {12, 5, {0, 3000, 7000}, 5000}, {-3, 4, {0, 4000}, 0},
        {4.9995, 5, {0}, 5000},          // half a millisecond rounds away from zero
        {8, 1e12, {0, 4000, 4001}, 8000}, // an end far past 49.7 days is clamped
    };
    for (const auto& [from, to, expected, shift] : cases) {
        const auto cut = drive.trimmed(from, to);
        EXPECT_EQ(times(cut), expected) << from << " " << to;
        EXPECT_EQ(cut.startDate, drive.startDate + std::chrono::milliseconds(shift)) << from;
    }
    for (const auto& [from, to] : {std::pair{-3.0, -1.0}, {7.0, 7.0}, {std::nan(""), 4.0}}) EXPECT_EQ(drive.trimmed(from, to), drive);
    // Readers clamp an out-of-range start to the clock's latest date; moving it must not overflow.
    auto late = drive;
    late.startDate = tf::Date::max() - std::chrono::milliseconds(1);
    EXPECT_EQ(late.trimmed(4, 6).startDate, tf::Date::max());
    EXPECT_EQ(times(late.trimmed(4, 6)), (std::vector<std::uint32_t>{0, 1000}));
}

TEST(TelemetryFileContentsTests, DurationSeriesAndSparkline) {
    EXPECT_DOUBLE_EQ(makeDrive({1}, {{3000, {1.0F}}, {250, {2.0F}}}).duration(), 0.25) << "the last record, not the latest";
    const auto twice = makeDrive({0x0C, 0x0C}, {{0, {1.0F, 9.0F}}, {500, {kNone, 9.0F}}, {1500, {3.0F, 9.0F}}});
    EXPECT_EQ(twice.series(0x0C), (std::vector<std::pair<double, float>>{{0.0, 1.0F}, {1.5, 3.0F}})) << "the first channel";

    const std::tuple<std::vector<tf::Record>, int, std::vector<float>> cases[] = {
        {{{0, {1.0F}}, {2490, {3.0F}}, {5000, {2.0F}}, {10'000, {6.0F}}}, 4, {3.0F, 3.0F, 2.0F, 6.0F}}, // carried forward
        {{{0, {kNone}}, {9000, {4.0F}}, {10'000, {5.0F}}}, 5, {0.0F, 0.0F, 0.0F, 0.0F, 5.0F}},
        {{{0, {9.0F}}, {100, {-1.0F}}, {1000, {0.0F}}}, 2, {9.0F, 0.0F}},
        {{{50'000, {8.0F}}, {0, {1.0F}}, {10'000, {2.0F}}}, 2, {1.0F, 8.0F}}, // past the last record: last slot
        {{{0, {4.0F}}}, 4, {}},
        {{{0, {1.0F}}, {1000, {2.0F}}}, -3, {}},
    };
    for (const auto& [records, buckets, expected] : cases) EXPECT_EQ(makeDrive({7}, records).sparkline(7, buckets), expected);
}
