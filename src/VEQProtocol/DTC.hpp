#pragma once

#include "VEQSupport/Enum.hpp"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace veq {

// An OBD-II trouble code (SAE J2012 layout) decoded from its two bytes.
struct DTC {
    enum class System { powertrain, chassis, body, network };

    System system = System::powertrain;
    std::string code;                              // five characters, such as P0301
    std::pair<std::uint8_t, std::uint8_t> raw{};   // the bytes as received

    // Nothing when both bytes are zero (an empty slot of a reply).
    static std::optional<DTC> decode(std::uint8_t a, std::uint8_t b);
    // Decodes consecutive pairs from the first byte; empty slots and a trailing odd byte are skipped.
    static std::vector<DTC> list(std::span<const std::uint8_t> bytes);

    // Two codes are the same trouble whatever bytes carried them.
    bool operator==(const DTC& other) const { return code == other.code; }
    const std::string& description() const { return code; }
};

template <>
struct EnumTraits<DTC::System> {
    using Raw = char;
    static constexpr std::array allCases{DTC::System::powertrain, DTC::System::chassis, DTC::System::body,
                                         DTC::System::network};
    static constexpr Raw raw(DTC::System s) {
        switch (s) {
        case DTC::System::powertrain: return 'P';
        case DTC::System::chassis: return 'C';
        case DTC::System::body: return 'B';
        case DTC::System::network: return 'U';
        }
        return 'P';
    }
};

} // namespace veq

template <>
struct std::hash<veq::DTC> {
    std::size_t operator()(const veq::DTC& d) const noexcept { return std::hash<std::string>{}(d.code); }
};
