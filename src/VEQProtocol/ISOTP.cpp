#include "VEQProtocol/ISOTP.hpp"

#include <algorithm>

namespace veq::ISOTP {

namespace {

constexpr std::uint8_t kSingle = 0x0, kFirst = 0x1, kConsecutive = 0x2;

std::uint8_t nibble(std::span<const std::uint8_t> frame) { return frame[0] >> 4; }

std::size_t announcedLength(std::span<const std::uint8_t> frame) {
    return (static_cast<std::size_t>(frame[0] & 0x0F) << 8) | frame[1];
}

} // namespace

void Reassembler::add(std::span<const std::uint8_t> frame) {
    switch (kind_) {
    case Kind::none:
        if (frame.empty() || (nibble(frame) == kFirst && frame.size() < 2)) {
            kind_ = Kind::empty; // nothing can be read from what follows
        } else if (nibble(frame) == kFirst) {
            kind_ = Kind::multi;
            announced_ = announcedLength(frame);
            message_.reserve(announced_);
            message_.insert(message_.end(), frame.begin() + 2, frame.end());
        } else if (nibble(frame) == kSingle) {
            kind_ = Kind::single;
            const std::size_t length = std::min<std::size_t>(frame[0] & 0x0F, frame.size() - 1);
            message_.assign(frame.begin() + 1, frame.begin() + 1 + static_cast<std::ptrdiff_t>(length));
        } else {
            kind_ = Kind::raw;
            message_.assign(frame.begin(), frame.end());
        }
        break;
    case Kind::multi:
        if (firstIsComplete()) {
            follow(frame);
        } else if (!frame.empty() && nibble(frame) == kConsecutive) {
            message_.insert(message_.end(), frame.begin() + 1, frame.end());
        }
        break;
    case Kind::single:
        follow(frame);
        break;
    case Kind::raw:
        message_.insert(message_.end(), frame.begin(), frame.end());
        break;
    case Kind::empty:
        break;
    }
}

bool Reassembler::firstIsComplete() const {
    return kind_ == Kind::single || (kind_ == Kind::multi && message_.size() >= announced_);
}

// A frame after a complete first message: a single frame is a message of its own, a first frame
// starts one that its consecutive frames complete; anything else belongs to no message.
void Reassembler::follow(std::span<const std::uint8_t> frame) {
    if (frame.empty()) return;
    const std::uint8_t kind = nibble(frame);
    if (kind == kConsecutive) {
        if (!laterOpen_) return;
        later_.back().insert(later_.back().end(), frame.begin() + 1, frame.end());
        if (later_.back().size() >= laterAnnounced_) closeLater();
        return;
    }
    if (kind != kSingle && kind != kFirst) return;
    if (laterOpen_) later_.pop_back(); // given up for a new message: never completed
    laterOpen_ = false;
    if (kind == kSingle) {
        laterAnnounced_ = std::min<std::size_t>(frame[0] & 0x0F, frame.size() - 1);
        later_.emplace_back(frame.begin() + 1, frame.end());
        closeLater();
    } else if (frame.size() >= 2) {
        laterAnnounced_ = announcedLength(frame);
        later_.emplace_back(frame.begin() + 2, frame.end());
        laterOpen_ = true;
        if (later_.back().size() >= laterAnnounced_) closeLater();
    }
}

void Reassembler::closeLater() {
    laterOpen_ = false;
    std::vector<std::uint8_t>& message = later_.back();
    if (message.size() > laterAnnounced_) message.resize(laterAnnounced_);
    if (message.empty()) later_.pop_back();
}

std::vector<std::uint8_t> Reassembler::take() { return takeAll().first; }

Reassembler::Messages Reassembler::takeAll() {
    if (kind_ == Kind::multi && message_.size() > announced_) message_.resize(announced_);
    if (laterOpen_) later_.pop_back(); // only complete messages count
    const bool cutShort = kind_ == Kind::multi && message_.size() < announced_;
    Messages messages{std::move(message_), std::move(later_), cutShort};
    message_.clear();
    later_.clear();
    laterOpen_ = false;
    kind_ = Kind::none;
    announced_ = 0;
    return messages;
}

std::vector<std::uint8_t> reassemble(const std::vector<std::vector<std::uint8_t>>& frames) {
    Reassembler r;
    for (const auto& f : frames) r.add(f);
    return r.take();
}

} // namespace veq::ISOTP
