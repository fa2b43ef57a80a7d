// Importing an own file: read in pieces, so that only the drive is held, never the file whole
// beside it; the own reader decodes each piece.
#include "VEQStore/Import/LogImporterDrive.hpp"

#include "VEQSupport/FileReading.hpp"

#include <algorithm>
#include <iterator>

namespace veq::LogImporter::detail {

namespace {

constexpr std::size_t kFixedHeaderBytes = TelemetryFile::headerFixedSize;
constexpr std::size_t kChannelCountOffset = 6;
constexpr std::size_t kLongestChannelEntry = 2 + TelemetryFile::maxNameBytes;
// Records are decoded this many bytes at a time (at least one record, and at least the header).
constexpr std::size_t kPieceBytes = 64 * 1024;

std::span<const std::uint8_t> bytesOf(const std::vector<char>& bytes, std::size_t count) {
    return {reinterpret_cast<const std::uint8_t*>(bytes.data()), count};
}

// Reads up to `count` more bytes at the end of `bytes`.
void readMore(FileReader& file, std::vector<char>& bytes, std::size_t count) {
    const std::size_t old = bytes.size();
    bytes.resize(old + count);
    bytes.resize(old + file.read(std::span(bytes.data() + old, count)));
}

// The length of the header at the start of `bytes`, when all of it is there.
std::optional<std::size_t> headerLength(const std::vector<char>& bytes) {
    if (bytes.size() < kFixedHeaderBytes) return std::nullopt;
    const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(bytes[i]); };
    const std::size_t channels = byte(kChannelCountOffset) | (byte(kChannelCountOffset + 1) << 8);
    std::size_t length = kFixedHeaderBytes;
    for (std::size_t c = 0; c < channels; ++c) {
        if (length + 2 > bytes.size()) return std::nullopt;
        length += 2 + byte(length + 1);
    }
    if (length > bytes.size()) return std::nullopt;
    return length;
}

} // namespace

TelemetryFile::Contents readOwnFile(const std::filesystem::path& url, std::size_t maxFileBytes,
                                    std::size_t maxDriveBytes) {
    FileReader file(url, maxFileBytes);
    std::vector<char> start;
    readMore(file, start, kFixedHeaderBytes);
    if (start.size() == kFixedHeaderBytes) {
        const std::size_t channels = static_cast<std::uint8_t>(start[kChannelCountOffset]) |
                                     (static_cast<std::uint8_t>(start[kChannelCountOffset + 1]) << 8);
        readMore(file, start, channels * kLongestChannelEntry);
    }
    const auto header = headerLength(start);
    // The own reader gives the file's first fault (magic, version, then a header cut short).
    TelemetryFile::Contents drive = TelemetryFile::decode(bytesOf(start, header.value_or(start.size())));
    if (!header) return drive;

    const std::size_t channelCount = drive.channels.size();
    const std::size_t recordBytes = 4 + 4 * channelCount;
    const std::uint64_t recordCount = (file.size() - std::min<std::uint64_t>(file.size(), *header)) / recordBytes;
    const std::size_t perRecord = sizeof(TelemetryFile::Record) + allocated(channelCount * sizeof(std::optional<float>));
    MemoryBudget budget(maxDriveBytes);
    budget.take(recordCount > maxDriveBytes / perRecord ? maxDriveBytes + 1 : static_cast<std::size_t>(recordCount * perRecord));
    drive.records.reserve(static_cast<std::size_t>(recordCount));

    // Each piece is the header followed by whole records, so that the own reader decodes it.
    const std::size_t piece = std::max<std::size_t>(1, std::max(kPieceBytes, *header) / recordBytes) * recordBytes;
    std::vector<char> pending(start.begin() + static_cast<std::ptrdiff_t>(*header), start.end());
    start.resize(*header);
    while (drive.records.size() < recordCount) {
        const std::size_t wanted = std::min<std::uint64_t>(piece, (recordCount - drive.records.size()) * recordBytes);
        if (pending.size() < wanted) readMore(file, pending, wanted - pending.size());
        const std::size_t whole = std::min(wanted, pending.size() / recordBytes * recordBytes);
        if (whole == 0) break; // the file was cut while being read
        start.resize(*header);
        start.insert(start.end(), pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(whole));
        pending.erase(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(whole));
        auto part = TelemetryFile::decode(bytesOf(start, start.size()));
        std::move(part.records.begin(), part.records.end(), std::back_inserter(drive.records));
    }
    return drive;
}

} // namespace veq::LogImporter::detail
