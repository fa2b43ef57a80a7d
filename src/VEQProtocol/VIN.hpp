#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace veq {

// Vehicle identification numbers (ISO 3779): extraction from the mode 09 reply and the split
// into manufacturer, descriptor and identifier sections.
namespace VIN {

// The 33 characters a VIN may hold: upper-case letters without I, O and Q, then the digits.
inline constexpr std::string_view alphabet = "ABCDEFGHJKLMNPRSTUVWXYZ0123456789";

struct Decoded {
    std::string wmi;           // characters 1 to 3
    std::string vds;           // characters 4 to 9
    std::string vis;           // characters 10 to 17
    std::string modelYearCode; // character 10 (one character), left for the caller to interpret
    bool isMercedes = false;   // the WMI is one of the maker's passenger-car codes

    bool operator==(const Decoded&) const = default;
};

// The last 17 alphabet characters of the mode 09 PID 02 data bytes (count byte, characters and
// filler are told apart by the alphabet alone); nothing with fewer than 17.
std::optional<std::string> decode(std::span<const std::uint8_t> bytes);

// An older protocol's mode 09 PID 02 answer (`payload`, service byte first) as the adapter joins
// its lines: seven bytes each, 49 02 and the line's index, then four characters. True when those
// lines are not 1 to 5 in order (a line printed twice, lost or out of order): the VIN is broken.
// A CAN answer, one message whose eighth byte is a VIN character and never 49, is not judged.
bool linesBroken(std::span<const std::uint8_t> payload);

// Cuts a text of exactly 17 characters into its sections; the characters and the check digit are not validated.
std::optional<Decoded> analyze(std::string_view vin);

} // namespace VIN

} // namespace veq
