#pragma once

#include "VEQStore/TelemetryFile.hpp"

#include <chrono>
#include <cstdint>
#include <limits>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace veq::testing {

// 2026-07-14 10:00:00 UTC: noon in Paris (summer time).
inline const TelemetryFile::Date kDriveStart = TelemetryFile::Date(std::chrono::seconds(1'784'023'200));

inline constexpr std::optional<float> kNone = std::nullopt;

// A drive with these channel identifiers (named "ch<id>") and records.
inline TelemetryFile::Contents makeDrive(const std::vector<std::uint8_t>& pids,
                                         std::vector<TelemetryFile::Record> records,
                                         TelemetryFile::Date start = kDriveStart) {
    TelemetryFile::Contents contents;
    for (std::uint8_t pid : pids) contents.channels.push_back({pid, "ch" + std::to_string(pid)});
    contents.startDate = start;
    contents.records = std::move(records);
    return contents;
}

// The drive of the golden export files: French names, a name that needs CSV quoting and one
// holding "/", a tie for three-decimal rounding (2.0625), a record with every value missing
// and the latest time a record can carry.
inline TelemetryFile::Contents goldenDrive() {
    using namespace std::chrono;
    const auto start = sys_days{year{2024} / 5 / 1} + hours{6} + minutes{30} + seconds{5} + milliseconds{250};
    return {{{0x0C, "R\u00E9gime moteur"},
             {0x10, "D\u00E9bit d'air (g/s)"},
             {0x0D, "Vitesse; \"GPS\""},
             {240, "Latitude GPS"}},
            start,
            {{0, {850.0f, 2.0625f, 0.0f, 48.8566f}},
             {250, {912.5f, std::nullopt, 0.1f, 48.85661f}},
             {1000, {std::nullopt, std::nullopt, std::nullopt, std::nullopt}},
             {std::numeric_limits<std::uint32_t>::max(), {-1.0005f, 1e-4f, -0.0004f, std::nullopt}}}};
}

// A drive of random shape for round trips: up to `maxChannels` channels, gaps between records
// from 0 to 5 s (so that some holes outlast a 3 s hold and some do not), about a third of the
// values missing, and the odd infinity.
inline TelemetryFile::Contents randomDrive(std::mt19937& random, std::size_t maxChannels) {
    using namespace std::chrono;
    TelemetryFile::Contents drive;
    drive.startDate = sys_days{year{2023} / 1 / 1} + milliseconds(std::uniform_int_distribution<std::int64_t>(
                                                         0, 2LL * 365 * 24 * 3600 * 1000)(random));
    const auto channelCount = std::uniform_int_distribution<std::size_t>(0, maxChannels)(random);
    for (std::size_t k = 0; k < channelCount; ++k) {
        const auto pid = static_cast<std::uint8_t>(std::uniform_int_distribution<int>(0, 255)(random));
        drive.channels.push_back({pid, "canal " + std::to_string(k) + (k % 3 == 0 ? " \u00E9t\u00E9" : "")});
    }
    const auto recordCount = std::uniform_int_distribution<int>(0, 60)(random);
    std::uint32_t ms = std::uniform_int_distribution<std::uint32_t>(0, 2000)(random);
    std::bernoulli_distribution missing(0.35);
    std::bernoulli_distribution infinite(0.02);
    std::uniform_real_distribution<float> value(-5000.0f, 5000.0f);
    for (int r = 0; r < recordCount; ++r) {
        TelemetryFile::Record record{ms, {}};
        for (std::size_t k = 0; k < channelCount; ++k) {
            if (missing(random)) record.values.push_back(std::nullopt);
            else if (infinite(random)) record.values.push_back(std::numeric_limits<float>::infinity());
            else record.values.push_back(value(random));
        }
        drive.records.push_back(std::move(record));
        ms += std::uniform_int_distribution<std::uint32_t>(0, 5000)(random);
    }
    return drive;
}

} // namespace veq::testing
