#include "VEQStore/Telemetry/TelemetryFile.hpp"

#include "VEQSupport/AtomicFile.hpp"
#include "VEQSupport/FileReading.hpp"
#include "VEQSupport/Text.hpp"
#include "VEQSupport/UnicodeText.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <fcntl.h>
#include <limits>
#include <system_error>
#include <unistd.h>

namespace veq::TelemetryFile {

namespace {

std::string systemMessage(int err) { return std::error_code(err, std::generic_category()).message(); }

std::string writeFailure(const std::filesystem::path& p, const std::string& why) {
    return "Écriture impossible de « " + p.string() + " » : " + why;
}

void putU16(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void putU32(std::uint8_t* out, std::uint32_t v) {
    out[0] = static_cast<std::uint8_t>(v);
    out[1] = static_cast<std::uint8_t>(v >> 8);
    out[2] = static_cast<std::uint8_t>(v >> 16);
    out[3] = static_cast<std::uint8_t>(v >> 24);
}

void putU64(std::vector<std::uint8_t>& out, std::uint64_t v) {
    for (int i = 0; i < 8; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

std::uint16_t getU16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

std::uint32_t getU32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

std::uint64_t getU64(const std::uint8_t* p) {
    std::uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = (v << 8) | p[i];
    return v;
}

bool isNaNBits(std::uint32_t bits) { return (bits & 0x7F800000u) == 0x7F800000u && (bits & 0x007FFFFFu) != 0; }

// Takes fields in order; running out of bytes before the records means the file was cut.
class Cursor {
public:
    explicit Cursor(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    const std::uint8_t* take(std::size_t n) {
        if (bytes_.size() - position_ < n) throw ReadError::truncated();
        const auto* p = bytes_.data() + position_;
        position_ += n;
        return p;
    }
    std::size_t remaining() const { return bytes_.size() - position_; }

private:
    std::span<const std::uint8_t> bytes_;
    std::size_t position_ = 0;
};

// The start date as whole milliseconds since 1970, truncated; dates before 1970 are written as 1970.
std::uint64_t startMilliseconds(Date date) {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(date.time_since_epoch()).count();
    return ms < 0 ? 0 : static_cast<std::uint64_t>(ms);
}

// The file may carry any 64-bit count; the clock cannot hold them all, so the latest it can is used.
Date dateFromMilliseconds(std::uint64_t ms) {
    constexpr auto latest = std::chrono::duration_cast<std::chrono::milliseconds>(Date::duration::max()).count();
    const auto clamped = std::min<std::uint64_t>(ms, static_cast<std::uint64_t>(latest));
    return Date{std::chrono::milliseconds(static_cast<std::int64_t>(clamped))};
}

} // namespace

ReadError ReadError::unsupportedVersion(std::uint16_t found) {
    return ReadError(Kind::unsupportedVersion, found,
                     fmt::format("Version de fichier de télémétrie non prise en charge : {}", found));
}

ReadError ReadError::badMagic() {
    return ReadError(Kind::badMagic, 0, "Ce fichier n'est pas un fichier de télémétrie (signature VEQT absente)");
}

ReadError ReadError::truncated() {
    return ReadError(Kind::truncated, 0, "Fichier de télémétrie tronqué : l'en-tête est incomplet");
}

std::vector<std::uint8_t> encodeHeader(std::span<const Channel> channels, Date startDate) {
    std::vector<std::uint8_t> out(magic.begin(), magic.end());
    putU16(out, version);
    putU16(out, static_cast<std::uint16_t>(channels.size()));
    putU64(out, startMilliseconds(startDate));
    for (const auto& channel : channels) {
        // The cut counts bytes and may split a character; the reader repairs it.
        const auto length = std::min(channel.name.size(), maxNameBytes);
        out.push_back(channel.pid);
        out.push_back(static_cast<std::uint8_t>(length));
        out.insert(out.end(), channel.name.begin(), channel.name.begin() + static_cast<std::ptrdiff_t>(length));
    }
    return out;
}

Contents decode(std::span<const std::uint8_t> bytes) {
    Cursor cursor(bytes);
    if (!std::equal(magic.begin(), magic.end(), cursor.take(magic.size()))) throw ReadError::badMagic();
    const auto fileVersion = getU16(cursor.take(2));
    if (fileVersion != version) throw ReadError::unsupportedVersion(fileVersion);
    const std::size_t channelCount = getU16(cursor.take(2));

    Contents contents;
    contents.startDate = dateFromMilliseconds(getU64(cursor.take(8)));
    contents.channels.reserve(channelCount);
    for (std::size_t i = 0; i < channelCount; ++i) {
        const auto pid = *cursor.take(1);
        const auto length = *cursor.take(1);
        const auto* name = cursor.take(length);
        contents.channels.push_back({pid, text::decodeUTF8Lossy(std::span<const std::uint8_t>(name, length))});
    }

    // A partial record at the end is what a crash mid-write leaves: it is ignored.
    const std::size_t recordSize = 4 + 4 * channelCount;
    const std::size_t recordCount = cursor.remaining() / recordSize;
    contents.records.reserve(recordCount);
    for (std::size_t r = 0; r < recordCount; ++r) {
        const auto* p = cursor.take(recordSize);
        Record record{getU32(p), {}};
        record.values.reserve(channelCount);
        for (std::size_t c = 0; c < channelCount; ++c) {
            const auto bits = getU32(p + 4 + 4 * c);
            if (isNaNBits(bits)) {
                record.values.emplace_back(std::nullopt);
            } else {
                record.values.emplace_back(std::bit_cast<float>(bits));
            }
        }
        contents.records.push_back(std::move(record));
    }
    return contents;
}

bool isOwnFileName(const std::filesystem::path& file) {
    return unicode::lowercased(file.extension().string()) == ".veqt";
}

Contents read(const std::filesystem::path& url) {
    // A recording has no size bound of its own: a long drive is read whole.
    const std::string bytes = readWholeFile(url, std::numeric_limits<std::size_t>::max());
    return decode({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()});
}

std::vector<std::pair<double, float>> Contents::series(std::uint8_t pid) const {
    std::vector<std::pair<double, float>> points;
    const auto channel = std::find_if(channels.begin(), channels.end(), [&](const Channel& c) { return c.pid == pid; });
    if (channel == channels.end()) return points;
    const auto position = static_cast<std::size_t>(channel - channels.begin());
    for (const auto& record : records) {
        if (position < record.values.size() && record.values[position]) {
            points.emplace_back(record.seconds(), *record.values[position]);
        }
    }
    return points;
}

Writer::Writer(std::filesystem::path url, std::vector<Channel> channels, Date startDate, Now now, FileCalls calls)
    : url_(std::move(url)), channels_(std::move(channels)), startDate_(startDate),
      now_(now ? std::move(now) : Now([] { return Clock::now(); })), calls_(std::move(calls)) {
    if (!calls_.write) calls_.write = ::pwrite;
    if (!calls_.cutBack) calls_.cutBack = ::ftruncate;
    if (channels_.size() > maxChannels) {
        throw Error(writeFailure(url_, fmt::format("{} canaux, le fichier en accepte {} au plus", channels_.size(),
                                                   maxChannels)));
    }
    const auto folder = url_.parent_path();
    if (!folder.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(folder, ec);
        if (ec) throw Error("Création impossible du dossier « " + folder.string() + " » : " + ec.message());
    }
    const auto header = encodeHeader(channels_, startDate_);
    writeFileAtomically(url_, std::string_view(reinterpret_cast<const char*>(header.data()), header.size()));

    handle_ = ::open(url_.c_str(), O_WRONLY | O_CLOEXEC);
    if (handle_ < 0) throw Error(writeFailure(url_, systemMessage(errno)));
    const off_t end = ::lseek(handle_, 0, SEEK_END);
    if (end < 0) {
        const int err = errno;
        ::close(handle_);
        handle_ = -1;
        throw Error(writeFailure(url_, systemMessage(err)));
    }
    committedSize_ = static_cast<std::uint64_t>(end);
    buffer_.reserve(flushThreshold + recordSize());
}

Writer::~Writer() { close(); }

std::uint64_t Writer::append(std::uint32_t milliseconds, std::span<const std::optional<float>> values) {
    const std::uint64_t number = nextNumber_++;
    if (handle_ < 0) {
        // Closed: nothing can take the record any more.
        dropOldest(1);
        return number;
    }
    const std::size_t count = channels_.size();
    const std::size_t start = buffer_.size();
    const Clock::time_point at = now_();
    if (start == 0) oldestBuffered_ = at;
    buffer_.resize(start + recordSize());
    auto* out = buffer_.data() + start;
    putU32(out, milliseconds);
    for (std::size_t c = 0; c < count; ++c) {
        const bool present = c < values.size() && values[c].has_value();
        putU32(out + 4 + 4 * c, present ? std::bit_cast<std::uint32_t>(*values[c]) : missingValueBits);
    }
    if (retryAt_) keepWithinBound();
    if ((buffer_.size() >= flushThreshold || dueAt(at)) && mayWriteAt(at)) write(at);
    return number;
}

void Writer::flushIfDue() {
    const Clock::time_point now = now_();
    if (dueAt(now) && mayWriteAt(now)) write(now);
}

void Writer::flush() {
    if (buffer_.empty()) return;
    write(now_());
}

void Writer::write(Clock::time_point now) {
    if (buffer_.empty() || handle_ < 0) return;
    std::size_t written = 0;
    while (written < buffer_.size()) {
        const ssize_t n = calls_.write(handle_, buffer_.data() + written, buffer_.size() - written,
                                       static_cast<off_t>(committedSize_ + written));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        written += static_cast<std::size_t>(n);
    }
    const std::size_t whole = written / recordSize();
    committedSize_ += whole * recordSize();
    recordsInFile_ += whole;
    keptFrom_ += whole;
    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(whole * recordSize()));
    if (buffer_.empty()) {
        retryAt_.reset();
        return;
    }
    failed_ = true;
    retryAt_ = now + retryInterval;
    keepWithinBound();
    // The partial record goes; should the cut fail, the next write starts over it all the same
    // and the reader ignores it meanwhile.
    if (written % recordSize() != 0) calls_.cutBack(handle_, static_cast<off_t>(committedSize_));
}

void Writer::keepWithinBound() {
    if (keptRecords() > maxKeptRecords) dropOldest(keptRecords() - maxKeptRecords);
}

void Writer::dropOldest(std::size_t count) {
    const std::uint64_t first = keptFrom_;
    if (!dropped_.empty() && dropped_.back().second == first) {
        dropped_.back().second += count;
    } else {
        dropped_.emplace_back(first, first + count);
    }
    keptFrom_ += count;
    const std::size_t bytes = std::min(buffer_.size(), count * recordSize());
    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(bytes));
}

Writer::Place Writer::place(std::uint64_t number) const {
    if (number >= keptFrom_) return Place::kept;
    const auto after = std::upper_bound(dropped_.begin(), dropped_.end(), number,
                                        [](std::uint64_t n, const auto& range) { return n < range.first; });
    if (after != dropped_.begin() && number < std::prev(after)->second) return Place::dropped;
    return Place::inFile;
}

void Writer::close() {
    if (handle_ < 0) return;
    flush();
    if (keptRecords() > 0) dropOldest(keptRecords());
    if (::close(handle_) != 0) failed_ = true;
    handle_ = -1;
}

} // namespace veq::TelemetryFile
