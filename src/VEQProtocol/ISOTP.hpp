#pragma once

#include <cstdint>
#include <vector>

namespace veq::ISOTP {

// One ECU's frames, in arrival order, to one message (see the protocol control nibble rules
// in the source). Never fails: malformed input gives what can be read of it.
std::vector<std::uint8_t> reassemble(const std::vector<std::vector<std::uint8_t>>& frames);

} // namespace veq::ISOTP
