#include "VEQUI/Model/MonitorLine.hpp"

#include "VEQEngine/UDS/ProtocolSweep.hpp"
#include "VEQSupport/Text.hpp"

#include <algorithm>

namespace veq {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// Walks the pieces of a line without copying them.
class Pieces {
public:
    explicit Pieces(std::string_view line) : line_(line) {}

    std::optional<std::string_view> next() {
        while (at_ < line_.size() && isBlank(line_[at_])) ++at_;
        if (at_ == line_.size()) return std::nullopt;
        const std::size_t start = at_;
        while (at_ < line_.size() && !isBlank(line_[at_])) ++at_;
        return line_.substr(start, at_ - start);
    }

private:
    std::string_view line_;
    std::size_t at_ = 0;
};

bool allHex(std::string_view piece) { return !piece.empty() && std::all_of(piece.begin(), piece.end(), text::isHexDigit); }

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return c - 'A' + 10;
}

// 0 to FF, leading zeros allowed.
std::optional<std::uint8_t> byteValue(std::string_view piece) {
    if (!allHex(piece)) return std::nullopt;
    while (piece.size() > 1 && piece.front() == '0') piece.remove_prefix(1);
    if (piece.size() > 2) return std::nullopt;
    int value = 0;
    for (char c : piece) value = value * 16 + hexValue(c);
    return static_cast<std::uint8_t>(value);
}

void appendUpper(std::string& out, std::string_view piece) {
    for (char c : piece) out.push_back((c >= 'a' && c <= 'f') ? static_cast<char>(c - 'a' + 'A') : c);
}

} // namespace

std::optional<MonitorFrame> MonitorFrame::parse(std::string_view line, Date at) {
    Pieces pieces(line);
    const std::optional<std::string_view> first = pieces.next();
    if (!first) return std::nullopt;

    MonitorFrame frame;
    frame.at = at;
    std::optional<std::string_view> piece = pieces.next();
    if ((first->size() == 3 || first->size() == 8) && allHex(*first)) {
        appendUpper(frame.id, *first);
    } else {
        // A 29-bit header printed as four spaced bytes.
        std::string_view header[4] = {*first, {}, {}, {}};
        for (int i = 1; i < 4; ++i) {
            if (!piece) return std::nullopt;
            header[i] = *piece;
            piece = pieces.next();
        }
        for (std::string_view part : header) {
            if (part.size() != 2 || !allHex(part)) return std::nullopt;
            appendUpper(frame.id, part);
        }
    }

    for (; piece && frame.size < maxDataBytes; piece = pieces.next()) {
        if (const std::optional<std::uint8_t> byte = byteValue(*piece)) frame.bytes[frame.size++] = *byte;
    }
    if (frame.size == 0 || !ProtocolSweep::identifierInRange(frame.id)) return std::nullopt;
    return frame;
}

} // namespace veq
