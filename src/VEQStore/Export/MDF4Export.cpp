#include "VEQStore/Export/Exporters.hpp"

#include "VEQProtocol/ChannelRegistry.hpp"
#include "VEQProtocol/MeasurementUnit.hpp"

#include <array>
#include <bit>
#include <cstring>
#include <string_view>

namespace veq::TelemetryExporter {

namespace {

// ASAM MDF 4.10, the smallest file that tools read: ID, HD, FH, DG, CG, the master CN and one
// CN per drive channel, the TX texts, then one unpadded DT block. Little-endian throughout;
// every link is an absolute file offset, 0 for none.
constexpr std::string_view idFile = "MDF     ";
constexpr std::string_view idVersion = "4.10    ";
constexpr std::string_view idProgram = "OskavelC";
constexpr std::uint16_t idVersionNumber = 410;

constexpr std::uint64_t idSize = 64;
constexpr std::uint64_t headerSize = 24; // id, reserved, length, link count
constexpr std::uint64_t hdSize = 104;    // 6 links
constexpr std::uint64_t fhSize = 56;     // 2 links
constexpr std::uint64_t dgSize = 64;     // 4 links
constexpr std::uint64_t cgSize = 104;    // 6 links
constexpr std::uint64_t cnSize = 160;    // 8 links

constexpr std::uint64_t hdOffset = idSize;
constexpr std::uint64_t fhOffset = hdOffset + hdSize;       // 168
constexpr std::uint64_t dgOffset = fhOffset + fhSize;       // 224
constexpr std::uint64_t cgOffset = dgOffset + dgSize;       // 288
constexpr std::uint64_t masterCNOffset = cgOffset + cgSize; // 392
constexpr std::uint64_t firstCNOffset = masterCNOffset + cnSize; // 552

constexpr std::uint8_t timeFlagsOffsetsValid = 2;
constexpr std::uint8_t cnTypeFixedLength = 0;
constexpr std::uint8_t cnTypeMaster = 2;
constexpr std::uint8_t syncTypeNone = 0;
constexpr std::uint8_t syncTypeTime = 1;
constexpr std::uint8_t dataTypeFloatLE = 4;
constexpr std::uint32_t masterBitCount = 64;
constexpr std::uint32_t valueBitCount = 32;
constexpr std::uint64_t masterBytes = 8;
constexpr std::uint64_t valueBytes = 4;

constexpr std::uint32_t missingValueBits = 0x7FC00000; // quiet NaN
constexpr double maxHoldSeconds = 3.0;

constexpr std::string_view masterName = "t";
constexpr std::string_view masterUnit = "s";

// A TX block: header, the UTF-8 text, a zero byte, zeros up to a multiple of 8.
constexpr std::uint64_t textBlockSize(std::size_t textBytes) { return (headerSize + textBytes + 1 + 7) / 8 * 8; }

class Output {
public:
    explicit Output(std::uint64_t capacity) { bytes_.reserve(capacity); }

    template <typename T>
    void put(T value) {
        const auto raw = std::bit_cast<std::array<std::uint8_t, sizeof(T)>>(value);
        if constexpr (std::endian::native == std::endian::little) {
            bytes_.insert(bytes_.end(), raw.begin(), raw.end());
        } else {
            bytes_.insert(bytes_.end(), raw.rbegin(), raw.rend());
        }
    }
    void text(std::string_view s) { bytes_.insert(bytes_.end(), s.begin(), s.end()); }
    void zeros(std::size_t count) { bytes_.insert(bytes_.end(), count, 0); }

    void blockHeader(std::string_view type, std::uint64_t length, std::initializer_list<std::uint64_t> links) {
        text("##");
        text(type);
        zeros(4);
        put(length);
        put(static_cast<std::uint64_t>(links.size()));
        for (const std::uint64_t link : links) put(link);
    }

    void appendText(std::string_view s) {
        const std::uint64_t length = textBlockSize(s.size());
        blockHeader("TX", length, {});
        text(s);
        zeros(static_cast<std::size_t>(length - headerSize - s.size()));
    }

