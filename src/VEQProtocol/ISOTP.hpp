#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace veq::ISOTP {

// Builds one ECU's message frame by frame, in arrival order, on the protocol control nibble of
// the first frame: 1 = first frame (12-bit length, then consecutive frames 2x whose sequence
// numbers are not checked), 0 = single frame, anything else = the adapter already removed the
// control byte, so frames are joined whole. Never fails: malformed input gives what can be read
// of it.
//
// Once an ISO-TP message is complete, later frames begin further messages of the same ECU (one
// reply may hold a "response pending" answer and then the answer itself); those are kept apart
// and never change the first message. Only complete ones are kept.
class Reassembler {
public:
    struct Messages {
        std::vector<std::uint8_t> first;               // cut to its announced length
        std::vector<std::vector<std::uint8_t>> later;  // complete messages after it, in order
        bool firstCutShort = false;                    // its first frame announced more than came
    };

    void add(std::span<const std::uint8_t> frame);
    // The first message so far, cut to the announced length; leaves the reassembler empty.
    std::vector<std::uint8_t> take();
    // Every message; leaves the reassembler empty.
    Messages takeAll();

private:
    enum class Kind { none, empty, multi, single, raw };

    bool firstIsComplete() const;
    void follow(std::span<const std::uint8_t> frame);
    // Ends the message under way at the back of later_: cut to its length, or dropped if empty.
    void closeLater();

    Kind kind_ = Kind::none;
    std::size_t announced_ = 0;
    std::vector<std::uint8_t> message_;
    std::vector<std::vector<std::uint8_t>> later_;
    std::size_t laterAnnounced_ = 0;
    bool laterOpen_ = false; // the back of later_ awaits consecutive frames
};

// One ECU's frames, in arrival order, to one message (the first).
std::vector<std::uint8_t> reassemble(const std::vector<std::vector<std::uint8_t>>& frames);

} // namespace veq::ISOTP
