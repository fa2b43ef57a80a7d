#include "VEQEngine/UDS/DiscoveredDID.hpp"

#include "VEQProtocol/DataIdentifier.hpp"
#include "VEQSupport/Text.hpp"

#include <fmt/format.h>

#include <utility>

namespace veq {

DiscoveredDID DiscoveredDID::make(std::uint16_t did, std::string ecu, std::vector<std::uint8_t> bytes, Date now) {
    DiscoveredDID d;
    d.did = did;
    d.ecu = std::move(ecu);
    d.changed.assign(bytes.size(), false);
    d.bytes = std::move(bytes);
    d.firstSeen = now;
    d.lastSeen = now;
    return d;
}

std::string DiscoveredDID::id() const { return ecu + "-" + hexDID(); }

std::string DiscoveredDID::hexDID() const { return fmt::format("0x{:04X}", did); }

std::string DiscoveredDID::hexBytes() const { return text::hexUpper(bytes, " "); }

std::optional<std::string> DiscoveredDID::standardName() const {
    for (const DataIdentifier& entry : DataIdentifier::standard()) {
        if (entry.id == did) return entry.name;
    }
    return std::nullopt;
}

std::optional<std::string> DiscoveredDID::asciiValue() const {
    std::string printable;
    for (std::uint8_t b : bytes) {
        if (b >= 0x20 && b <= 0x7E) printable += static_cast<char>(b);
    }
    const std::size_t n = bytes.size();
    if (printable.size() < 3) return std::nullopt;
    if (n >= 4 && printable.size() < 3 * n / 4) return std::nullopt;
    return printable;
}

} // namespace veq
