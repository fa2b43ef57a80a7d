#pragma once

#include "VEQSupport/Error.hpp"

#include <array>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

// The system's own drive file (".veqt"), little-endian throughout:
//   "VEQT" | version u16 | channel count N u16 | start date u64 (ms since 1970, UTC)
//   | N x (pid u8, name length L u8, L bytes of UTF-8)
//   | records to the end of the file: ms u32 since the start date, N x binary32 (NaN = missing).
// No record count and no trailer, so a file cut short while written reads up to its last whole record.
namespace veq::TelemetryFile {

inline constexpr std::array<std::uint8_t, 4> magic{'V', 'E', 'Q', 'T'};
inline constexpr std::uint16_t version = 1;

// The quiet NaN written for a missing value; any NaN read back is a missing value.
inline constexpr std::uint32_t missingValueBits = 0x7FC00000;
inline constexpr std::size_t headerFixedSize = 16;
inline constexpr std::size_t maxNameBytes = 255;
inline constexpr std::size_t maxChannels = 65'535;

using Date = std::chrono::system_clock::time_point;

struct Channel {
    std::uint8_t pid = 0;
    std::string name;

    bool operator==(const Channel&) const = default;
};

struct Record {
    std::uint32_t milliseconds = 0;
    std::vector<std::optional<float>> values; // one per channel, in the drive's channel order

    double seconds() const { return static_cast<double>(milliseconds) / 1000.0; }
    bool operator==(const Record&) const = default;
};

// A drive in memory. Every record holds exactly one value per channel; records keep the order
// they were written in, which need not be time order.
struct Contents {
    std::vector<Channel> channels;
    Date startDate{};
    std::vector<Record> records;

    // One channel as (seconds, value) pairs, missing values skipped; follows the first channel
    // with that pid, empty when there is none.
    std::vector<std::pair<double, float>> series(std::uint8_t pid) const;

    // Drive operations (TelemetryFileContents.cpp); none changes this drive.

    // Fills a hole with the channel's last real value when that value is at most `maxGap` seconds
    // older; the sync-marker channel is never filled.
    Contents held(double maxGap) const;
    // The records between two times in seconds (either order, both ends kept), re-timed from the
    // lower bound, which also moves the start date.
    Contents trimmed(double from, double to) const;
    // Seconds from the start date to the last record.
    double duration() const;
    // `buckets` slots holding the largest value of each slot of time; empty when there is nothing
    // to draw.
    std::vector<float> sparkline(std::uint8_t pid, int buckets) const;

    bool operator==(const Contents&) const = default;
};

// Why a file could not be read as a drive. File-system failures are plain veq::Error.
class ReadError : public Error {
public:
    enum class Kind { unsupportedVersion, badMagic, truncated };

    static ReadError unsupportedVersion(std::uint16_t found);
    static ReadError badMagic();
    static ReadError truncated();

    Kind kind() const { return kind_; }
    std::uint16_t versionFound() const { return version_; }
    bool operator==(const ReadError& other) const { return kind_ == other.kind_ && version_ == other.version_; }

private:
    ReadError(Kind kind, std::uint16_t version, const std::string& description)
        : Error(description), kind_(kind), version_(version) {}

    Kind kind_;
    std::uint16_t version_ = 0;
};

// Whether a file is named as an own drive file: extension ".veqt", in any case.
bool isOwnFileName(const std::filesystem::path& file);

// Reads a whole file; throws veq::Error when the file cannot be read, then ReadError.
Contents read(const std::filesystem::path& url);
// The same from bytes already in memory.
Contents decode(std::span<const std::uint8_t> bytes);

// The header bytes of a file with these channels and start date.
std::vector<std::uint8_t> encodeHeader(std::span<const Channel> channels, Date startDate);

// Streams records into a new file through a 65,536-byte buffer, written out when it is full or
// when its oldest record is `maxBufferAge` old, so that a crash loses seconds of a slow drive,
// not minutes. The age is looked at as a record is added and at flushIfDue(), which the owner
// calls on a timer so that the last records reach the file when none follows them (polling
// paused, a car gone silent). One owner at a time, no lock.
// Write failures after creation are not thrown: `failed()` becomes true and the writer goes on.
// What a write could not put in the file stays kept for the next one; while writes fail, the
// oldest go past `maxKeptRecords`, and the buffer's own writes are tried at most once per
// `retryInterval` (an explicit flush() at once). Every write starts at the end of the file's last
// whole record, so a partial record left by a failed write, cut back or not, is covered by the
// next one and never read.
class Writer final {
public:
    using Clock = std::chrono::steady_clock;
    using Now = std::function<Clock::time_point()>;
    // The two calls that change the file once it is open: pwrite and ftruncate by default. A test
    // makes them fail as a full or read-only disk would.
    struct FileCalls {
        std::function<ssize_t(int handle, const void* bytes, std::size_t size, off_t offset)> write;
        std::function<int(int handle, off_t size)> cutBack;
    };
    // Where one record is.
    enum class Place { kept, inFile, dropped };

