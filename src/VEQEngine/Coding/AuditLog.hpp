#pragma once

#include "VEQSupport/Enum.hpp"
#include "VEQSupport/UUID.hpp"

#include <nlohmann/json_fwd.hpp>

#include <array>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace veq {

// One expert coding action, as kept in memory and written to the audit file.
struct AuditEntry {
    enum class Kind {
        expertAccepted,
        backupCreated,
        writeAttempted,
        writeRefused,
        writeSucceeded,
        writeFailed,
        restoreAttempted,
        restoreSucceeded,
    };

    UUID id;
    std::chrono::system_clock::time_point timestamp;
    Kind kind = Kind::expertAccepted;
    std::optional<std::string> ecu;
    std::optional<std::string> did;
    std::optional<std::string> valueBefore;
    std::optional<std::string> valueAfter;
    std::optional<std::string> recipe;
    std::string result;

    // The entry's line of the audit file, without line ending: eight TAB-separated fields, "-"
    // for an absent text. A TAB, CR or LF inside a field becomes a blank, so one record is always
    // exactly one line of eight columns.
    std::string logLine() const;

    bool operator==(const AuditEntry&) const = default;
};

template <>
struct EnumTraits<AuditEntry::Kind> {
    using Raw = std::string_view;
    using K = AuditEntry::Kind;
    static constexpr std::array allCases{K::expertAccepted, K::backupCreated,    K::writeAttempted,
                                         K::writeRefused,   K::writeSucceeded,   K::writeFailed,
                                         K::restoreAttempted, K::restoreSucceeded};
    static constexpr Raw raw(K k) {
        switch (k) {
        case K::expertAccepted: return "expertAccepted";
        case K::backupCreated: return "backupCreated";
        case K::writeAttempted: return "writeAttempted";
        case K::writeRefused: return "writeRefused";
        case K::writeSucceeded: return "writeSucceeded";
        case K::writeFailed: return "writeFailed";
        case K::restoreAttempted: return "restoreAttempted";
        case K::restoreSucceeded: return "restoreSucceeded";
        }
        return {};
    }
};

// Keys are the field names; absent texts are left out; the time is ISO 8601 in UTC.
void to_json(nlohmann::json& j, const AuditEntry& entry);
void from_json(const nlohmann::json& j, AuditEntry& entry);

// The append-only trace of expert coding: a text file that survives restarts and is never
// read back, and the entries recorded through this instance. Thread-safe; no file error ever
// reaches a caller.
class AuditLog {
public:
    // The file at `fileURL`, or at defaultURL() when none is given. Creates its folder and, when
    // no file exists there yet, the two header lines; an existing file is left untouched.
    explicit AuditLog(std::optional<std::filesystem::path> fileURL = std::nullopt);

    // "OskavelCar/audit.log" in the application's data folder.
    static std::filesystem::path defaultURL();

    // The two header lines, each ending with a line feed (103 bytes).
    static std::string_view header();

    // Keeps the entry and appends its line to the file when the file exists; never creates it.
    // After a short write (a full disk) the next line starts with a line feed of its own.
    void record(AuditEntry entry);

    // Every entry recorded through this instance, newest first.
    std::vector<AuditEntry> recent() const;

    const std::filesystem::path& logFileURL() const { return fileURL_; }

private:
    const std::filesystem::path fileURL_;
    mutable std::mutex mutex_;
    std::vector<AuditEntry> entries_;
    bool unterminated_ = false; // the last write left a line without its line feed
};

} // namespace veq
