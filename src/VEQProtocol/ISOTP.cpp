#include "VEQProtocol/ISOTP.hpp"

#include <algorithm>
#include <utility>

namespace veq::ISOTP {

namespace {

constexpr std::uint8_t kSingle = 0x0, kFirst = 0x1, kConsecutive = 0x2, kFlowControl = 0x3;

std::uint8_t nibble(std::span<const std::uint8_t> frame) { return frame[0] >> 4; }

std::size_t announcedLength(std::span<const std::uint8_t> frame) {
    return (static_cast<std::size_t>(frame[0] & 0x0F) << 8) | frame[1];
}

// A first or single frame that carries what it must: a first frame its length byte.
bool beginsMessage(std::span<const std::uint8_t> frame) {
    return nibble(frame) == kSingle || (nibble(frame) == kFirst && frame.size() >= 2);
}

// A negative response ("7F 19 78"), printed without control bytes: a whole message on every
// protocol, so never joined to the line before or after it (a "response pending", then the answer).
bool standsAlone(std::span<const std::uint8_t> frame) { return frame.size() == 3 && frame[0] == 0x7F; }

} // namespace

void Reassembler::add(std::span<const std::uint8_t> frame) {
    switch (mode_) {
    case Mode::none:
        if (framing_ == Framing::controlBytes && !frame.empty() && !beginsMessage(frame) && nibble(frame) <= kFlowControl) {
            ++strays_; // a control byte, but no message under way for it
        } else if (frame.empty() || (nibble(frame) == kFirst && frame.size() < 2)) {
            mode_ = Mode::unreadable; // nothing can be read from what follows
        } else if (beginsMessage(frame)) {
            mode_ = Mode::isotp;
            begin(frame);
        } else {
            mode_ = Mode::raw;
            messages_.push_back(Message{{frame.begin(), frame.end()}});
            joining_ = framing_ != Framing::singleFrameLines && !standsAlone(frame);
        }
        break;
    case Mode::isotp: follow(frame); break;
    case Mode::raw:
        if (framing_ == Framing::singleFrameLines || standsAlone(frame)) {
            if (open_) close(Cut::interrupted);
            messages_.push_back(Message{});
            joining_ = false;
        } else if (!joining_) {
            // After a counted message: a line of its own begins the next one.
            if (open_) close(Cut::interrupted);
            messages_.push_back(Message{});
            joining_ = true;
        }
        messages_.back().bytes.insert(messages_.back().bytes.end(), frame.begin(), frame.end());
        break;
    case Mode::unreadable: break;
    }
}

void Reassembler::announce(std::size_t length) { beginNumbered(length); }

void Reassembler::addNumbered(std::uint8_t number, std::span<const std::uint8_t> bytes) {
    if (!numbered_) beginNumbered(std::nullopt);
    if (!open_ || joining_) {
        ++strays_; // its message ended, whole or broken: no later line joins it
        return;
    }
    if (number != nextSequence_) {
        close(Cut::outOfSequence);
        return;
    }
    nextSequence_ = (nextSequence_ + 1) & 0x0F;
    append(bytes);
}

void Reassembler::beginNumbered(std::optional<std::size_t> length) {
    if (open_) close(Cut::interrupted);
    if (mode_ == Mode::none) mode_ = Mode::raw;
    numbered_ = true;
    joining_ = false;
    messages_.push_back(Message{});
    announced_ = length;
    nextSequence_ = 0;
    open_ = true;
    if (length == 0) close(Cut::none);
}

void Reassembler::follow(std::span<const std::uint8_t> frame) {
    if (frame.empty()) return;
    const std::uint8_t kind = nibble(frame);
    if (kind == kSingle || kind == kFirst) {
        if (framing_ == Framing::controlBytes && !beginsMessage(frame)) {
            ++strays_;
            return;
        }
        begin(frame);
        return;
    }
    if (kind != kConsecutive || !open_) {
        ++strays_;
        return;
    }
    if ((frame[0] & 0x0F) != nextSequence_) {
        close(Cut::outOfSequence);
        return;
    }
    nextSequence_ = (nextSequence_ + 1) & 0x0F;
    append(frame.subspan(1));
}

void Reassembler::begin(std::span<const std::uint8_t> frame) {
    if (open_) close(Cut::interrupted);
    joining_ = false;
    if (nibble(frame) == kSingle) {
        const std::size_t length = frame[0] & 0x0F;
        const std::size_t carried = std::min<std::size_t>(length, frame.size() - 1);
        messages_.push_back(Message{{frame.begin() + 1, frame.begin() + 1 + static_cast<std::ptrdiff_t>(carried)}});
        if (carried < length) messages_.back().cut = Cut::shortFrame;
        return;
    }
    if (frame.size() < 2) return; // a first frame without its length begins nothing readable
    announced_ = announcedLength(frame);
    messages_.push_back(Message{});
    open_ = true;
    nextSequence_ = 1;
    append(frame.subspan(2));
}

void Reassembler::append(std::span<const std::uint8_t> bytes) {
    std::vector<std::uint8_t>& message = messages_.back().bytes;
    if (!announced_) {
        message.insert(message.end(), bytes.begin(), bytes.end());
        return;
    }
    const std::size_t room = *announced_ > message.size() ? *announced_ - message.size() : 0;
    message.insert(message.end(), bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(std::min(room, bytes.size())));
    if (message.size() >= *announced_) close(Cut::none);
}

void Reassembler::close(Cut cut) {
    open_ = false;
    Message& message = messages_.back();
    // Of a length never told, only a line out of sequence shows a message broken.
    const bool shortOfLength = announced_ ? message.bytes.size() < *announced_ : cut == Cut::outOfSequence;
    if (shortOfLength) message.cut = cut;
}

std::vector<std::uint8_t> Reassembler::take() { return std::move(takeAll().first.bytes); }

Reassembler::Messages Reassembler::takeAll() {
    if (open_) close(Cut::ended);
    Messages messages;
    messages.strays = strays_;
    // Frames came, none of them began a message: the ECU answered, broken.
    if (messages_.empty() && strays_ > 0) messages.first.cut = Cut::stray;
    for (Message& message : messages_) {
        if (&message == &messages_.front()) {
            messages.first = std::move(message);
        } else if (!message.bytes.empty() || message.cutShort()) { // broken before its first byte, it still came
            messages.later.push_back(std::move(message));
        }
    }
    *this = Reassembler(framing_);
    return messages;
}

std::vector<std::uint8_t> reassemble(const std::vector<std::vector<std::uint8_t>>& frames) {
    Reassembler r;
    for (const auto& f : frames) r.add(f);
    return r.take();
}

} // namespace veq::ISOTP
