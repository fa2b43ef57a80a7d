#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace veq::ISOTP {

// Builds one ECU's message frame by frame, in arrival order, on the protocol control nibble of
// the first frame: 1 = first frame (12-bit length, then consecutive frames 2x whose sequence
// numbers are not checked), 0 = single frame (later frames ignored), anything else = the
// adapter already removed the control byte, so frames are joined whole. Never fails: malformed
// input gives what can be read of it.
class Reassembler {
public:
    void add(std::span<const std::uint8_t> frame);
    // The message so far, cut to the announced length; leaves the reassembler empty.
    std::vector<std::uint8_t> take();

private:
    enum class Kind { none, empty, multi, single, raw };
    Kind kind_ = Kind::none;
    std::size_t announced_ = 0;
    std::vector<std::uint8_t> message_;
};

// One ECU's frames, in arrival order, to one message.
std::vector<std::uint8_t> reassemble(const std::vector<std::vector<std::uint8_t>>& frames);

} // namespace veq::ISOTP
