#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace veq {

// One frame printed by the adapter in bus monitor mode, read from its text line.
struct MonitorFrame {
    using Date = std::chrono::system_clock::time_point;

    // A CAN frame carries at most 8 data bytes; a longer line keeps its first 8.
    static constexpr std::size_t maxDataBytes = 8;

    std::string id; // upper case: 3 hexadecimal digits (11-bit) or 8 (29-bit)
    std::array<std::uint8_t, maxDataBytes> bytes{};
    std::uint8_t size = 0;
    Date at{}; // arrival

    std::span<const std::uint8_t> data() const { return {bytes.data(), size}; }

    // The frame of one monitor line, or nothing for a line that is not one. The line is split
    // at blanks and tabs. Its identifier is one 3- or 8-digit hexadecimal piece, or four 2-digit
    // pieces (a spaced 29-bit header), joined; any other start is not a frame. Every further
    // piece that reads as a hexadecimal number from 0 to FF gives a data byte; other pieces
    // (adapter words, stray prompts) are skipped. A line without any data byte is not a frame.
    static std::optional<MonitorFrame> parse(std::string_view line, Date at = {});

    bool operator==(const MonitorFrame&) const = default;
};

} // namespace veq
