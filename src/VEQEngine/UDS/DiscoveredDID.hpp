#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace veq {

// A data identifier that answered a read, with its latest value. The scanner creates it; its
// owner updates `lastSeen`, `changed` and `reads` on later reads and sets the user's label.
struct DiscoveredDID {
    using Date = std::chrono::system_clock::time_point;

    std::uint16_t did = 0;
    std::string ecu;                 // the request header it was read from, e.g. "7E0"
    std::vector<std::uint8_t> bytes; // the value, without response identifier and echo
    Date firstSeen;
    Date lastSeen;
    std::vector<bool> changed;       // one mark per byte: differed from the previous read
    int reads = 1;
    std::optional<std::string> label;

    // A first read: both dates `now`, no byte marked, one read, no label.
    static DiscoveredDID make(std::uint16_t did, std::string ecu, std::vector<std::uint8_t> bytes,
                              Date now = std::chrono::system_clock::now());

    // "7E0-0xF190".
    std::string id() const;
    // "0xF190".
    std::string hexDID() const;
    // "0A FF".
    std::string hexBytes() const;
    // The French name of a standard identification identifier; nothing for any other.
    std::optional<std::string> standardName() const;
    // The printable bytes (0x20-0x7E) as text when the value reads as text: at least 3 printable
    // bytes, and from 4 bytes on at least three quarters (rounded down) of them.
    std::optional<std::string> asciiValue() const;

    bool operator==(const DiscoveredDID&) const = default;
};

} // namespace veq
