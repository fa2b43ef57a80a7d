#include "VEQSupport/UUID.hpp"

#include "VEQSupport/Text.hpp"

#include <random>

namespace veq {

namespace {

constexpr std::array<std::size_t, 4> kDashes{8, 13, 18, 23};

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

} // namespace

UUID UUID::random() {
    // random_device draws from the system's entropy source; one per call keeps this free of
    // shared state between threads.
    std::random_device device;
    UUID u;
    for (std::size_t i = 0; i < u.bytes.size(); i += 4) {
        const auto word = device();
        for (std::size_t k = 0; k < 4; ++k) u.bytes[i + k] = static_cast<std::uint8_t>(word >> (8 * k));
    }
    u.bytes[6] = static_cast<std::uint8_t>((u.bytes[6] & 0x0F) | 0x40); // version 4
    u.bytes[8] = static_cast<std::uint8_t>((u.bytes[8] & 0x3F) | 0x80); // RFC 4122 variant
    return u;
}

std::optional<UUID> UUID::parse(std::string_view text) {
    if (text.size() != 36) return std::nullopt;
    UUID u;
    std::size_t byte = 0;
    for (std::size_t i = 0; i < text.size();) {
        if (i == kDashes[0] || i == kDashes[1] || i == kDashes[2] || i == kDashes[3]) {
            if (text[i] != '-') return std::nullopt;
            ++i;
            continue;
        }
        const int hi = hexValue(text[i]);
        const int lo = hexValue(text[i + 1]);
        if (hi < 0 || lo < 0) return std::nullopt;
        u.bytes[byte++] = static_cast<std::uint8_t>(hi * 16 + lo);
        i += 2;
    }
    return u;
}

std::string UUID::uuidString() const {
    std::string out;
    out.reserve(36);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) out.push_back('-');
        out += text::hexByte(bytes[i]);
    }
    return out;
}

} // namespace veq
