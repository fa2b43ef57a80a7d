#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace veq::ISOTP {

// How a message ended short of the length its first frame announced.
enum class Cut : std::uint8_t {
    none,          // whole
    ended,         // the frames stopped coming
    interrupted,   // a new first or single frame of its ECU began another message
    outOfSequence, // a consecutive frame carried the wrong sequence number
};

// One message as its ECU sent it, cut to its announced length.
struct Message {
    std::vector<std::uint8_t> bytes;
    Cut cut = Cut::none;

    bool cutShort() const { return cut != Cut::none; }
    bool operator==(const Message&) const = default;
};

// Builds one ECU's messages frame by frame, in arrival order, on the protocol control nibble of
// the first frame: 1 = first frame (12-bit length, then consecutive frames 2x), 0 = single frame,
// anything else = the adapter already removed the control byte, so frames are joined whole.
// Never fails: malformed input gives what can be read of it.
//
// As an ISO 15765-2 receiver does, every first or single frame begins a new message, cutting short
// the one under way, and each consecutive frame must carry the next sequence number (1 after the
// first frame, wrapping from F to 0): one that does not ends its message cut short, and no later
// consecutive frame joins it. A frame printed twice or a frame lost is thus never taken into a
// message. Frames of other kinds (flow control) belong to no message.
class Reassembler {
public:
    struct Messages {
        Message first;              // the first one; empty when none came
        std::vector<Message> later; // the ones after it, in order, none of them empty
    };

    void add(std::span<const std::uint8_t> frame);
    // The first message so far; leaves the reassembler empty.
    std::vector<std::uint8_t> take();
    // Every message; leaves the reassembler empty.
    Messages takeAll();

private:
    // Starts the message of a first or single frame, the one under way cut short.
    void begin(std::span<const std::uint8_t> frame);
    void follow(std::span<const std::uint8_t> frame);
    // Ends the message under way: whole once its length came, else cut short for `cut`.
    void close(Cut cut);

    enum class Mode { none, isotp, raw, unreadable };

    Mode mode_ = Mode::none;
    std::vector<Message> messages_;
    bool open_ = false; // the last message awaits consecutive frames
    std::size_t announced_ = 0;
    std::uint8_t nextSequence_ = 0;
};

// One ECU's frames, in arrival order, to one message (the first).
std::vector<std::uint8_t> reassemble(const std::vector<std::vector<std::uint8_t>>& frames);

} // namespace veq::ISOTP
