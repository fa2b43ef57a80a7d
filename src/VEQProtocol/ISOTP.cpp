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
    switch (nibble(frame)) {
    case kSingle: {
        pending_.reset();
        const std::size_t length = std::min<std::size_t>(frame[0] & 0x0F, frame.size() - 1);
        finishLater({frame.begin() + 1, frame.begin() + 1 + static_cast<std::ptrdiff_t>(length)}, length);
        break;
    }
    case kFirst:
        pending_.reset();
        if (frame.size() < 2) break;
        pending_ = Pending{announcedLength(frame), {frame.begin() + 2, frame.end()}};
        if (pending_->message.size() >= pending_->announced) {
            finishLater(std::move(pending_->message), pending_->announced);
            pending_.reset();
        }
        break;
    case kConsecutive:
        if (!pending_) break;
        pending_->message.insert(pending_->message.end(), frame.begin() + 1, frame.end());
        if (pending_->message.size() >= pending_->announced) {
            finishLater(std::move(pending_->message), pending_->announced);
            pending_.reset();
        }
        break;
    default: break;
    }
}

void Reassembler::finishLater(std::vector<std::uint8_t> message, std::size_t announced) {
    if (message.size() > announced) message.resize(announced);
    if (!message.empty()) later_.push_back(std::move(message));
}

std::vector<std::uint8_t> Reassembler::take() { return takeAll().first; }

Reassembler::Messages Reassembler::takeAll() {
    if (kind_ == Kind::multi && message_.size() > announced_) message_.resize(announced_);
    Messages messages{std::move(message_), std::move(later_)};
    message_.clear();
    later_.clear();
    pending_.reset();
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
