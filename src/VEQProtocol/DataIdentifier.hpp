#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace veq {

// A UDS data identifier (the 16-bit key of services 0x22 and 0x2E) with its French name.
struct DataIdentifier {
    std::uint16_t id = 0;
    std::string name;
    bool isASCII = false; // the value is printable text

    // The identification identifiers of ISO 14229 (0xF180-0xF19F) the system names.
    static const std::vector<DataIdentifier>& standard();

    // The standard entry with this id, else "DID 0x%04X" read as bytes.
    static DataIdentifier named(std::uint16_t id);

    // "0xF190".
    std::string hexID() const;
    // Text identifiers keep only their printable ASCII bytes; anything else, or a text value
    // with no printable byte, is shown as a spaced hexadecimal dump.
    std::string interpret(std::span<const std::uint8_t> bytes) const;

    bool operator==(const DataIdentifier&) const = default;
};

} // namespace veq

template <>
struct std::hash<veq::DataIdentifier> {
    std::size_t operator()(const veq::DataIdentifier& d) const noexcept {
        const std::size_t key = (static_cast<std::size_t>(d.id) << 1) | (d.isASCII ? 1u : 0u);
        return std::hash<std::string>{}(d.name) ^ (std::hash<std::size_t>{}(key) * 0x9e3779b97f4a7c15ULL);
    }
};
