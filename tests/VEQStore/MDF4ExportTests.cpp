#include "VEQStore/Exporters.hpp"

#include "SampleDrives.hpp"
#include "TestSupport/ExternalTool.hpp"
#include "TestSupport/TemporaryFolder.hpp"
#include "VEQProtocol/ChannelRegistry.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <unicode/timezone.h>

#include <bit>
#include <chrono>
#include <cmath>
#include <cstring>
#include <random>
#include <variant>

namespace veq {
namespace {

using namespace std::chrono;
using TelemetryFile::Contents;
using Bytes = std::vector<std::uint8_t>;

TimeZone zone(const char* identifier) {
    auto found = TimeZone::named(identifier);
    if (!found) ADD_FAILURE() << "no zone " << identifier;
    return found.value_or(TimeZone::utc());
}

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

struct TextCase {
    std::string name;
    std::uint64_t blockLength;
};

TEST(MDF4Export, TextBlocksRoundUpToEightBytes) {
    const TextCase cases[] = {
        {"", 32}, {"a", 32}, {"1234567", 32}, {"12345678", 40}, {"\u00E9\u00E9\u00E9t", 32},
        {"\u00E9\u00E9\u00E9\u00E9", 40}, {std::string(15, 'x'), 40}, {std::string(16, 'x'), 48},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // Channel 0xFB has no unit: its unit TX follows the name's at the name's length.
        const Bytes file = TelemetryExporter::mdf4({{{0xFB, c.name}}, summerStart, {}}, TimeZone::utc());
        const std::uint64_t nameTX = uintAt(file, 552 + 40, 8);
        const std::uint64_t unitTX = uintAt(file, 552 + 72, 8);
        EXPECT_EQ(nameTX, 776u);
        EXPECT_EQ(uintAt(file, nameTX + 8, 8), c.blockLength);
        EXPECT_EQ(unitTX, nameTX + c.blockLength);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(file.data() + nameTX + 24)), c.name);
        EXPECT_EQ(uintAt(file, 264, 8), unitTX + 32); // the data block follows the empty unit text
    }
}

struct ZoneCase {
    const char* zone;
    sys_seconds start;
    std::int16_t timeZoneMinutes;
    std::int16_t daylightMinutes;
};

TEST(MDF4Export, TimeZoneFieldsFollowTheStartDate) {
    const ZoneCase cases[] = {
        {"Europe/Paris", sys_days{year{2024} / 7 / 14} + hours{12}, 60, 60},
        {"Europe/Paris", sys_days{year{2024} / 1 / 14} + hours{12}, 60, 0},
        {"Asia/Kolkata", sys_days{year{2024} / 7 / 14} + hours{12}, 330, 0},
        {"Australia/Lord_Howe", sys_days{year{2024} / 1 / 1}, 630, 30},
        {"America/St_Johns", sys_days{year{2024} / 1 / 1}, -210, 0},
        {"America/St_Johns", sys_days{year{2024} / 7 / 1}, -210, 60},
        {"UTC", sys_days{year{2024} / 7 / 1}, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.zone) + " " + std::to_string(c.start.time_since_epoch().count()));
        const Bytes file = TelemetryExporter::mdf4({{}, c.start, {}}, zone(c.zone));
        for (const std::size_t at : {std::size_t{144}, std::size_t{216}}) { // HD, then FH
            EXPECT_EQ(static_cast<std::int16_t>(uintAt(file, at, 2)), c.timeZoneMinutes);
            EXPECT_EQ(static_cast<std::int16_t>(uintAt(file, at + 2, 2)), c.daylightMinutes);
        }
    }
}

TEST(MDF4Export, DefaultZoneIsTheMachinesAndOutputIsRepeatable) {
    std::mt19937 random(4);
    const Contents drive = testing::randomDrive(random, 6);
    icu::TimeZone::adoptDefault(icu::TimeZone::createTimeZone("Asia/Kolkata"));
    const Bytes first = TelemetryExporter::mdf4(drive);
    EXPECT_EQ(uintAt(first, 144, 2), 330u);
    EXPECT_EQ(TelemetryExporter::mdf4(drive), first);
    EXPECT_EQ(TelemetryExporter::mdf4(drive, zone("Asia/Kolkata")), first);
}

