#pragma once

#include "VEQTransport/VehicleSimulation.hpp"

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace veq::OBDEncoder {

// The mode 01 parameters the simulated car answers, ascending. The six support rows (00, 20,
// 40, 60, 80, A0) are members, so each announces the next one; C0 is absent, so the chain ends.
inline constexpr std::array<std::uint8_t, 40> supportedPIDs{
    0x00, 0x01, 0x03, 0x04, 0x05, 0x06, 0x07, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F, 0x10, 0x11,
    0x13, 0x1C, 0x1F, 0x20, 0x21, 0x23, 0x2C, 0x2F, 0x31, 0x33, 0x40, 0x42, 0x43, 0x44,
    0x45, 0x46, 0x47, 0x49, 0x4A, 0x51, 0x5C, 0x5E, 0x60, 0x80, 0xA0, 0xA4,
};

bool isSupported(std::uint8_t pid);

// The data bytes of the mode 01 reply for `pid` (without the 41 and parameter echo), the inverse
// of the catalogue's formula; nothing when the parameter is not supported.
std::optional<std::vector<std::uint8_t>> encode(std::uint8_t pid, const VehicleState& state);

// The two conversions every encoding uses, shared with the emulator's live data identifiers.
// Byte: rounded half away from zero, clamped to 0...255; not-a-number gives 0.
std::uint8_t byte(double x);
// Word: rounded half away from zero, clamped to 0...65535, high byte first; not-a-number gives 0.
std::array<std::uint8_t, 2> word(double x);
// Truncated byte, for the emulator's live identifiers and bus frames: clamped to 0...255, then
// the fraction dropped (no rounding); not-a-number gives 0.
std::uint8_t truncatedByte(double x);

} // namespace veq::OBDEncoder