    std::uint64_t size() const { return bytes_.size(); }
    std::vector<std::uint8_t> take() { return std::move(bytes_); }

private:
    std::vector<std::uint8_t> bytes_;
};

struct ZoneFields {
    std::int16_t timeZoneMinutes = 0;
    std::int16_t daylightSavingMinutes = 0;
};

ZoneFields zoneFields(const TimeZone& zone, TimeZone::Date date) {
    const auto offsets = zone.offsets(date);
    const auto dstMinutes = offsets.daylightSaving.count() / 60'000;
    const auto totalMinutes = offsets.total().count() / 1000 / 60;
    return {static_cast<std::int16_t>(totalMinutes - dstMinutes), static_cast<std::int16_t>(dstMinutes)};
}

void writeHeaderBlocks(Output& out, std::uint64_t startNs, ZoneFields zone, std::uint64_t dtOffset,
                       std::uint64_t cycleCount, std::uint32_t recordSize) {
    // ID
    out.text(idFile);
    out.text(idVersion);
    out.text(idProgram);
    out.zeros(4);
    out.put(idVersionNumber);
    out.zeros(30);
    out.put(std::uint16_t{0}); // unfinalised flags
    out.put(std::uint16_t{0}); // custom unfinalised flags

    // HD: dg_first, fh_first, ch_first, at_first, ev_first, md_comment
    out.blockHeader("HD", hdSize, {dgOffset, fhOffset, 0, 0, 0, 0});
    out.put(startNs);
    out.put(zone.timeZoneMinutes);
    out.put(zone.daylightSavingMinutes);
    out.put(timeFlagsOffsetsValid);
    out.zeros(3);  // time class, flags, reserved
    out.zeros(16); // start angle, start distance

    // FH: fh_next, md_comment
    out.blockHeader("FH", fhSize, {0, 0});
    out.put(startNs);
    out.put(zone.timeZoneMinutes);
    out.put(zone.daylightSavingMinutes);
    out.put(timeFlagsOffsetsValid);
    out.zeros(3);

    // DG: dg_next, cg_first, data, md_comment
    out.blockHeader("DG", dgSize, {0, cgOffset, dtOffset, 0});
    out.zeros(8); // record id size 0, reserved

    // CG: cg_next, cn_first, tx_acq_name, si_acq_source, sr_first, md_comment
    out.blockHeader("CG", cgSize, {0, masterCNOffset, 0, 0, 0, 0});
    out.put(std::uint64_t{0}); // record id
    out.put(cycleCount);
    out.put(std::uint16_t{0}); // flags
    out.put(std::uint16_t{0}); // path separator
    out.zeros(4);
    out.put(recordSize);
    out.put(std::uint32_t{0}); // invalidation bytes
}

struct ChannelBlock {
    std::uint64_t next;
    std::uint64_t name;
    std::uint64_t unit;
    std::uint8_t type;
    std::uint8_t syncType;
    std::uint32_t byteOffset;
    std::uint32_t bitCount;
};

void writeChannel(Output& out, const ChannelBlock& cn) {
    // cn_next, composition, tx_name, si_source, cc_conversion, data, md_unit, md_comment
    out.blockHeader("CN", cnSize, {cn.next, 0, cn.name, 0, 0, 0, cn.unit, 0});
    out.put(cn.type);
    out.put(cn.syncType);
    out.put(dataTypeFloatLE);
    out.put(std::uint8_t{0}); // bit offset
    out.put(cn.byteOffset);
    out.put(cn.bitCount);
    out.put(std::uint32_t{0}); // flags
    out.put(std::uint32_t{0}); // invalidation bit position
    out.zeros(4);              // precision, reserved, attachment count
    out.zeros(48);             // value ranges and limits
}

void storeLE(std::uint8_t* at, std::uint64_t value, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

} // namespace

std::uint64_t nanoseconds(std::chrono::system_clock::time_point date) {
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(date.time_since_epoch()).count();
    return ns < 0 ? 0 : static_cast<std::uint64_t>(ns);
}

std::vector<std::uint8_t> mdf4(const TelemetryFile::Contents& contents, const TimeZone& timeZone) {
    const TelemetryFile::Contents held = contents.held(maxHoldSeconds);
    const std::size_t n = held.channels.size();
    const std::uint64_t recordSize = masterBytes + valueBytes * n;

    std::vector<std::string> units;
    units.reserve(n);
    for (const auto& channel : held.channels) units.push_back(ChannelRegistry::unit(channel.pid, UnitSystem::metric));

    // Texts: "t", "s", then each channel's name and unit.
    const std::uint64_t textStart = firstCNOffset + cnSize * n;
    std::vector<std::uint64_t> nameOffsets(n);
    std::vector<std::uint64_t> unitOffsets(n);
    std::uint64_t offset = textStart + textBlockSize(masterName.size()) + textBlockSize(masterUnit.size());
    for (std::size_t k = 0; k < n; ++k) {
        nameOffsets[k] = offset;
        offset += textBlockSize(held.channels[k].name.size());
        unitOffsets[k] = offset;
        offset += textBlockSize(units[k].size());
    }
    const std::uint64_t dtOffset = offset;
    const std::uint64_t dataSize = held.records.size() * recordSize;

    Output out(dtOffset + headerSize + dataSize);
    writeHeaderBlocks(out, nanoseconds(held.startDate), zoneFields(timeZone, held.startDate), dtOffset,
                      held.records.size(), static_cast<std::uint32_t>(recordSize));

    const auto channelOffset = [](std::size_t k) { return firstCNOffset + cnSize * k; };
    writeChannel(out, {n > 0 ? channelOffset(0) : 0, textStart, textStart + textBlockSize(masterName.size()),
                       cnTypeMaster, syncTypeTime, 0, masterBitCount});
    for (std::size_t k = 0; k < n; ++k) {
        writeChannel(out, {k + 1 < n ? channelOffset(k + 1) : 0, nameOffsets[k], unitOffsets[k], cnTypeFixedLength,
                           syncTypeNone, static_cast<std::uint32_t>(masterBytes + valueBytes * k), valueBitCount});
    }

    out.appendText(masterName);
    out.appendText(masterUnit);
    for (std::size_t k = 0; k < n; ++k) {
        out.appendText(held.channels[k].name);
        out.appendText(units[k]);
    }

    out.blockHeader("DT", headerSize + dataSize, {});
    std::vector<std::uint8_t> bytes = out.take();
    const std::size_t dataStart = bytes.size();
    bytes.resize(dataStart + dataSize);
    std::uint8_t* at = bytes.data() + dataStart;
    for (const auto& record : held.records) {
        storeLE(at, std::bit_cast<std::uint64_t>(record.seconds()), masterBytes);
        at += masterBytes;
        // A record with too few values is padded with missing values and one with too many is cut,
        // so that every record keeps the size the channel group announces.
        for (std::size_t k = 0; k < n; ++k) {
            const auto& value = k < record.values.size() ? record.values[k] : std::nullopt;
            storeLE(at, value ? std::bit_cast<std::uint32_t>(*value) : missingValueBits, valueBytes);
            at += valueBytes;
        }
    }
    return bytes;
}

} // namespace veq::TelemetryExporter
