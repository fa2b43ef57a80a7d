#pragma once

#include "VEQProtocol/PIDDefinition.hpp"

#include <cstdint>
#include <unordered_map>
#include <vector>

namespace veq {

// The fixed vocabulary of mode 01 parameters: 61 decodable parameters and six support
// bitmaps. Both tables are built once, on first use, and never change.
namespace PIDCatalog {

// Support rows 0x00, 0x20, 0x40; the parameters 0x01 to 0xA6 in ascending order without 0xA4;
// support rows 0x60, 0x80, 0xA0; last 0xA4.
const std::vector<PIDDefinition>& all();

// Every row of all() by its parameter number.
const std::unordered_map<std::uint8_t, const PIDDefinition*>& byPID();

// The row for a parameter number, or null when the catalogue has none (0x02, 0xA5, ...).
const PIDDefinition* definition(std::uint8_t pid);

// The support row for `base`: bit 31 - i of its four bytes stands for parameter base + i + 1.
PIDDefinition supportBitmap(std::uint8_t base);

} // namespace PIDCatalog

} // namespace veq
