#pragma once

// What the log readers share while they collect a drive: its records under a memory bound, the
// day count of times of day, and the trace of left-out columns. Not part of the importer's API.

#include "VEQStore/Import/LogImporter.hpp"

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace veq::LogImporter::detail {

using Values = std::vector<std::optional<float>>;

// A log larger than this is refused rather than loaded whole into memory.
inline constexpr std::size_t kMaxFileBytes = 512u * 1024 * 1024;
// The drive built from one log may take this much memory at most. A full-size own file of many
// channels needs a little over twice its size, so its import still fits.
inline constexpr std::size_t kMaxDriveBytes = 1280u * 1024 * 1024;

// The heap a block of `bytes` really takes (the allocator's header, 16-byte steps, 32 at least).
std::size_t allocated(std::size_t bytes);
// Memory of one record of `valueCount` values in a drive, and while it is being collected.
std::size_t driveRecordBytes(std::size_t valueCount);

// The share of kMaxDriveBytes one import may still take; several candidate drives of one JSON
// document draw on the same budget.
class MemoryBudget {
public:
    explicit MemoryBudget(std::size_t limit = kMaxDriveBytes) : left_(limit), limit_(limit) {}
    // Throws veq::Error ("fichier trop volumineux") when the bytes would pass the limit.
    void take(std::size_t bytes);
    void giveBack(std::size_t bytes) { left_ += bytes; }

private:
    std::size_t left_;
    std::size_t limit_;
};

// Times and records as a reader finds them, charged to a budget.
class Collected {
public:
    explicit Collected(MemoryBudget& budget) : budget_(&budget) {}
    ~Collected() { clear(); }
    Collected(Collected&& other) noexcept;
    Collected& operator=(Collected&& other) noexcept;
    Collected(const Collected&) = delete;
    Collected& operator=(const Collected&) = delete;

    void add(double time, Values values);
    void clear();
    std::size_t size() const { return times_.size(); }

    // Hands the records to assemble(); the collection is empty afterwards.
    TelemetryFile::Contents assembled(const std::vector<MappedChannel>& channels, const std::string& timeColumn,
                                      std::optional<TelemetryFile::Date> statedStart = std::nullopt);
    // Keeps of every record only the values at `positions` (missing where a record is shorter).
    void project(const std::vector<std::size_t>& positions);

private:
    MemoryBudget* budget_;
    std::vector<double> times_;
    std::vector<Values> records_;
    std::size_t charged_ = 0;
};

// Times of day alone carry no date: one that goes back by more than 12 hours from the one
// before it is on the next day, so that a drive through midnight keeps its order.
class DayCount {
public:
    double seconds(const LogTime& time);

private:
    std::optional<double> previous_;
    double days_ = 0;
};

// An own file (".veqt") read piece by piece into a drive of at most `maxDriveBytes`; its own
// reader's errors pass through, a file or drive over its bound throws veq::Error.
TelemetryFile::Contents readOwnFile(const std::filesystem::path& url, std::size_t maxFileBytes,
                                    std::size_t maxDriveBytes);

// One trace line per column left out for its unit, when VEQ_TRACE is set.
void traceLeftOut(const std::vector<std::string>& names, const ColumnMapping& mapping);

} // namespace veq::LogImporter::detail
