#pragma once

#include "VEQProtocol/OBDMode.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace veq {

struct PIDDefinition;

// One OBD-II request: a mode and, for the modes that take one, a parameter number.
struct OBDCommand {
    OBDMode mode = OBDMode::currentData;
    std::optional<std::uint8_t> pid;

    OBDCommand() = default;
    OBDCommand(OBDMode m, std::optional<std::uint8_t> p) : mode(m), pid(p) {}
    // Mode 01 with the given parameter.
    explicit OBDCommand(std::uint8_t currentDataPID) : mode(OBDMode::currentData), pid(currentDataPID) {}
    // The request that reads a catalogue parameter: its mode and number.
    explicit OBDCommand(const PIDDefinition& definition);

    bool operator==(const OBDCommand&) const = default;

    // "010C", "03": upper-case hexadecimal, no separator.
    std::string requestString() const;
    // The request text followed by a carriage return, ready for the adapter.
    std::vector<std::uint8_t> requestBytes() const;
    std::uint8_t expectedResponseByte() const { return responseByte(mode); }
};

} // namespace veq
