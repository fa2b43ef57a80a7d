#pragma once

#include "VEQSupport/UUID.hpp"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace veq {

// One catalogued drive: when and with which vehicle it was recorded, the name of its own
// telemetry file in the sessions folder, and its summary figures.
struct SessionRecord {
    using Date = std::chrono::system_clock::time_point;

    SessionRecord() = default;
    // A new record with a fresh identifier; every figure at its default.
    SessionRecord(Date startDate, std::optional<std::string> vin, std::optional<std::string> profileID,
                  std::optional<std::string> profileName, std::string fileName);

    UUID identifier = UUID::random();
    Date startDate = std::chrono::system_clock::now();
    std::optional<Date> endDate;
    std::optional<std::string> vin;
    std::optional<std::string> profileID;
    std::optional<std::string> profileName;
    std::string fileName; // last path component only
    std::int64_t sampleCount = 0;
    std::int64_t channelCount = 0;
    double distanceKm = 0;
    double maxSpeedKmh = 0;
    double fuelLiters = 0;
    std::int64_t dtcCount = 0;
    std::optional<double> zeroToHundredSec;
    std::optional<std::string> note;

    // The store's identity of the record: its row, 0 while it is in no store. Records are equal
    // when they stand for the same stored row (a record in no store only equals its own copies).
    std::int64_t storeID = 0;

    // Seconds from the start to the end, or to now while the drive has no end.
    double duration() const;
    // Litres per 100 km; 0 up to 0.1 km, where the figure would mean nothing.
    double consumptionL100() const;
    std::filesystem::path fileURL(const std::filesystem::path& folder) const;

    bool operator==(const SessionRecord& other) const {
        return storeID == other.storeID && (storeID != 0 || identifier == other.identifier);
    }
};

} // namespace veq

template <>
struct std::hash<veq::SessionRecord> {
    std::size_t operator()(const veq::SessionRecord& r) const noexcept {
        return r.storeID != 0 ? std::hash<std::int64_t>{}(r.storeID) : std::hash<veq::UUID>{}(r.identifier);
    }
};
