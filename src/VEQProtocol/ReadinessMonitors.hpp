#pragma once

#include "VEQProtocol/PIDReading.hpp"
#include "VEQProtocol/StatusEnums.hpp"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace veq {

// The readiness record of parameters 0x01 and 0x41: lamp, stored code count, ignition type and
// the on-board monitors with their French names.
struct MonitorStatus {
    struct Monitor {
        std::string name;
        bool available = false; // the vehicle has this monitor
        bool complete = false;  // its test has run to completion
        bool operator==(const Monitor&) const = default;
    };

    bool milOn = false;
    int dtcCount = 0;
    bool isCompressionIgnition = false;
    std::vector<Monitor> continuousMonitors;    // always three
    std::vector<Monitor> nonContinuousMonitors; // always eight

    // Decodes A, B, C, D (further bytes are ignored); nothing with fewer than four. A known fuel
    // type (anything but notAvailable) decides the ignition type instead of bit 3 of B.
    static std::optional<MonitorStatus> decode(std::span<const std::uint8_t> data,
                                               std::optional<FuelType> fuelTypeOverride = std::nullopt);

    // "MIL" first, then one flag per available monitor, on when complete.
    std::vector<PIDReading::Flag> flags() const;
    // Every available monitor is complete (true as well when none is available).
    bool isReady() const;

    bool operator==(const MonitorStatus&) const = default;
};

} // namespace veq
