#include "VEQProtocol/VIN.hpp"

#include "VEQSupport/UnicodeText.hpp"

#include <algorithm>
#include <array>
#include <vector>

namespace veq::VIN {

namespace {

constexpr std::array<std::string_view, 6> kMercedesWMIs{"WDD", "WDC", "WDB", "W1K", "W1N", "W1V"};
constexpr std::size_t kLength = 17;
// An older protocol's line: 49 02, its index, four characters; five of them hold the VIN.
constexpr std::size_t kLineBytes = 7, kLines = 5;
constexpr std::uint8_t kService = 0x49, kPID = 0x02;

std::string join(const std::vector<std::string_view>& chars, std::size_t from, std::size_t count) {
    std::string out;
    for (std::size_t i = from; i < from + count; ++i) out += chars[i];
    return out;
}

} // namespace

std::optional<std::string> decode(std::span<const std::uint8_t> bytes) {
    // Bytes 80-FF stand for Latin-1 letters, none of which is in the alphabet: only ASCII survives.
    std::string kept;
    for (std::uint8_t b : bytes) {
        if (b < 0x80 && alphabet.find(static_cast<char>(b)) != std::string_view::npos) {
            kept.push_back(static_cast<char>(b));
        }
    }
    if (kept.size() < kLength) return std::nullopt;
    return kept.substr(kept.size() - kLength);
}

bool linesBroken(std::span<const std::uint8_t> payload) {
    const auto lineAt = [&](std::size_t at) {
        return payload.size() >= at + kLineBytes && payload[at] == kService && payload[at + 1] == kPID;
    };
    // One line alone, or a second line's 49 02 where a CAN answer holds a VIN character.
    const bool inLines = (payload.size() == kLineBytes && lineAt(0)) || lineAt(kLineBytes);
    if (!inLines) return false;
    if (payload.size() != kLineBytes * kLines) return true;
    for (std::size_t line = 0; line < kLines; ++line) {
        const std::size_t at = line * kLineBytes;
        if (!lineAt(at) || payload[at + 2] != line + 1) return true;
    }
    return false;
}

std::optional<Decoded> analyze(std::string_view vin) {
    const std::vector<std::string_view> chars = unicode::characters(vin);
    if (chars.size() != kLength) return std::nullopt;
    Decoded d{join(chars, 0, 3), join(chars, 3, 6), join(chars, 9, 8), std::string(chars[9]), false};
    d.isMercedes = std::find(kMercedesWMIs.begin(), kMercedesWMIs.end(), d.wmi) != kMercedesWMIs.end();
    return d;
}

} // namespace veq::VIN
