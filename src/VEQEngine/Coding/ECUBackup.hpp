#pragma once

#include "VEQSupport/UUID.hpp"

#include <nlohmann/json_fwd.hpp>

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace veq {

// A copy of an ECU's identification data taken before any coding write, sealed with a SHA-256
// checksum over the address, the creation time in whole seconds and every value, so that a
// backup edited on disk is recognised.
struct ECUBackup {
    using Clock = std::chrono::system_clock;
    // Key "0x%04X" of the data identifier -> the data bytes after the echoed identifier.
    using Values = std::map<std::string, std::vector<std::uint8_t>>;

    UUID id;
    std::string ecuName;
    std::string ecuAddress; // the request header; backups of one ECU are found by it
    Clock::time_point createdAt;
    std::optional<std::string> vin;
    Values values;
    std::string checksum; // 64 lower-case hexadecimal digits
    bool verified = false; // every stored value confirmed by a second identical read, and at least one

    // Seals the backup: the checksum is always computed here, never supplied.
    ECUBackup(UUID id, std::string ecuName, std::string ecuAddress, Clock::time_point createdAt,
              std::optional<std::string> vin, Values values, bool verified);

    // SHA-256, as 64 lower-case hexadecimal digits, of the address, the decimal whole seconds of
    // `date` since 1970 (truncated toward zero), then each key in ascending order followed by
    // its bytes; nothing between the parts.
    static std::string computeChecksum(const Values& values, std::string_view address, Clock::time_point date);

    // "0xF190": the key of a data identifier in `values`.
    static std::string key(std::uint16_t identifier);

    // Seconds from `createdAt` to `now`; negative for a backup dated in the future.
    double age(Clock::time_point now = Clock::now()) const;
    std::size_t didCount() const { return values.size(); }
    // From 0 to under 24 hours old.
    bool isFresh(Clock::time_point now = Clock::now()) const;
    // The checksum recomputed from the current values, address and time equals the stored one.
    bool isIntact() const;

    // The backup file: indented JSON, keys in ascending order, "createdAt" in whole seconds.
    std::string encoded() const;
    // A backup file read back with its stored checksum, or nothing when any required key is
    // missing or mistyped, a byte is out of range, or "createdAt" is not the whole-second form.
    static std::optional<ECUBackup> decode(std::string_view bytes);

    bool operator==(const ECUBackup&) const = default;
};

void to_json(nlohmann::json& j, const ECUBackup& backup);

} // namespace veq
