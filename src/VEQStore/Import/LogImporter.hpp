#pragma once

#include "VEQStore/Telemetry/TelemetryFile.hpp"
#include "VEQSupport/Error.hpp"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Turns a drive log of another tool (CSV or JSON), or one of our own files, into a drive in
// memory. A time column and seven engine channels are recognised by their French or English
// column names; every other column is ignored.
namespace veq::LogImporter {

// Why a log could not be imported; what() is the French sentence the user reads.
class ImportError : public Error {
public:
    enum class Kind { fileNotFound, noTimeColumn, invalidJSON, empty, noHeaders, noSamples };

    static ImportError fileNotFound(const std::string& path);
    static ImportError noTimeColumn(std::vector<std::string> seen);
    static ImportError invalidJSON(const std::string& message);
    static ImportError empty();
    static ImportError noHeaders();
    static ImportError noSamples();
    // No line of the log had a time that could be read in this column.
    static ImportError noSamples(const std::string& timeColumn);

    Kind kind() const { return kind_; }
    // The path, the JSON message or the time column the case carries ("" for the others).
    const std::string& detail() const { return detail_; }
    // The column names found, for noTimeColumn.
    const std::vector<std::string>& seen() const { return seen_; }

    bool operator==(const ImportError& other) const {
        return kind_ == other.kind_ && detail_ == other.detail_ && seen_ == other.seen_;
    }

private:
    ImportError(Kind kind, std::string detail, std::vector<std::string> seen, const std::string& description)
        : Error(description), kind_(kind), detail_(std::move(detail)), seen_(std::move(seen)) {}

    Kind kind_;
    std::string detail_;
    std::vector<std::string> seen_;
};

// Reads a log file: ".veqt" through the own file's reader (its errors pass through), ".json" or
// text starting with "[" or "{" as JSON, anything else as CSV. A file that cannot be read
// throws veq::Error.
TelemetryFile::Contents load(const std::filesystem::path& url);

// The steps of load, on text already decoded; public so that they can be tested and fuzzed.

struct MappedChannel {
    std::size_t column = 0;
    std::uint8_t pid = 0;
    std::string name;

    bool operator==(const MappedChannel&) const = default;
};

// A column that names a channel but states another unit than the channel's ("Speed (mph)"):
// its values would be wrong by a factor, so it serves no channel.
struct LeftOutColumn {
    std::size_t column = 0;
    std::uint8_t pid = 0; // the first channel it would have served

    bool operator==(const LeftOutColumn&) const = default;
};

struct ColumnMapping {
    std::optional<std::size_t> time;
    std::vector<MappedChannel> channels; // in the order of the alias table
    std::vector<LeftOutColumn> leftOut;  // in column order; named in the trace (VEQ_TRACE)

    bool operator==(const ColumnMapping&) const = default;
};

TelemetryFile::Contents readCSV(std::string_view text);
TelemetryFile::Contents readJSON(std::string_view text);

// Case and accents folded, a trailing unit group such as " (km/h)" removed, "_" and "-" read
// as spaces, runs of white space collapsed.
std::string normalise(std::string_view columnName);
// The content of that trailing group, case and accents folded and white space removed ("°f" for
// "Temp (°F)"); nothing when the name ends in no group or an empty one.
std::optional<std::string> statedUnit(std::string_view columnName);
ColumnMapping mapColumns(const std::vector<std::string>& names);

// The first decimal number found in the text ("12,5 km/h" reads 12.5); nothing for a blank
// text, a missing-value word or a number that does not fit.
std::optional<double> decimal(std::string_view text);
// The same as a channel value: also nothing beyond the 32-bit float range.
std::optional<float> number(std::string_view text);
// A time read from a log, in seconds: since 1970, or since midnight for a time of day alone.
struct LogTime {
    double seconds = 0;
    bool timeOfDay = false;

    bool operator==(const LogTime&) const = default;
};

// A time in seconds: a plain number (epoch milliseconds above 1e11 become seconds), a date in
// UTC, or a time of day alone as seconds since midnight. Nothing beyond 1e11 seconds either way.
std::optional<LogTime> readTime(std::string_view text);
std::optional<double> timestamp(std::string_view text);
// A time already read as a number: nothing when not finite or beyond 1e11 seconds.
std::optional<double> readableTime(double seconds);
// A time given as a number: above 1e11 it counts milliseconds since 1970, as in a text.
std::optional<double> numericTime(double value);

// Times in seconds (unsorted) with their records, into a drive that starts at the earliest
// time (never before 1970), counted from `statedStart` when the log states its start date. A
// record more than the file's 32-bit millisecond range after the start is dropped. No record
// at all is no drive: noSamples, naming the time column when there is one.
TelemetryFile::Contents assemble(const std::vector<double>& times,
                                 std::vector<std::vector<std::optional<float>>> records,
                                 const std::vector<MappedChannel>& channels,
                                 const std::string& timeColumn = {},
                                 std::optional<TelemetryFile::Date> statedStart = std::nullopt);

} // namespace veq::LogImporter
