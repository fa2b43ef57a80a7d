#include "VEQStore/Export/Exporters.hpp"

#include "VEQStore/StoreFixtures.hpp"
#include "VEQProtocol/ChannelRegistry.hpp"

#include <nlohmann/json.hpp>
#include <unicode/timezone.h>

#include <bit>
#include <cmath>
#include <variant>

namespace veq {
namespace {

using namespace std::chrono;
using TelemetryFile::Contents;
using Bytes = std::vector<std::uint8_t>;
using testing::zone;

std::uint64_t uintAt(const Bytes& bytes, std::size_t offset, std::size_t size) {
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < size; ++i) value |= static_cast<std::uint64_t>(bytes.at(offset + i)) << (8 * i);
    return value;
}

// One field of the layout: an unsigned little-endian number or a text of fixed bytes.
struct Field {
    std::size_t offset;
    std::size_t size;
    std::variant<std::uint64_t, std::string> value;
};

Field text(std::size_t offset, std::string s) { return {offset, s.size(), std::move(s)}; }
Field number(std::size_t offset, std::size_t size, std::uint64_t value) { return {offset, size, value}; }

// Checks every listed field, and that every byte no field covers is zero.
void expectLayout(const Bytes& file, std::size_t size, const std::vector<Field>& fields) {
    ASSERT_EQ(file.size(), size);
    std::vector<bool> covered(size, false);
    for (const auto& field : fields) {
        SCOPED_TRACE("field at offset " + std::to_string(field.offset));
        ASSERT_LE(field.offset + field.size, size);
        if (const auto* s = std::get_if<std::string>(&field.value)) {
            EXPECT_EQ(std::string(file.begin() + static_cast<std::ptrdiff_t>(field.offset),
                                  file.begin() + static_cast<std::ptrdiff_t>(field.offset + field.size)),
                      *s);
        } else {
            EXPECT_EQ(uintAt(file, field.offset, field.size), std::get<std::uint64_t>(field.value));
        }
        for (std::size_t i = 0; i < field.size; ++i) covered[field.offset + i] = true;
    }
    for (std::size_t i = 0; i < size; ++i) {
        if (!covered[i]) {
            EXPECT_EQ(file[i], 0) << "stray byte at offset " << i;
        }
    }
}

// The blocks every export starts with, for n channels, `records` records, the data block at
// `dt` and the Paris summer start below.
const auto summerStart = sys_days{year{2024} / 7 / 1} + hours{10} + nanoseconds{123'456'789};
constexpr std::uint64_t summerStartNs = 1'719'828'000'123'456'789ull;

std::vector<Field> commonBlocks(std::uint64_t n, std::uint64_t records, std::uint64_t dt) {
    return {
        // ID
        text(0, "MDF     "), text(8, "4.10    "), text(16, "OskavelC"), number(28, 2, 410),
        // HD at 64: 104 bytes, 6 links
        text(64, "##HD"), number(72, 8, 104), number(80, 8, 6), number(88, 8, 224), number(96, 8, 168),
        number(136, 8, summerStartNs), number(144, 2, 60), number(146, 2, 60), number(148, 1, 2),
        // FH at 168: 56 bytes, 2 links
        text(168, "##FH"), number(176, 8, 56), number(184, 8, 2), number(208, 8, summerStartNs), number(216, 2, 60),
        number(218, 2, 60), number(220, 1, 2),
        // DG at 224: 64 bytes, 4 links
        text(224, "##DG"), number(232, 8, 64), number(240, 8, 4), number(256, 8, 288), number(264, 8, dt),
        // CG at 288: 104 bytes, 6 links
        text(288, "##CG"), number(296, 8, 104), number(304, 8, 6), number(320, 8, 392), number(368, 8, records),
        number(384, 4, 8 + 4 * n),
        // master CN at 392: 160 bytes, 8 links; name TX right after the last CN, unit TX after it
        text(392, "##CN"), number(400, 8, 160), number(408, 8, 8), number(416, 8, n == 0 ? 0 : 552),
        number(432, 8, 552 + 160 * n), number(464, 8, 584 + 160 * n), number(480, 1, 2), number(481, 1, 1),
        number(482, 1, 4), number(488, 4, 64),
        // TX "t" and TX "s", 32 bytes each
        text(552 + 160 * n, "##TX"), number(560 + 160 * n, 8, 32), text(576 + 160 * n, "t"),
        text(584 + 160 * n, "##TX"), number(592 + 160 * n, 8, 32), text(608 + 160 * n, "s"),
    };
}

TEST(MDF4Export, EmptyDriveLayout) {
    const Bytes file = TelemetryExporter::mdf4({{}, summerStart, {}}, zone("Europe/Paris"));
    auto fields = commonBlocks(0, 0, 616);
    for (const auto& f : {text(616, "##DT"), number(624, 8, 24)}) fields.push_back(f);
    expectLayout(file, 640, fields);
}

TEST(MDF4Export, OneChannelLayout) {
    // 250 ms lies within 3 s of the last value and is held; 3,001 ms lies beyond and stays NaN.
    const Contents drive{{{0x0D, "Vitesse"}},
                         summerStart,
                         {{0, {12.5f}}, {250, {std::nullopt}}, {3001, {std::nullopt}}, {3500, {-1.0f}}}};
    const Bytes file = TelemetryExporter::mdf4(drive, zone("Europe/Paris"));
    auto fields = commonBlocks(1, 4, 840);
    const std::vector<Field> more = {
        // CN of channel 1 at 552
        text(552, "##CN"), number(560, 8, 160), number(568, 8, 8), number(592, 8, 776), number(624, 8, 808),
        number(642, 1, 4), number(644, 4, 8), number(648, 4, 32),
        // its name and unit, 7 and 4 bytes: 32 each
        text(776, "##TX"), number(784, 8, 32), text(800, "Vitesse"), text(808, "##TX"), number(816, 8, 32),
        text(832, "km/h"),
        // DT at 840: 24 + 4 records of 12 bytes
        text(840, "##DT"), number(848, 8, 72),
        number(864, 8, std::bit_cast<std::uint64_t>(0.0)), number(872, 4, std::bit_cast<std::uint32_t>(12.5f)),
        number(876, 8, std::bit_cast<std::uint64_t>(0.25)), number(884, 4, std::bit_cast<std::uint32_t>(12.5f)),
        number(888, 8, std::bit_cast<std::uint64_t>(3.001)), number(896, 4, 0x7FC00000),
        number(900, 8, std::bit_cast<std::uint64_t>(3.5)), number(908, 4, std::bit_cast<std::uint32_t>(-1.0f)),
    };
    fields.insert(fields.end(), more.begin(), more.end());
    expectLayout(file, 912, fields);
}

TEST(MDF4Export, TextBlocksRoundUpToEightBytes) {
    const std::pair<std::string, std::uint64_t> cases[] = {
        {"", 32}, {"1234567", 32}, {"12345678", 40}, {"\u00E9\u00E9\u00E9t", 32}, {"\u00E9\u00E9\u00E9\u00E9", 40}};
    for (const auto& [name, blockLength] : cases) {
        // Channel 0xFB has no unit: its unit TX follows the name's at the name's length.
        const Bytes file = TelemetryExporter::mdf4({{{0xFB, name}}, summerStart, {}}, TimeZone::utc());
        const std::uint64_t nameTX = uintAt(file, 552 + 40, 8);
        EXPECT_EQ(nameTX, 776u);
        EXPECT_EQ(uintAt(file, nameTX + 8, 8), blockLength) << name;
        EXPECT_EQ(uintAt(file, 552 + 72, 8), nameTX + blockLength) << name;
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(file.data() + nameTX + 24)), name);
    }
}

