#include "VEQStore/TelemetryFile.hpp"

#include "TestSupport/FileSizeLimit.hpp"
#include "TestSupport/StorePrinters.hpp"
#include "TestSupport/TemporaryFolder.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <fstream>
#include <limits>

namespace tf = veq::TelemetryFile;
using veq::testing::TemporaryFolder;
using Bytes = std::vector<std::uint8_t>;

namespace {

Bytes slurp(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void spill(const std::filesystem::path& p, const Bytes& bytes) {
    std::ofstream out(p, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes le32(std::uint32_t v) {
    return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v >> 16),
            static_cast<std::uint8_t>(v >> 24)};
}

Bytes f32(float v) { return le32(std::bit_cast<std::uint32_t>(v)); }

tf::Date dateFromMs(std::int64_t ms) { return tf::Date{std::chrono::milliseconds(ms)}; }

// Header of a drive starting at 1970 with the given entries already encoded.
Bytes headerWith(std::uint16_t channelCount, const Bytes& entries) {
    return Bytes{'V', 'E', 'Q', 'T', 1, 0, static_cast<std::uint8_t>(channelCount),
                 static_cast<std::uint8_t>(channelCount >> 8), 0, 0, 0, 0, 0, 0, 0, 0} +
           entries;
}

const Bytes twoChannelEntries{0x0C, 1, 'A', 0x0D, 1, 'B'};

tf::ReadError readErrorOf(const Bytes& bytes) {
    try {
        tf::decode(bytes);
    } catch (const tf::ReadError& e) {
        return e;
    }
    ADD_FAILURE() << "expected a read error";
    return tf::ReadError::truncated();
}

} // namespace

TEST(TelemetryFileTests, TwoChannelFileHasTheExactByteLayout) {
    TemporaryFolder folder;
    const auto path = folder / "drive.veqt";
    // The start date carries 0.9 ms that the header truncates away.
    const auto start = dateFromMs(1'700'000'000'123) + std::chrono::microseconds(900);
    {
        tf::Writer writer(path, {{0x0C, "Régime"}, {0x0D, "Vitesse"}}, start);
        const std::optional<float> first[] = {1.0F, std::nullopt};
        const std::optional<float> second[] = {-2.5F, 100.0F};
        writer.append(0, first);
        writer.append(250, second);
        EXPECT_EQ(writer.recordCount(), 2U);
    }
    const Bytes expected{
        'V',  'E',  'Q',  'T',                          // magic
        0x01, 0x00,                                     // version 1
        0x02, 0x00,                                     // two channels
        0x7B, 0x68, 0xE5, 0xCF, 0x8B, 0x01, 0x00, 0x00, // 1,700,000,000,123 ms
        0x0C, 0x07, 'R',  0xC3, 0xA9, 'g',  'i',  'm',  'e',
        0x0D, 0x07, 'V',  'i',  't',  'e',  's',  's',  'e',
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80, 0x3F, 0x00, 0x00, 0xC0, 0x7F, // 0 ms: 1.0, missing
        0xFA, 0x00, 0x00, 0x00, 0x00, 0x00, 0x20, 0xC0, 0x00, 0x00, 0xC8, 0x42, // 250 ms: -2.5, 100.0
    };
    EXPECT_EQ(slurp(path), expected);

    const auto contents = tf::read(path);
    EXPECT_EQ(contents.startDate, dateFromMs(1'700'000'000'123));
    EXPECT_EQ(contents.channels, (std::vector<tf::Channel>{{0x0C, "Régime"}, {0x0D, "Vitesse"}}));
    EXPECT_EQ(contents.records, (std::vector<tf::Record>{{0, {1.0F, std::nullopt}}, {250, {-2.5F, 100.0F}}}));
    EXPECT_DOUBLE_EQ(contents.records[1].seconds(), 0.25);
}

TEST(TelemetryFileTests, MalformedHeadersFailInLayoutOrder) {
    using Kind = tf::ReadError::Kind;
    struct Case {
        const char* label;
        Bytes bytes;
        Kind kind;
        std::uint16_t version;
    };
    const Case cases[] = {
        {"empty", {}, Kind::truncated, 0},
        {"1 byte", {'V'}, Kind::truncated, 0},
        {"3 bytes", {'V', 'E', 'Q'}, Kind::truncated, 0},
        {"wrong magic", {'V', 'E', 'Q', 'X', 1, 0, 0, 0}, Kind::badMagic, 0},
        {"wrong magic, short", {'M', 'D', 'F', ' '}, Kind::badMagic, 0},
        {"version 2", {'V', 'E', 'Q', 'T', 2, 0}, Kind::unsupportedVersion, 2},
        {"version 0x0100", {'V', 'E', 'Q', 'T', 0, 1, 0, 0}, Kind::unsupportedVersion, 256},
        {"no version", {'V', 'E', 'Q', 'T', 1}, Kind::truncated, 0},
        {"no start date", {'V', 'E', 'Q', 'T', 1, 0, 0, 0, 1, 2, 3}, Kind::truncated, 0},
        {"3 channels, 2 entries", headerWith(3, twoChannelEntries), Kind::truncated, 0},
        {"name longer than the file", headerWith(1, {0x0C, 10, 'a', 'b'}), Kind::truncated, 0},
        {"entry without its length", headerWith(1, {0x0C}), Kind::truncated, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const auto error = readErrorOf(c.bytes);
        EXPECT_EQ(error.kind(), c.kind);
        EXPECT_EQ(error.versionFound(), c.version);
        EXPECT_NE(std::string(error.what()), "");
    }
}

TEST(TelemetryFileTests, RecordsRunToTheLastWholeOne) {
    const Bytes header = headerWith(2, twoChannelEntries);
    const Bytes record0 = le32(0) + f32(1) + f32(2);
    const Bytes record1 = le32(100) + f32(3) + f32(4);
    struct Case {
        const char* label;
        Bytes bytes;
        std::size_t records;
    };
    const Case cases[] = {
        {"header only", header, 0},
        {"one record", header + record0, 1},
        {"5 bytes into the third record", header + record0 + record1 + Bytes{0, 0, 0, 0, 9}, 2},
        {"11 of 12 bytes of the second", header + record0 + Bytes(record1.begin(), record1.end() - 1), 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const auto contents = tf::decode(c.bytes);
        ASSERT_EQ(contents.records.size(), c.records);
        EXPECT_EQ(contents.channels.size(), 2U);
        if (c.records >= 2) {
            EXPECT_EQ(contents.records[1], (tf::Record{100, {3.0F, 4.0F}}));
        }
    }

    // Without channels a record is its time alone.
    const auto noChannels = tf::decode(headerWith(0, {}) + le32(7) + le32(9) + Bytes{1, 2});
    EXPECT_EQ(noChannels.records, (std::vector<tf::Record>{{7, {}}, {9, {}}}));
}

TEST(TelemetryFileTests, EveryNaNIsMissingAndOtherPatternsAreValues) {
    struct Case {
        std::uint32_t bits;
        bool missing;
    };
    const Case cases[] = {
        {0x7FC00000, true},  // the missing value as written
        {0x7F800001, true},  // signalling NaN
        {0xFFC00000, true},  // negative quiet NaN
        {0x7FFFFFFF, true},  // NaN with every fraction bit
        {0x7F800000, false}, // +infinity
        {0xFF800000, false}, // -infinity
        {0x80000000, false}, // -0
        {0x00000001, false}, // smallest subnormal
        {0x7F7FFFFF, false}, // largest finite
    };
    Bytes file = headerWith(1, {0x0C, 0});
    for (const auto& c : cases) file = file + le32(0) + le32(c.bits);
    const auto contents = tf::decode(file);
    ASSERT_EQ(contents.records.size(), std::size(cases));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        const auto& value = contents.records[i].values.at(0);
        if (cases[i].missing) {
            EXPECT_FALSE(value.has_value());
        } else {
            ASSERT_TRUE(value.has_value());
            EXPECT_EQ(std::bit_cast<std::uint32_t>(*value), cases[i].bits);
        }
    }
}

TEST(TelemetryFileTests, ValuesRoundTripThroughTheWriter) {
    TemporaryFolder folder;
    const auto path = folder / "values.veqt";
    const float inf = std::numeric_limits<float>::infinity();
    const std::vector<std::vector<std::optional<float>>> rows = {
        {std::nullopt, 0.0F, -0.0F},
        {inf, -inf, std::numeric_limits<float>::quiet_NaN()}, // a present NaN comes back missing
        {std::numeric_limits<float>::denorm_min(), 3.4e38F, -1.5e-7F},
    };
    {
        tf::Writer writer(path, {{1, "a"}, {2, "b"}, {3, "c"}}, dateFromMs(0));
        for (std::size_t i = 0; i < rows.size(); ++i) writer.append(static_cast<std::uint32_t>(i * 1000), rows[i]);
    }
    const auto contents = tf::read(path);
    ASSERT_EQ(contents.records.size(), rows.size());
    EXPECT_EQ(contents.records[0].values, rows[0]);
    EXPECT_EQ(contents.records[1].values, (std::vector<std::optional<float>>{inf, -inf, std::nullopt}));
    EXPECT_EQ(contents.records[2].values, rows[2]);
    EXPECT_TRUE(std::signbit(*contents.records[0].values[2]));
    EXPECT_EQ(contents.records[2].milliseconds, 2000U);
}

TEST(TelemetryFileTests, NamesAreCutAt255BytesAndRepairedOnReading) {
    TemporaryFolder folder;
    const auto path = folder / "names.veqt";
    const std::string ascii300(300, 'x');
    // 254 ASCII bytes then "é" (2 bytes): the cut at 255 splits the "é".
    const std::string splitAccent = std::string(254, 'y') + "é" + "zz";
    const std::string exactly255(255, 'w');
    {
        tf::Writer writer(path, {{1, ascii300}, {2, splitAccent}, {3, exactly255}, {4, ""}}, dateFromMs(0));
    }
    const auto bytes = slurp(path);
    EXPECT_EQ(bytes[16 + 1], 255); // length byte of the first entry
    const auto contents = tf::read(path);
    ASSERT_EQ(contents.channels.size(), 4U);
    EXPECT_EQ(contents.channels[0].name, std::string(255, 'x'));
    EXPECT_EQ(contents.channels[1].name, std::string(254, 'y') + "\xEF\xBF\xBD");
    EXPECT_EQ(contents.channels[2].name, exactly255);
    EXPECT_EQ(contents.channels[3].name, "");
    EXPECT_EQ(contents.channels[3].pid, 4);
}

TEST(TelemetryFileTests, StartDatesAreWholeMillisecondsWithinTheClock) {
    struct Case {
        const char* label;
        tf::Date written;
        std::uint64_t stored;
    };
    const Case cases[] = {
        {"fraction truncated", dateFromMs(5) + std::chrono::nanoseconds(999'999), 5},
        {"epoch", dateFromMs(0), 0},
        {"before 1970 written as 1970", dateFromMs(-1500), 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const auto header = tf::encodeHeader({}, c.written);
        ASSERT_EQ(header.size(), tf::headerFixedSize);
        std::uint64_t stored = 0;
        for (int i = 7; i >= 0; --i) stored = (stored << 8) | header[8 + static_cast<std::size_t>(i)];
        EXPECT_EQ(stored, c.stored);
    }

    // A hostile count beyond what the clock holds reads as the clock's latest millisecond.
    Bytes huge = headerWith(0, {});
    std::fill(huge.begin() + 8, huge.begin() + 16, 0xFF);
    const auto contents = tf::decode(huge);
    EXPECT_GT(contents.startDate, dateFromMs(0));
    EXPECT_LE(contents.startDate.time_since_epoch(), tf::Date::duration::max());
}

TEST(TelemetryFileTests, BufferReachesTheFileAtItsThresholdOrOnFlush) {
    TemporaryFolder folder;
    const auto path = folder / "buffer.veqt";
    tf::Writer writer(path, {{1, "a"}, {2, "b"}}, dateFromMs(0));
    const auto header = std::filesystem::file_size(path);
    const std::size_t recordSize = 12;
    const std::size_t toThreshold = (tf::Writer::flushThreshold + recordSize - 1) / recordSize; // 5,462
    ASSERT_EQ(toThreshold, 5462U);

    const std::optional<float> values[] = {1.0F, 2.0F};
    for (std::size_t i = 0; i + 1 < toThreshold; ++i) writer.append(static_cast<std::uint32_t>(i), values);
    EXPECT_EQ(std::filesystem::file_size(path), header) << "records stay in memory below the threshold";
    writer.append(static_cast<std::uint32_t>(toThreshold - 1), values);
    EXPECT_EQ(std::filesystem::file_size(path), header + toThreshold * recordSize);

    writer.append(99'999, values);
    EXPECT_EQ(std::filesystem::file_size(path), header + toThreshold * recordSize);
    writer.flush();
    writer.flush(); // nothing buffered: nothing written
    EXPECT_EQ(std::filesystem::file_size(path), header + (toThreshold + 1) * recordSize);
    EXPECT_EQ(writer.recordCount(), toThreshold + 1);
    EXPECT_EQ(tf::read(path).records.back().milliseconds, 99'999U);

    writer.close();
    writer.close();
    EXPECT_FALSE(writer.failed());
    EXPECT_EQ(tf::read(path).records.size(), toThreshold + 1);
}

TEST(TelemetryFileTests, ValueListsOfTheWrongLengthKeepRecordsAligned) {
    TemporaryFolder folder;
    const auto path = folder / "lengths.veqt";
    {
        tf::Writer writer(path, {{1, "a"}, {2, "b"}}, dateFromMs(0));
        const std::optional<float> tooFew[] = {1.0F};
        const std::optional<float> tooMany[] = {2.0F, 3.0F, 4.0F};
        writer.append(10, tooFew);
        writer.append(20, tooMany);
        writer.append(30, std::span<const std::optional<float>>{});
        const std::optional<float> exact[] = {5.0F, 6.0F};
        writer.append(40, exact);
    }
    const auto contents = tf::read(path);
    EXPECT_EQ(contents.records, (std::vector<tf::Record>{{10, {1.0F, std::nullopt}},
                                                         {20, {2.0F, 3.0F}},
                                                         {30, {std::nullopt, std::nullopt}},
                                                         {40, {5.0F, 6.0F}}}));
}

TEST(TelemetryFileTests, ReplacesAnExistingFileAndCreatesMissingFolders) {
    TemporaryFolder folder;
    const auto path = folder / "a" / "b" / "drive.veqt";
    {
        tf::Writer first(path, {{1, "old"}}, dateFromMs(0));
        const std::optional<float> v[] = {1.0F};
        first.append(0, v);
    }
    { tf::Writer second(path, {{2, "new"}}, dateFromMs(1000)); }
    const auto contents = tf::read(path);
    EXPECT_EQ(contents.channels, (std::vector<tf::Channel>{{2, "new"}}));
    EXPECT_TRUE(contents.records.empty());
}

TEST(TelemetryFileTests, CreationAndReadingFailuresAreFileErrors) {
    TemporaryFolder folder;
    spill(folder / "plain-file", {1, 2, 3});
    EXPECT_THROW(tf::Writer(folder / "plain-file" / "drive.veqt", {}, dateFromMs(0)), veq::Error);
    EXPECT_FALSE(std::filesystem::exists(folder / "plain-file" / "drive.veqt"));

    std::vector<tf::Channel> tooMany(65'536, tf::Channel{1, "x"});
    EXPECT_THROW(tf::Writer(folder / "many.veqt", tooMany, dateFromMs(0)), veq::Error);
    EXPECT_FALSE(std::filesystem::exists(folder / "many.veqt"));

    try {
        tf::read(folder / "missing.veqt");
        FAIL() << "expected an error";
    } catch (const tf::ReadError&) {
        FAIL() << "a missing file is a file error, not a format error";
    } catch (const veq::Error& e) {
        EXPECT_NE(std::string(e.what()).find("Lecture impossible"), std::string::npos);
    }
}

TEST(TelemetryFileTests, ShortAndFailedWritesCutBackToTheLastWholeRecord) {
    TemporaryFolder folder;
    const auto path = folder / "full.veqt";
    tf::Writer writer(path, {{1, "a"}, {2, "b"}}, dateFromMs(0));
    const auto header = std::filesystem::file_size(path);
    const std::size_t recordSize = 12;
    auto valuesOf = [](std::uint32_t i) {
        return std::vector<std::optional<float>>{static_cast<float>(i), static_cast<float>(i) + 0.5F};
    };

    // Room for 83 whole records and 4 bytes of the 84th.
    const std::size_t room = 83 * recordSize + 4;
    std::uint32_t next = 0;
    {
        veq::testing::FileSizeLimit limit(header + room);
        ASSERT_TRUE(limit.active());
        for (int i = 0; i < 200; ++i, ++next) writer.append(next, valuesOf(next));
        writer.flush();
        EXPECT_TRUE(writer.failed());
        EXPECT_EQ(std::filesystem::file_size(path), header + 83 * recordSize);
    }
    // Space again: the writer goes on, and what it writes lines up with what came before.
    for (int i = 0; i < 3; ++i, ++next) writer.append(next, valuesOf(next));
    writer.close();
    EXPECT_TRUE(writer.failed());

    const auto contents = tf::read(path);
    ASSERT_EQ(contents.records.size(), 83U + 3U);
    for (std::uint32_t i = 0; i < 83; ++i) EXPECT_EQ(contents.records[i], (tf::Record{i, valuesOf(i)}));
    for (std::uint32_t i = 0; i < 3; ++i) EXPECT_EQ(contents.records[83 + i], (tf::Record{200 + i, valuesOf(200 + i)}));
}

TEST(TelemetryFileTests, SeriesFollowsTheFirstChannelWithThePid) {
    const tf::Contents drive{{{0x0C, "first"}, {0x0D, "other"}, {0x0C, "second"}},
                             dateFromMs(0),
                             {{0, {1.0F, 9.0F, 100.0F}}, {500, {std::nullopt, 9.0F, 101.0F}}, {1500, {3.0F, 9.0F, 102.0F}}}};
    using Series = std::vector<std::pair<double, float>>;
    EXPECT_EQ(drive.series(0x0C), (Series{{0.0, 1.0F}, {1.5, 3.0F}}));
    EXPECT_EQ(drive.series(0x0D).size(), 3U);
    EXPECT_TRUE(drive.series(0x05).empty());
}
