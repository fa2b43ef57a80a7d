#pragma once

#include "VEQStore/Import/LogImporter.hpp"

#include "VEQStore/StoreFixtures.hpp"

// Views of an imported drive shared by the importer's tests.
namespace veq::testing {

inline std::vector<std::uint8_t> pids(const TelemetryFile::Contents& drive) {
    std::vector<std::uint8_t> out;
    for (const auto& c : drive.channels) out.push_back(c.pid);
    return out;
}

inline std::vector<std::uint32_t> times(const TelemetryFile::Contents& drive) {
    std::vector<std::uint32_t> out;
    for (const auto& r : drive.records) out.push_back(r.milliseconds);
    return out;
}

inline double startSeconds(const TelemetryFile::Contents& drive) {
    return std::chrono::duration<double>(drive.startDate.time_since_epoch()).count();
}

} // namespace veq::testing