TEST(MDF4Export, TimeZoneFieldsFollowTheStartDate) {
    const std::tuple<const char*, sys_seconds, std::int16_t, std::int16_t> cases[] = {
        {"Europe/Paris", sys_days{year{2024} / 7 / 14} + hours{12}, 60, 60},
        {"Europe/Paris", sys_days{year{2024} / 1 / 14} + hours{12}, 60, 0},
        {"Australia/Lord_Howe", sys_days{year{2024} / 1 / 1}, 630, 30},
        {"America/St_Johns", sys_days{year{2024} / 7 / 1}, -210, 60},
    };
    for (const auto& [name, start, standard, daylight] : cases) {
        const Bytes file = TelemetryExporter::mdf4({{}, start, {}}, zone(name));
        for (const std::size_t at : {144u, 216u}) { // HD, then FH
            EXPECT_EQ(std::int16_t(uintAt(file, at, 2)), standard) << name << " " << at;
            EXPECT_EQ(std::int16_t(uintAt(file, at + 2, 2)), daylight) << name << " " << at;
        }
    }
}

TEST(MDF4Export, DefaultZoneIsTheMachinesAndOutputIsRepeatable) {
    std::mt19937 random(4);
    const Contents drive = testing::randomDrive(random, 6);
    icu::TimeZone::adoptDefault(icu::TimeZone::createTimeZone("Asia/Kolkata"));
    const Bytes first = TelemetryExporter::mdf4(drive);
    EXPECT_EQ(uintAt(first, 144, 2), 330u);
    EXPECT_EQ(TelemetryExporter::mdf4(drive, zone("Asia/Kolkata")), first);
    // Start stamps before 1970 or at the clock's end never wrap.
    EXPECT_EQ(TelemetryExporter::nanoseconds(system_clock::time_point{} - seconds{1}), 0u);
    EXPECT_EQ(TelemetryExporter::nanoseconds(system_clock::time_point::max()),
              std::uint64_t(duration_cast<nanoseconds>(system_clock::time_point::max().time_since_epoch()).count()));
}

