#pragma once

#include "VEQStore/Catalog/SessionRecord.hpp"
#include "VEQStore/Telemetry/TelemetryFile.hpp"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace veq {

// The persistent list of recorded drives: one SQLite database "sessions.store" in the sessions
// folder, beside the drives' own telemetry files. When that file cannot be used (damaged, from
// an unknown version, not ours) the catalogue keeps this run's drives in memory, leaves the file
// exactly as it was, and says so once on standard error.
// Used by one thread at a time (the interface's); no operation throws. Creating, updating and
// saving a record tell whether the store took the row, so that the caller can save it again.
class SessionCatalog {
public:
    using Date = SessionRecord::Date;

    static constexpr std::string_view storeFileName = "sessions.store";

    // The figures `update` sets; an absent one is left as it is.
    struct Update {
        std::optional<Date> endDate{};
        std::optional<std::int64_t> sampleCount{};
        std::optional<std::int64_t> channelCount{};
        std::optional<double> distanceKm{};
        std::optional<double> maxSpeedKmh{};
        std::optional<double> fuelLiters{};
        std::optional<std::int64_t> dtcCount{};
        std::optional<double> zeroToHundredSec{};

        // Sets the present figures on a record in memory.
        void applyTo(SessionRecord& record) const;
    };

    // Opens the catalogue in `directory` (defaultDirectory() when none), creating the folder;
    // `inMemory` keeps everything in memory from the start.
    explicit SessionCatalog(std::optional<std::filesystem::path> directory = std::nullopt, bool inMemory = false);
    ~SessionCatalog();
    SessionCatalog(const SessionCatalog&) = delete;
    SessionCatalog& operator=(const SessionCatalog&) = delete;

    // "OskavelCar/Sessions" in the application's data folder.
    static std::filesystem::path defaultDirectory();

    const std::filesystem::path& sessionsDirectory() const { return sessionsDirectory_; }
    // False when this catalogue keeps its records in memory only.
    bool isPersistent() const;

    // Every record, newest start first; records that started together in the order created.
    std::vector<SessionRecord> allSessions() const;

    // A new record, stored and returned. It starts at `startDate` (a saved range passes its own
    // start), or now. Its storeID stays 0 when the store did not take it.
    SessionRecord createSession(std::string fileName, std::optional<std::string> vin,
                                std::optional<std::string> profileID, std::optional<std::string> profileName,
                                std::optional<Date> startDate = std::nullopt);

    // Sets the present figures on `record` and in the store; false when the store did not take
    // them (a record never stored included), the record in memory changed all the same.
    bool update(SessionRecord& record, const Update& changes);
    // Writes every field of `record` to the store, inserting it when it was never stored (its
    // storeID is then set); false when the store did not take it.
    bool save(SessionRecord& record);

    // Removes the drive's file and its record.
    void remove(const SessionRecord& record);

    // The drive's file read whole; nothing when it is missing or unreadable.
    std::optional<TelemetryFile::Contents> contents(const SessionRecord& record) const;

    // The drive's file in the sessions folder, or nothing when `fileName` is not one plain file
    // name (empty, ".", "..", or holding a path separator): a stored name never reaches outside
    // the folder. Readers off the GUI thread read the file through it.
    std::optional<std::filesystem::path> driveFile(const SessionRecord& record) const;

private:
    struct Store;

    std::filesystem::path sessionsDirectory_;
    std::unique_ptr<Store> store_;
};

} // namespace veq
