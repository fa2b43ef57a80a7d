#include "VEQProtocol/ELM327Parser.hpp"

#include "VEQProtocol/ISOTP.hpp"
#include "VEQSupport/Text.hpp"

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace veq::ELM327Parser {

namespace {

constexpr std::string_view kSearching = "SEARCHING";

char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

int hexValue(char c) { return c <= '9' ? c - '0' : c - 'A' + 10; } // c is an upper-case hex digit

bool startsWithSearching(std::string_view line) {
    if (line.size() < kSearching.size()) return false;
    for (std::size_t i = 0; i < kSearching.size(); ++i) {
        if (upper(line[i]) != kSearching[i]) return false;
    }
    return true;
}

std::string_view trimDotsAndSpaces(std::string_view s) {
    const auto isTrim = [](char c) { return c == '.' || c == ' '; };
    while (!s.empty() && isTrim(s.front())) s.remove_prefix(1);
    while (!s.empty() && isTrim(s.back())) s.remove_suffix(1);
    return s;
}

// Removes the "SEARCHING" prefixes the adapter prints while it looks for the protocol.
std::string_view stripSearching(std::string_view line) {
    while (startsWithSearching(line)) line = trimDotsAndSpaces(line.substr(kSearching.size()));
    return line;
}

// A run of characters that lives on the stack while short, the usual case for adapter lines,
// so that parsing allocates nothing beyond the response itself.
template <class T, std::size_t N>
class Scratch {
public:
    void clear() { size_ = 0; }
    void push_back(T v) {
        if (size_ < N) {
            inline_[size_] = v;
        } else {
            if (size_ == N) heap_.assign(inline_.begin(), inline_.end());
            heap_.push_back(v);
        }
        ++size_;
    }
    const T* data() const { return size_ <= N ? inline_.data() : heap_.data(); }
    std::size_t size() const { return size_; }

private:
    std::array<T, N> inline_{};
    std::vector<T> heap_;
    std::size_t size_ = 0;
};

using Candidate = Scratch<char, 256>;

// `s` without spaces, upper-cased, into `out`; false when empty or any character is not hex.
bool compactHex(std::string_view s, Candidate& out) {
    out.clear();
    for (char c : s) {
        if (c == ' ') continue;
        c = upper(c);
        if (!text::isHexDigit(c)) return false;
        out.push_back(c);
    }
    return out.size() != 0;
}

struct Group {
    std::array<char, 8> key{};
    std::size_t keyLength = 0;
    ISOTP::Reassembler reassembler;

    std::string_view keyText() const { return {key.data(), keyLength}; }
};

// The responding ECUs of one reply: a handful at most, kept on the stack.
class Groups {
public:
    explicit Groups(ISOTP::Framing framing) : framing_(framing) {}

    Group& find(std::string_view key) {
        for (std::size_t i = 0; i < count_; ++i) {
            if (at(i).keyText() == key) return at(i);
        }
        if (count_ >= inline_.size()) overflow_.emplace_back();
        Group& g = at(count_++);
        // A line too short to carry a header is no CAN frame as printed with headers.
        const bool headerless = key.empty() && framing_ == ISOTP::Framing::controlBytes;
        g.reassembler = ISOTP::Reassembler(headerless ? ISOTP::Framing::firstFrameDecides : framing_);
        std::copy(key.begin(), key.end(), g.key.begin());
        g.keyLength = key.size();
        return g;
    }
    std::size_t size() const { return count_; }
    Group& at(std::size_t i) { return i < inline_.size() ? inline_[i] : overflow_[i - inline_.size()]; }

private:
    ISOTP::Framing framing_;
    std::array<Group, 4> inline_{};
    std::vector<Group> overflow_;
    std::size_t count_ = 0;
};

// `line` and `command` hold the same characters once blanks are removed and case is ignored.
bool isEcho(std::string_view line, std::string_view command) {
    const auto next = [](std::string_view s, std::size_t& i) {
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
        return i < s.size() ? upper(s[i++]) : '\0';
    };
    std::size_t i = 0, k = 0;
    for (;;) {
        const char a = next(line, i), b = next(command, k);
        if (a != b) return false;
        if (a == '\0') return true;
    }
}

} // namespace

ELM327Response parse(std::string_view text, FrameFormat format, std::string_view sentCommand) {
    if (text.find('\0') != std::string_view::npos) {
        std::string withoutNUL(text);
        std::erase(withoutNUL, '\0');
        return parse(std::string_view(withoutNUL), format, sentCommand);
    }
    ELM327Response response;
    const std::size_t prompt = text.find('>');
    response.promptTerminated = prompt != std::string_view::npos;
    if (response.promptTerminated) text = text.substr(0, prompt);

    // With headers on CAN every frame carries its control byte; without them the adapter removes
    // it, and prints a multi-frame message as its byte count ("014") and then numbered lines
    // ("0: ...") whose numbers are the sequence numbers; on CAN each other line is a single frame.
    const std::size_t width = format.headerWidth();
    ISOTP::Framing framing = ISOTP::Framing::firstFrameDecides;
    if (width != 0) framing = ISOTP::Framing::controlBytes;
    if (format == FrameFormat::canHeadersOff) framing = ISOTP::Framing::singleFrameLines;
    Groups groups(framing);
    Candidate candidate;
    Scratch<std::uint8_t, 128> frame;

    bool firstLine = true;
    std::size_t pos = 0;
    while (pos <= text.size()) {
        std::size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text::trimHorizontal(text.substr(pos, end - pos));
        pos = end + 1;
        if (line.empty()) continue;
        if (std::exchange(firstLine, false) && !sentCommand.empty() && isEcho(line, sentCommand)) continue;
        line = stripSearching(line);
        if (line.empty()) continue;

        response.lines.emplace_back(line);

        if (const auto error = detectELM327Error(line)) {
            if (!response.error) response.error = error;
            continue;
        }

        // Numbered lines ("0: 49 02 01 ...") carry their data after the colon.
        bool isHex = false;
        std::optional<std::uint8_t> lineNumber;
        if (const std::size_t colon = line.find(':'); colon != std::string_view::npos) {
            isHex = compactHex(line.substr(colon + 1), candidate);
            // The adapter numbers lines 0 to F; any other label follows no line.
            const std::string_view label = text::trimHorizontal(line.substr(0, colon));
            const bool oneDigit = label.size() == 1 && text::isHexDigit(upper(label[0]));
            if (isHex) lineNumber = static_cast<std::uint8_t>(oneDigit ? hexValue(upper(label[0])) : 0xFF);
        }
        if (!isHex) isHex = compactHex(line, candidate);
        if (!isHex) {
            response.text.emplace_back(line);
            continue;
        }

        std::string_view header;
        std::string_view data(candidate.data(), candidate.size());
        if (width != 0 && data.size() > width) {
            header = data.substr(0, width);
            data.remove_prefix(width);
        }
        if (data.size() % 2 != 0) { // never empty here: the candidate is longer than its header
            if (width == 0 && !lineNumber && data.size() == 3) {
                groups.find(header).reassembler.announce(
                    static_cast<std::size_t>(hexValue(data[0]) * 256 + hexValue(data[1]) * 16 + hexValue(data[2])));
            }
            response.text.emplace_back(line);
            continue;
        }
        frame.clear();
        for (std::size_t i = 0; i < data.size(); i += 2) {
            frame.push_back(static_cast<std::uint8_t>(hexValue(data[i]) * 16 + hexValue(data[i + 1])));
        }
        ISOTP::Reassembler& reassembler = groups.find(header).reassembler;
        if (width == 0 && lineNumber) {
            reassembler.addNumbered(*lineNumber, {frame.data(), frame.size()});
        } else {
            reassembler.add({frame.data(), frame.size()});
        }
    }

    for (std::size_t i = 0; i < groups.size(); ++i) {
        Group& g = groups.at(i);
        ISOTP::Reassembler::Messages messages = g.reassembler.takeAll();
        const std::string key(g.keyText());
        response.strayFrames.insert(response.strayFrames.end(), messages.strays, key);
        // A header whose frames formed no whole message still answered: it stays, cut short.
        if (messages.first.bytes.empty() && !messages.first.cutShort()) continue;
        std::optional<std::string> header;
        if (g.keyLength != 0) header = key;
        for (ISOTP::Message& later : messages.later) response.followUps.push_back({header, std::move(later.bytes), later.cut});
        response.ecus.push_back({std::move(header), std::move(messages.first.bytes), messages.first.cut});
    }
    return response;
}

ELM327Response parse(std::span<const std::uint8_t> data, FrameFormat format, std::string_view sentCommand) {
    const std::string_view raw(reinterpret_cast<const char*>(data.data()), data.size());
    const bool ascii = std::all_of(data.begin(), data.end(), [](std::uint8_t b) { return b < 0x80; });
    if (ascii) return parse(raw, format, sentCommand);
    const std::string decoded = text::decodeUTF8Lossy(data);
    return parse(std::string_view(decoded), format, sentCommand);
}

} // namespace veq::ELM327Parser