TEST(MDF4Export, RecordsOfTheWrongLengthKeepTheRecordSize) {
    const Contents drive{{{1, "a"}, {2, "b"}}, summerStart, {{0, {1.0f}}, {10'000, {2.0f, 3.0f, 4.0f}}}};
    const Bytes file = TelemetryExporter::mdf4(drive, TimeZone::utc());
    const std::uint64_t records = uintAt(file, 264, 8) + 24;
    ASSERT_EQ(file.size(), records + 2 * 16);
    EXPECT_EQ(uintAt(file, records + 12, 4), 0x7FC00000u);                          // padded
    EXPECT_EQ(uintAt(file, records + 28, 4), std::bit_cast<std::uint32_t>(3.0f));   // the extra value is cut
}

// The expected text of a value as the independent reader prints it.
nlohmann::json readerValue(const std::optional<float>& value) {
    if (!value) return "nan:7fc00000";
    if (std::isinf(*value)) return *value > 0 ? "inf" : "-inf";
    return static_cast<double>(*value);
}

// An MDF reader written in Python from the standard's block layout, not from our writer, reads
// back the master time and every channel of random drives, held over gaps of up to 3 s.
TEST(MDF4Export, IndependentReaderReadsRandomDrives) {
    testing::TemporaryFolder folder;
    std::mt19937 random(20240701);
    std::vector<Contents> drives;
    std::string paths;
    const auto paris = zone("Europe/Paris");
    for (int i = 0; i < 30; ++i) {
        drives.push_back(testing::randomDrive(random, 10));
        const auto file = folder / ("drive" + std::to_string(i) + ".mf4");
        const Bytes bytes = TelemetryExporter::mdf4(drives.back(), paris);
        testing::writeFile(file, std::string(bytes.begin(), bytes.end()));
        paths += " " + testing::shellQuoted(file.string());
    }
    const auto result = testing::runPythonReader("mdf4_read.py", paths);
    ASSERT_EQ(result.exitStatus, 0) << result.output;
    const auto files = nlohmann::json::parse(result.output);
    ASSERT_EQ(files.size(), drives.size());

    std::size_t filled = 0, stillMissing = 0;
    for (std::size_t i = 0; i < drives.size(); ++i) {
        SCOPED_TRACE("drive " + std::to_string(i));
        const Contents held = drives[i].held(3.0);
        const auto& file = files[i];
        const auto offsets = paris.offsets(held.startDate);
        EXPECT_EQ(std::tuple(file["id_ver"], file["start_time_ns"], file["tz_offset_min"], file["dst_offset_min"]),
                  std::tuple(nlohmann::json(410), nlohmann::json(TelemetryExporter::nanoseconds(held.startDate)),
                             nlohmann::json(duration_cast<minutes>(offsets.standard).count()),
                             nlohmann::json(duration_cast<minutes>(offsets.daylightSaving).count())));
        ASSERT_EQ(file["groups"].size(), 1u);
        EXPECT_EQ(file["groups"][0]["cycle_count"], held.records.size());
        const auto& channels = file["groups"][0]["channels"];
        ASSERT_EQ(channels.size(), held.channels.size() + 1);
        nlohmann::json master = {{"name", "t"}, {"unit", "s"}, {"type", 2}, {"sync_type", 1}, {"bit_count", 64}, {"values", nlohmann::json::array()}};
        for (const auto& record : held.records) master["values"].push_back(record.seconds());
        for (const auto& key : {"name", "unit", "type", "sync_type", "bit_count", "values"}) EXPECT_EQ(channels[0][key], master[key]) << key;
        for (std::size_t k = 0; k < held.channels.size(); ++k) {
            nlohmann::json values = nlohmann::json::array();
            for (std::size_t r = 0; r < held.records.size(); ++r) {
                values.push_back(readerValue(held.records[r].values[k]));
                if (!drives[i].records[r].values[k]) ++(held.records[r].values[k] ? filled : stillMissing);
            }
            EXPECT_EQ(channels[k + 1]["name"], held.channels[k].name);
            EXPECT_EQ(channels[k + 1]["unit"], ChannelRegistry::unit(held.channels[k].pid, UnitSystem::metric));
            EXPECT_EQ(std::tuple(channels[k + 1]["data_type"], channels[k + 1]["bit_count"]), std::tuple(nlohmann::json(4), nlohmann::json(32)));
            EXPECT_EQ(channels[k + 1]["values"], values) << "channel " << k;
        }
    }
    EXPECT_GT(filled, 0u) << "the drives exercise both sides of the 3 s hold";
    EXPECT_GT(stillMissing, 0u);
}

} // namespace
} // namespace veq
