#include "VEQTransport/TransportTrace.hpp"

#include "VEQSupport/Text.hpp"

#include <cerrno>
#include <cstdlib>
#include <unistd.h>

namespace veq {

bool veqTraceEnabled() {
    static const bool enabled = std::getenv("VEQ_TRACE") != nullptr;
    return enabled;
}

void writeToStandardError(std::string_view text) {
    const char* p = text.data();
    std::size_t left = text.size();
    while (left > 0) {
        const ssize_t written = ::write(STDERR_FILENO, p, left);
        if (written < 0) {
            if (errno == EINTR) continue;
            return;
        }
        p += written;
        left -= static_cast<std::size_t>(written);
    }
}

std::string veqHexAscii(std::span<const std::uint8_t> data) {
    constexpr std::string_view returnSymbol = "\xE2\x8F\x8E";   // U+23CE
    constexpr std::string_view lineFeedSymbol = "\xE2\x90\x8A"; // U+240A
    const std::string decoded = text::decodeUTF8Lossy(data);
    std::string out = "\"";
    out.reserve(decoded.size() + data.size() * 3 + 8);
    for (char c : decoded) {
        if (c == '\r') out += returnSymbol;
        else if (c == '\n') out += lineFeedSymbol;
        else out += c;
    }
    out += "\" [";
    out += text::hexUpper(data, " ");
    out += ']';
    return out;
}

} // namespace veq
