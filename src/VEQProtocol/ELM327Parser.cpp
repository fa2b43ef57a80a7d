#include "VEQProtocol/ELM327Parser.hpp"

#include "VEQProtocol/ISOTP.hpp"
#include "VEQSupport/Text.hpp"

#include <algorithm>
#include <string>
#include <vector>

namespace veq::ELM327Parser {

namespace {

constexpr std::string_view kSearching = "SEARCHING";

bool startsWithSearching(std::string_view line) {
    if (line.size() < kSearching.size()) return false;
    for (std::size_t i = 0; i < kSearching.size(); ++i) {
        char c = line[i];
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (c != kSearching[i]) return false;
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

// `s` without spaces, upper-cased, into `out`; false when empty or any character is not hex.
bool compactHex(std::string_view s, std::string& out) {
    out.clear();
    for (char c : s) {
        if (c == ' ') continue;
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        out.push_back(c);
    }
    if (out.empty()) return false;
    return std::all_of(out.begin(), out.end(), text::isHexDigit);
}

struct Group {
    std::string key;
    std::vector<std::vector<std::uint8_t>> frames;
};

} // namespace

ELM327Response parse(std::string_view text, FrameFormat format) {
    ELM327Response response;
    const std::size_t prompt = text.find('>');
    response.promptTerminated = prompt != std::string_view::npos;
    if (response.promptTerminated) text = text.substr(0, prompt);

    std::vector<Group> groups;
    std::string candidate;
    std::vector<std::uint8_t> bytes;
    const std::size_t width = format.headerWidth();

    std::size_t pos = 0;
    while (pos <= text.size()) {
        std::size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text::trimHorizontal(text.substr(pos, end - pos));
        pos = end + 1;
        if (line.empty()) continue;
        line = stripSearching(line);
        if (line.empty()) continue;

        response.lines.emplace_back(line);

        if (const auto error = detectELM327Error(line)) {
            if (!response.error) response.error = error;
            continue;
        }

        // Numbered lines ("0: 49 02 01 ...") carry their data after the colon.
        bool isHex = false;
        if (const std::size_t colon = line.find(':'); colon != std::string_view::npos) {
            isHex = compactHex(line.substr(colon + 1), candidate);
        }
        if (!isHex) isHex = compactHex(line, candidate);
        if (!isHex) {
            response.text.emplace_back(line);
            continue;
        }

        std::string_view header;
        std::string_view data = candidate;
        if (width != 0 && candidate.size() > width) {
            header = data.substr(0, width);
            data.remove_prefix(width);
        }
        if (!text::parseHexBytes(data, bytes) || bytes.empty()) {
            response.text.emplace_back(line);
            continue;
        }
        auto group = std::find_if(groups.begin(), groups.end(), [&](const Group& g) { return g.key == header; });
        if (group == groups.end()) {
            groups.push_back(Group{std::string(header), {}});
            group = std::prev(groups.end());
        }
        group->frames.push_back(std::move(bytes));
        bytes = {};
    }

    response.ecus.reserve(groups.size());
    for (Group& g : groups) {
        std::vector<std::uint8_t> message = ISOTP::reassemble(g.frames);
        if (message.empty()) continue;
        ECUResponse ecu;
        if (!g.key.empty()) ecu.header = std::move(g.key);
        ecu.payload = std::move(message);
        response.ecus.push_back(std::move(ecu));
    }
    return response;
}

ELM327Response parse(std::span<const std::uint8_t> data, FrameFormat format) {
    const std::string_view raw(reinterpret_cast<const char*>(data.data()), data.size());
    const bool ascii = std::all_of(data.begin(), data.end(), [](std::uint8_t b) { return b < 0x80; });
    if (ascii) return parse(raw, format);
    const std::string decoded = text::decodeUTF8Lossy(data);
    return parse(std::string_view(decoded), format);
}

} // namespace veq::ELM327Parser