    static constexpr std::size_t flushThreshold = 65'536;
    static constexpr std::chrono::seconds maxBufferAge{5};
    static constexpr std::size_t maxKeptRecords = 2'400; // 10 minutes of a drive's records
    static constexpr std::chrono::seconds retryInterval{1};

    // Creates the folder, writes the header (replacing any file there) and opens the file for
    // appending. Throws veq::Error when any of that fails, or for more than 65,535 channels.
    // `now` tells the age of buffered records (the steady clock when none is given).
    Writer(std::filesystem::path url, std::vector<Channel> channels, Date startDate, Now now = {},
           FileCalls calls = {});
    ~Writer();
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;

    // Buffers one record and returns its number (the first appended is 0); a list of the wrong
    // length is padded with missing values or cut to the channel count so that no later record
    // is misaligned.
    std::uint64_t append(std::uint32_t milliseconds, std::span<const std::optional<float>> values);
    // Writes every kept record now, whatever failed before.
    void flush();
    // Flushes once the oldest buffered record is `maxBufferAge` old; otherwise does nothing.
    void flushIfDue();
    // Flushes and closes; records it could not write are dropped. Calling it again does nothing.
    void close();

    const std::filesystem::path& url() const { return url_; }
    const std::vector<Channel>& channels() const { return channels_; }
    Date startDate() const { return startDate_; }
    // Records in the file and those kept for it; records dropped are not counted.
    std::size_t recordCount() const { return recordsInFile_ + keptRecords(); }
    // Whole records in the file, those kept apart.
    std::size_t recordsInFile() const { return recordsInFile_; }
    // Where the record of that number is; a number not yet given counts as kept.
    Place place(std::uint64_t number) const;
    // True once any write or close has failed.
    bool failed() const { return failed_; }

private:
    std::size_t recordSize() const { return 4 + 4 * channels_.size(); }
    std::size_t keptRecords() const { return static_cast<std::size_t>(nextNumber_ - keptFrom_); }
    // Whether the buffer's oldest record is maxBufferAge old at `now`.
    bool dueAt(Clock::time_point now) const { return !buffer_.empty() && now - oldestBuffered_ >= maxBufferAge; }
    // The buffer's own write: none while a failed write's retry interval runs.
    bool mayWriteAt(Clock::time_point now) const { return !retryAt_ || now >= *retryAt_; }
    void write(Clock::time_point now);
    // Past maxKeptRecords, while writes fail, the oldest records go.
    void keepWithinBound();
    void dropOldest(std::size_t count);

    std::filesystem::path url_;
    std::vector<Channel> channels_;
    Date startDate_;
    int handle_ = -1;
    Now now_;
    FileCalls calls_;
    std::vector<std::uint8_t> buffer_; // the kept records, oldest first
    Clock::time_point oldestBuffered_{}; // when the first record now in the buffer was appended
    std::optional<Clock::time_point> retryAt_; // after a failed write, when the buffer may try again
    std::uint64_t nextNumber_ = 0;
    std::uint64_t keptFrom_ = 0; // number of the buffer's first record
    std::vector<std::pair<std::uint64_t, std::uint64_t>> dropped_; // numbers [first, end) dropped, in order
    std::size_t recordsInFile_ = 0;
    std::uint64_t committedSize_ = 0; // bytes of the file up to the end of its last whole record
    bool failed_ = false;
};

} // namespace veq::TelemetryFile
