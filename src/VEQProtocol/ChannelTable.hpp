#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace veq {

// One pseudo-channel: identifier, French name, unit symbol (the same in both unit systems).
struct ChannelRow {
    std::uint8_t id;
    std::string_view name;
    std::string_view unit;
};

inline std::optional<ChannelRow> findChannelRow(std::span<const ChannelRow> rows, std::uint8_t id) {
    for (const ChannelRow& row : rows) {
        if (row.id == id) return row;
    }
    return std::nullopt;
}

// The name and unit of a channel of the table, nothing for an identifier outside it.
inline std::optional<std::string_view> channelName(std::span<const ChannelRow> rows, std::uint8_t id) {
    if (auto row = findChannelRow(rows, id)) return row->name;
    return std::nullopt;
}

inline std::optional<std::string_view> channelUnit(std::span<const ChannelRow> rows, std::uint8_t id) {
    if (auto row = findChannelRow(rows, id)) return row->unit;
    return std::nullopt;
}

} // namespace veq
