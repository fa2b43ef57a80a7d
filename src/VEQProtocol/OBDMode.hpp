#pragma once

#include "VEQSupport/Enum.hpp"

#include <array>
#include <cstdint>
#include <string_view>

namespace veq {

// The ten OBD-II services.
enum class OBDMode : std::uint8_t {
    currentData = 0x01,
    freezeFrame = 0x02,
    storedDTCs = 0x03,
    clearDTCs = 0x04,
    oxygenSensorTest = 0x05,
    onBoardMonitorTest = 0x06,
    pendingDTCs = 0x07,
    controlOperation = 0x08,
    vehicleInfo = 0x09,
    permanentDTCs = 0x0A,
};

template <>
struct EnumTraits<OBDMode> {
    using Raw = std::uint8_t;
    static constexpr std::array allCases{
        OBDMode::currentData,        OBDMode::freezeFrame,      OBDMode::storedDTCs, OBDMode::clearDTCs,
        OBDMode::oxygenSensorTest,   OBDMode::onBoardMonitorTest, OBDMode::pendingDTCs,
        OBDMode::controlOperation,   OBDMode::vehicleInfo,      OBDMode::permanentDTCs,
    };
    static constexpr Raw raw(OBDMode m) { return static_cast<Raw>(m); }
};

// The first byte of a positive reply: the mode plus 0x40.
constexpr std::uint8_t responseByte(OBDMode m) { return static_cast<std::uint8_t>(rawValue(m) + 0x40); }

// French title, such as "Mode 01 — Données temps réel".
std::string_view description(OBDMode m);

} // namespace veq
