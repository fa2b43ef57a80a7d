#include "VEQProtocol/ISOTP.hpp"

#include <algorithm>
#include <utility>

namespace veq::ISOTP {

namespace {

constexpr std::uint8_t kSingle = 0x0, kFirst = 0x1, kConsecutive = 0x2;

std::uint8_t nibble(std::span<const std::uint8_t> frame) { return frame[0] >> 4; }

std::size_t announcedLength(std::span<const std::uint8_t> frame) {
    return (static_cast<std::size_t>(frame[0] & 0x0F) << 8) | frame[1];
}

} // namespace

void Reassembler::add(std::span<const std::uint8_t> frame) {
    switch (mode_) {
    case Mode::none:
        if (frame.empty() || (nibble(frame) == kFirst && frame.size() < 2)) {
            mode_ = Mode::unreadable; // nothing can be read from what follows
        } else if (nibble(frame) == kFirst || nibble(frame) == kSingle) {
            mode_ = Mode::isotp;
            begin(frame);
        } else {
            mode_ = Mode::raw;
            messages_.push_back(Message{{frame.begin(), frame.end()}});
        }
        break;
    case Mode::isotp: follow(frame); break;
    case Mode::raw: messages_.back().bytes.insert(messages_.back().bytes.end(), frame.begin(), frame.end()); break;
    case Mode::unreadable: break;
    }
}

void Reassembler::follow(std::span<const std::uint8_t> frame) {
    if (frame.empty()) return;
    const std::uint8_t kind = nibble(frame);
    if (kind == kSingle || kind == kFirst) {
        begin(frame);
        return;
    }
    if (kind != kConsecutive || !open_) return;
    if ((frame[0] & 0x0F) != nextSequence_) {
        close(Cut::outOfSequence);
        return;
    }
    nextSequence_ = (nextSequence_ + 1) & 0x0F;
    std::vector<std::uint8_t>& bytes = messages_.back().bytes;
    bytes.insert(bytes.end(), frame.begin() + 1, frame.end());
    if (bytes.size() >= announced_) close(Cut::none);
}

void Reassembler::begin(std::span<const std::uint8_t> frame) {
    if (open_) close(Cut::interrupted);
    if (nibble(frame) == kSingle) {
        const std::size_t length = std::min<std::size_t>(frame[0] & 0x0F, frame.size() - 1);
        messages_.push_back(Message{{frame.begin() + 1, frame.begin() + 1 + static_cast<std::ptrdiff_t>(length)}});
        return;
    }
    if (frame.size() < 2) return; // a first frame without its length begins nothing readable
    announced_ = announcedLength(frame);
    messages_.push_back(Message{{frame.begin() + 2, frame.end()}});
    open_ = true;
    nextSequence_ = 1;
    if (messages_.back().bytes.size() >= announced_) close(Cut::none);
}

void Reassembler::close(Cut cut) {
    open_ = false;
    Message& message = messages_.back();
    if (message.bytes.size() >= announced_) {
        message.bytes.resize(announced_);
    } else {
        message.cut = cut;
    }
}

std::vector<std::uint8_t> Reassembler::take() { return std::move(takeAll().first.bytes); }

Reassembler::Messages Reassembler::takeAll() {
    if (open_) close(Cut::ended);
    Messages messages;
    for (Message& message : messages_) {
        if (&message == &messages_.front()) {
            messages.first = std::move(message);
        } else if (!message.bytes.empty()) {
            messages.later.push_back(std::move(message));
        }
    }
    messages_.clear();
    mode_ = Mode::none;
    announced_ = 0;
    return messages;
}

std::vector<std::uint8_t> reassemble(const std::vector<std::vector<std::uint8_t>>& frames) {
    Reassembler r;
    for (const auto& f : frames) r.add(f);
    return r.take();
}

} // namespace veq::ISOTP
