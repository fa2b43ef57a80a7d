#include "VEQProtocol/ISOTP.hpp"

#include <algorithm>

namespace veq::ISOTP {

std::vector<std::uint8_t> reassemble(const std::vector<std::vector<std::uint8_t>>& frames) {
    if (frames.empty() || frames.front().empty()) return {};
    const auto& first = frames.front();
    const unsigned pci = first[0] >> 4;

    if (pci == 0x1) { // first frame: 12-bit length, then consecutive frames
        if (first.size() < 2) return {};
        const std::size_t announced = (static_cast<std::size_t>(first[0] & 0x0F) << 8) | first[1];
        std::vector<std::uint8_t> message;
        message.reserve(announced);
        message.insert(message.end(), first.begin() + 2, first.end());
        for (std::size_t i = 1; i < frames.size() && message.size() < announced; ++i) {
            const auto& f = frames[i];
            if (f.empty() || (f[0] >> 4) != 0x2) continue; // sequence numbers are not checked
            message.insert(message.end(), f.begin() + 1, f.end());
        }
        if (message.size() > announced) message.resize(announced);
        return message;
    }
    if (pci == 0x0) { // single frame; later frames are ignored
        const std::size_t length = std::min<std::size_t>(first[0] & 0x0F, first.size() - 1);
        return {first.begin() + 1, first.begin() + 1 + static_cast<std::ptrdiff_t>(length)};
    }
    // The adapter already removed the control byte, or the protocol is not ISO-TP.
    if (frames.size() == 1) return first;
    std::vector<std::uint8_t> message;
    for (const auto& f : frames) message.insert(message.end(), f.begin(), f.end());
    return message;
}

} // namespace veq::ISOTP
