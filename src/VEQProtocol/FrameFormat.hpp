#pragma once

#include <cstddef>

namespace veq {

// The header layout of reply lines.
struct FrameFormat {
    // `noneOnCAN`: no header either, on a CAN protocol: each line outside a counted message (a
    // count line and numbered lines) is a single frame, a message of its own.
    enum class Header { none, elevenBit, twentyNineBit, noneOnCAN };

    Header header = Header::none;

    // Characters of header text at the start of each data line: 0, 3 or 8.
    constexpr std::size_t headerWidth() const {
        switch (header) {
        case Header::none:
        case Header::noneOnCAN: return 0;
        case Header::elevenBit: return 3;
        case Header::twentyNineBit: return 8;
        }
        return 0;
    }

    bool operator==(const FrameFormat&) const = default;

    static const FrameFormat headersOff;
    static const FrameFormat can11;
    static const FrameFormat can29;
    static const FrameFormat canHeadersOff;
};

inline const FrameFormat FrameFormat::headersOff{FrameFormat::Header::none};
inline const FrameFormat FrameFormat::can11{FrameFormat::Header::elevenBit};
inline const FrameFormat FrameFormat::can29{FrameFormat::Header::twentyNineBit};
inline const FrameFormat FrameFormat::canHeadersOff{FrameFormat::Header::noneOnCAN};

} // namespace veq
