#include "VEQProtocol/ISOTP.hpp"

#include <algorithm>

namespace veq::ISOTP {

void Reassembler::add(std::span<const std::uint8_t> frame) {
    switch (kind_) {
    case Kind::none:
        if (frame.empty() || ((frame[0] >> 4) == 0x1 && frame.size() < 2)) {
            kind_ = Kind::empty; // nothing can be read from what follows
        } else if ((frame[0] >> 4) == 0x1) {
            kind_ = Kind::multi;
            announced_ = (static_cast<std::size_t>(frame[0] & 0x0F) << 8) | frame[1];
            message_.reserve(announced_);
            message_.insert(message_.end(), frame.begin() + 2, frame.end());
        } else if ((frame[0] >> 4) == 0x0) {
            kind_ = Kind::single;
            const std::size_t length = std::min<std::size_t>(frame[0] & 0x0F, frame.size() - 1);
            message_.assign(frame.begin() + 1, frame.begin() + 1 + static_cast<std::ptrdiff_t>(length));
        } else {
            kind_ = Kind::raw;
            message_.assign(frame.begin(), frame.end());
        }
        break;
    case Kind::multi:
        if (!frame.empty() && (frame[0] >> 4) == 0x2 && message_.size() < announced_) {
            message_.insert(message_.end(), frame.begin() + 1, frame.end());
        }
        break;
    case Kind::raw:
        message_.insert(message_.end(), frame.begin(), frame.end());
        break;
    case Kind::empty:
    case Kind::single:
        break;
    }
}

std::vector<std::uint8_t> Reassembler::take() {
    if (kind_ == Kind::multi && message_.size() > announced_) message_.resize(announced_);
    std::vector<std::uint8_t> message = std::move(message_);
    message_.clear();
    kind_ = Kind::none;
    announced_ = 0;
    return message;
}

std::vector<std::uint8_t> reassemble(const std::vector<std::vector<std::uint8_t>>& frames) {
    Reassembler r;
    for (const auto& f : frames) r.add(f);
    return r.take();
}

} // namespace veq::ISOTP
