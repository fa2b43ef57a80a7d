#pragma once

#include "VEQProtocol/DTC.hpp"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace veq {

// One trouble-code record of a ReadDTCInformation reply.
struct UDSDTC {
    DTC dtc;
    std::uint8_t failureType = 0;
    std::uint8_t status = 0;

    // "P0301-00": two records of one code with different failure types are distinct items.
    std::string id() const;

    // ISO 14229 status bits.
    bool testFailed() const { return (status & 0x01) != 0; }
    bool isPending() const { return (status & 0x04) != 0; }
    bool isConfirmed() const { return (status & 0x08) != 0; }
    bool warningIndicatorRequested() const { return (status & 0x80) != 0; }

    bool operator==(const UDSDTC&) const = default;
};

// The codes read from each ECU, by its request header; nothing for an ECU whose codes could not
// be read (an empty list says it holds none).
using UDSCodesByECU = std::map<std::string, std::optional<std::vector<UDSDTC>>>;

} // namespace veq
