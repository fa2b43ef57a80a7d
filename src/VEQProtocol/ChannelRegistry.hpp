#pragma once

#include "VEQProtocol/MeasurementUnit.hpp"

#include <cstdint>
#include <string>

namespace veq {

// The French name and unit symbol of every channel identifier: the pseudo-channels from their
// tables, every other number (0-223, 251-255) as a mode 01 parameter of the catalogue.
namespace ChannelRegistry {

// Never empty: a number the catalogue does not know reads "PID 0xFB".
std::string name(std::uint8_t id);
// The symbol only; converting a value is the unit's job. Pseudo-channels keep their symbol in
// both systems (boost stays in bar, GPS speed in km/h).
std::string unit(std::uint8_t id, UnitSystem system);

} // namespace ChannelRegistry

} // namespace veq