TEST(MDF4Export, RecordsOfTheWrongLengthKeepTheRecordSize) {
    const Contents drive{{{1, "a"}, {2, "b"}}, summerStart, {{0, {1.0f}}, {10'000, {2.0f, 3.0f, 4.0f}}}};
    const Bytes file = TelemetryExporter::mdf4(drive, TimeZone::utc());
    const std::uint64_t dt = uintAt(file, 264, 8);
    ASSERT_EQ(file.size(), dt + 24 + 2 * 16);
    EXPECT_EQ(uintAt(file, dt + 24 + 12, 4), 0x7FC00000u);                              // padded
    EXPECT_EQ(uintAt(file, dt + 24 + 16 + 8, 4), std::bit_cast<std::uint32_t>(2.0f));   // kept
    EXPECT_EQ(uintAt(file, dt + 24 + 16 + 12, 4), std::bit_cast<std::uint32_t>(3.0f));  // the extra value is cut
}

TEST(MDF4Export, TimeStampIsNanosecondsSince1970) {
    using Date = system_clock::time_point;
    EXPECT_EQ(TelemetryExporter::nanoseconds(Date{}), 0u);
    EXPECT_EQ(TelemetryExporter::nanoseconds(Date{} - seconds{1}), 0u);
    EXPECT_EQ(TelemetryExporter::nanoseconds(summerStart), summerStartNs);
    EXPECT_EQ(TelemetryExporter::nanoseconds(Date::max()),
              static_cast<std::uint64_t>(duration_cast<nanoseconds>(Date::max().time_since_epoch()).count()));
}

// The expected text of a value as the independent reader prints it.
nlohmann::json readerValue(const std::optional<float>& value) {
    if (!value) return "nan:7fc00000";
    if (std::isinf(*value)) return *value > 0 ? "inf" : "-inf";
    return static_cast<double>(*value);
}

// An MDF reader written in Python from the standard's block layout, not from our writer, reads
// back the master time and every channel of random drives, compared with the drive held over
// gaps of up to 3 s.
TEST(MDF4Export, IndependentReaderReadsRandomDrives) {
    testing::TemporaryFolder folder;
    std::mt19937 random(20240701);
    std::vector<Contents> drives;
    std::string paths;
    const auto paris = zone("Europe/Paris");
    std::size_t filled = 0;
    std::size_t stillMissing = 0;
    for (int i = 0; i < 30; ++i) {
        drives.push_back(testing::randomDrive(random, 10));
        const auto file = folder / ("drive" + std::to_string(i) + ".mf4");
        const Bytes bytes = TelemetryExporter::mdf4(drives.back(), paris);
        testing::writeFile(file, std::string(bytes.begin(), bytes.end()));
        paths += " " + testing::shellQuoted(file.string());
    }
    const auto result =
        testing::runTool("python3 " + testing::shellQuoted(std::string(VEQ_TEST_DATA_DIR) + "/mdf4_read.py") + paths);
    ASSERT_EQ(result.exitStatus, 0) << result.output;
    const auto files = nlohmann::json::parse(result.output);
    ASSERT_EQ(files.size(), drives.size());

    for (std::size_t i = 0; i < drives.size(); ++i) {
        SCOPED_TRACE("drive " + std::to_string(i));
        const Contents held = drives[i].held(3.0);
        const auto& file = files[i];
        EXPECT_EQ(file["id_vers"], "4.10    ");
        EXPECT_EQ(file["id_ver"], 410);
        EXPECT_EQ(file["start_time_ns"].get<std::uint64_t>(), TelemetryExporter::nanoseconds(held.startDate));
        const auto offsets = paris.offsets(held.startDate);
        EXPECT_EQ(file["tz_offset_min"], duration_cast<minutes>(offsets.standard).count());
        EXPECT_EQ(file["dst_offset_min"], duration_cast<minutes>(offsets.daylightSaving).count());
        EXPECT_EQ(file["file_history"][0]["time_ns"], file["start_time_ns"]);

        ASSERT_EQ(file["groups"].size(), 1u);
        const auto& group = file["groups"][0];
        EXPECT_EQ(group["cycle_count"], held.records.size());
        const auto& channels = group["channels"];
        ASSERT_EQ(channels.size(), held.channels.size() + 1);

        const auto& master = channels[0];
        EXPECT_EQ(master["name"], "t");
        EXPECT_EQ(master["unit"], "s");
        EXPECT_EQ(master["type"], 2);
        EXPECT_EQ(master["sync_type"], 1);
        EXPECT_EQ(master["bit_count"], 64);
        EXPECT_EQ(master["conversion"], 0);
        for (std::size_t r = 0; r < held.records.size(); ++r) {
            EXPECT_EQ(master["values"][r].get<double>(), held.records[r].seconds());
        }
        for (std::size_t k = 0; k < held.channels.size(); ++k) {
            const auto& channel = channels[k + 1];
            EXPECT_EQ(channel["name"], held.channels[k].name);
            EXPECT_EQ(channel["unit"], ChannelRegistry::unit(held.channels[k].pid, UnitSystem::metric));
            EXPECT_EQ(channel["type"], 0);
            EXPECT_EQ(channel["data_type"], 4);
            EXPECT_EQ(channel["bit_count"], 32);
            for (std::size_t r = 0; r < held.records.size(); ++r) {
                EXPECT_EQ(channel["values"][r], readerValue(held.records[r].values[k])) << "record " << r;
                if (!drives[i].records[r].values[k]) ++(held.records[r].values[k] ? filled : stillMissing);
            }
        }
    }
    // The drives exercise both sides of the 3 s hold.
    EXPECT_GT(filled, 0u);
    EXPECT_GT(stillMissing, 0u);
}

} // namespace
} // namespace veq
