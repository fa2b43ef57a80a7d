#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace veq {

// An inclusive range of data identifiers offered to a scan, with its French title and advice.
struct DIDRange {
    std::uint16_t start = 0;
    std::uint16_t end = 0;
    std::string name;
    std::string detail;

    // "61824-62079": start and end in decimal.
    std::string id() const;
    // Identifiers in the range, counted in 32 bits (0x0000-0xFFFF holds 65,536); a range whose
    // start is above its end is empty.
    std::int32_t count() const;

    // The ranges worth scanning first, the identification range at the top.
    static const std::vector<DIDRange>& priority();

    bool operator==(const DIDRange&) const = default;
};

} // namespace veq

template <>
struct std::hash<veq::DIDRange> {
    std::size_t operator()(const veq::DIDRange& r) const noexcept {
        const std::size_t bounds = (static_cast<std::size_t>(r.start) << 16) | r.end;
        std::size_t h = std::hash<std::size_t>{}(bounds);
        h ^= std::hash<std::string>{}(r.name) + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2);
        h ^= std::hash<std::string>{}(r.detail) + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2);
        return h;
    }
};
