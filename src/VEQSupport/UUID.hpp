#pragma once

#include <array>
#include <compare>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace veq {

// A 128-bit universally unique identifier (RFC 4122), the identity of list entries and records.
struct UUID {
    std::array<std::uint8_t, 16> bytes{};

    // A fresh version-4 (random) identifier.
    static UUID random();
    // Reads the canonical 36-character form, hexadecimal digits of either case; nothing otherwise.
    static std::optional<UUID> parse(std::string_view text);
    // The canonical form in upper case, e.g. "E621E1F8-C36C-495A-93FC-0C247A3E6E5F".
    std::string uuidString() const;

    auto operator<=>(const UUID&) const = default;
    bool operator==(const UUID&) const = default;
};

} // namespace veq

template <>
struct std::hash<veq::UUID> {
    std::size_t operator()(const veq::UUID& u) const noexcept {
        std::size_t h = 0;
        for (std::uint8_t b : u.bytes) h = h * 131 + b;
        return h;
    }
};
