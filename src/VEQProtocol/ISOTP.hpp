#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace veq::ISOTP {

// How a message ended short of the length its first frame announced.
enum class Cut : std::uint8_t {
    none,          // whole
    ended,         // the frames stopped coming
    shortFrame,    // a single frame held fewer bytes than its length nibble announced
    interrupted,   // a new first or single frame of its ECU began another message
    outOfSequence, // a consecutive frame (a numbered line) carried the wrong sequence number
    stray,         // only frames that belong to no message came: none began
};

// One message as its ECU sent it, cut to its announced length.
struct Message {
    std::vector<std::uint8_t> bytes;
    Cut cut = Cut::none;

    bool cutShort() const { return cut != Cut::none; }
    bool operator==(const Message&) const = default;
};

// How one ECU's frames come printed.
enum class Framing : std::uint8_t {
    // Without headers: the first frame's control nibble tells whether the adapter printed control
    // bytes (1 = first frame, 0 = single frame); anything else means it removed them, and frames
    // are joined whole, save a negative response ("7F 19 78"), a message of its own.
    firstFrameDecides,
    // CAN read with headers: every frame begins with its control byte, so a frame that belongs to
    // no message (a consecutive frame with none under way, a flow-control frame) is dropped, as an
    // ISO 15765-2 receiver drops it. A first frame with no control nibble is still joined whole.
    controlBytes,
    // CAN read without headers: as firstFrameDecides, but where the adapter removed the control
    // bytes a line outside a counted message is a single frame, a message of its own (a "response
    // pending", then the answer; two ECUs' answers), never joined to the one before.
    singleFrameLines,
};

// Builds one ECU's messages frame by frame, in arrival order. Never fails: malformed input gives
// what can be read of it.
//
// As an ISO 15765-2 receiver does, every first or single frame begins a new message, cutting short
// the one under way, and each consecutive frame must carry the next sequence number (1 after the
// first frame, wrapping from F to 0): one that does not ends its message cut short, and no later
// consecutive frame joins it. A frame printed twice or a frame lost is thus never taken into a
// message. Frames of other kinds (flow control) belong to no message. A single frame shorter than
// its length nibble is cut short.
//
// Without headers the adapter prints a multi-frame message as its byte count and then numbered
// lines (announce(), addNumbered()): the line numbers are the sequence numbers, line 0 holding
// the first frame's bytes. Numbered lines with no count line before them carry their sequence
// all the same; their message, of unknown length, ends whole once other lines or none follow.
class Reassembler {
public:
    struct Messages {
        Message first;              // the first one; empty and whole when none came
        std::vector<Message> later; // the ones after it, in order; empty only when cut short
        std::size_t strays = 0;     // frames dropped as belonging to no message
    };

    Reassembler() = default;
    explicit Reassembler(Framing framing) : framing_(framing) {}

    void add(std::span<const std::uint8_t> frame);
    // A count line ("014"): a message of that many bytes begins, its numbered lines to follow.
    void announce(std::size_t length);
    // A numbered line ("1: ..."): `number` is its line number (anything above F never follows).
    // The first one with no count line before it must be line 0.
    void addNumbered(std::uint8_t number, std::span<const std::uint8_t> bytes);
    // The first message so far; leaves the reassembler empty.
    std::vector<std::uint8_t> take();
    // Every message; leaves the reassembler empty.
    Messages takeAll();

private:
    // Starts the message of a first or single frame, the one under way cut short.
    void begin(std::span<const std::uint8_t> frame);
    // Starts a message of numbered lines, of `length` bytes when a count line told it.
    void beginNumbered(std::optional<std::size_t> length);
    void follow(std::span<const std::uint8_t> frame);
    // Ends the message under way: whole once its length came, else cut short for `cut`.
    void close(Cut cut);
    // Appends bytes to the message under way, up to its length, and ends it once whole.
    void append(std::span<const std::uint8_t> bytes);

    enum class Mode { none, isotp, raw, unreadable };

    Framing framing_ = Framing::firstFrameDecides;
    Mode mode_ = Mode::none;
    std::vector<Message> messages_;
    bool open_ = false; // the last message awaits consecutive frames (numbered lines)
    bool joining_ = false; // the last message is joined whole from frames without control bytes
    bool numbered_ = false; // a count line or a numbered line came: numbered lines carry the sequence
    std::optional<std::size_t> announced_; // the length of the message under way; none when untold
    std::uint8_t nextSequence_ = 0;
    std::size_t strays_ = 0;
};

// One ECU's frames, in arrival order, to one message (the first).
std::vector<std::uint8_t> reassemble(const std::vector<std::vector<std::uint8_t>>& frames);

} // namespace veq::ISOTP
