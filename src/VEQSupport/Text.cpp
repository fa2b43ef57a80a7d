#include "VEQSupport/Text.hpp"

namespace veq::text {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

void appendCodePoint(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

// Decodes one well-formed sequence at `i`; returns its length, or 0 when it is not well formed.
// Follows the Unicode "maximal subpart" rule: the caller replaces one byte and resumes.
std::size_t decodeOne(const unsigned char* p, std::size_t n, char32_t& cp) {
    const unsigned char b0 = p[0];
    if (b0 < 0x80) { cp = b0; return 1; }
    std::size_t len = 0;
    unsigned char lo = 0x80, hi = 0xBF;
    if (b0 >= 0xC2 && b0 <= 0xDF) { len = 2; cp = b0 & 0x1F; }
    else if (b0 >= 0xE0 && b0 <= 0xEF) {
        len = 3; cp = b0 & 0x0F;
        if (b0 == 0xE0) lo = 0xA0;
        if (b0 == 0xED) hi = 0x9F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        len = 4; cp = b0 & 0x07;
        if (b0 == 0xF0) lo = 0x90;
        if (b0 == 0xF4) hi = 0x8F;
    } else {
        return 0;
    }
    for (std::size_t k = 1; k < len; ++k) {
        if (k >= n) return 0;
        const unsigned char b = p[k];
        if (b < lo || b > hi) return 0;
        lo = 0x80; hi = 0xBF;
        cp = (cp << 6) | (b & 0x3F);
    }
    return len;
}

// Skips the maximal subpart of an ill-formed sequence so that it becomes one U+FFFD.
std::size_t invalidLength(const unsigned char* p, std::size_t n) {
    const unsigned char b0 = p[0];
    std::size_t len = 0;
    unsigned char lo = 0x80, hi = 0xBF;
    if (b0 >= 0xC2 && b0 <= 0xDF) len = 2;
    else if (b0 >= 0xE0 && b0 <= 0xEF) { len = 3; if (b0 == 0xE0) lo = 0xA0; if (b0 == 0xED) hi = 0x9F; }
    else if (b0 >= 0xF0 && b0 <= 0xF4) { len = 4; if (b0 == 0xF0) lo = 0x90; if (b0 == 0xF4) hi = 0x8F; }
    else return 1;
    std::size_t k = 1;
    for (; k < len && k < n; ++k) {
        if (p[k] < lo || p[k] > hi) break;
        lo = 0x80; hi = 0xBF;
    }
    return k;
}

} // namespace

std::string decodeUTF8Lossy(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
    std::size_t i = 0;
    while (i < n) {
        if (p[i] < 0x80) { out.push_back(static_cast<char>(p[i])); ++i; continue; }
        char32_t cp = 0;
        const std::size_t len = decodeOne(p + i, n - i, cp);
        if (len == 0) {
            out.append(kReplacement);
            i += invalidLength(p + i, n - i);
        } else {
            appendCodePoint(out, cp);
            i += len;
        }
    }
    return out;
}

std::string decodeUTF8Lossy(std::span<const std::uint8_t> bytes) {
    return decodeUTF8Lossy(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

bool isHorizontalSpace(char32_t c) {
    return c == 0x09 || c == 0x20 || c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) ||
           c == 0x202F || c == 0x205F || c == 0x3000;
}

namespace {

// Length of the horizontal space that starts at `i`, or 0.
std::size_t spaceAt(std::string_view s, std::size_t i) {
    char32_t cp = 0;
    const auto* p = reinterpret_cast<const unsigned char*>(s.data()) + i;
    const std::size_t len = decodeOne(p, s.size() - i, cp);
    return (len != 0 && isHorizontalSpace(cp)) ? len : 0;
}

// Length of the horizontal space that ends just before `end`, or 0.
std::size_t spaceBefore(std::string_view s, std::size_t end) {
    for (std::size_t len = 1; len <= 4 && len <= end; ++len) {
        const std::size_t start = end - len;
        const auto b = static_cast<unsigned char>(s[start]);
        if ((b & 0xC0) == 0x80) continue; // continuation byte: look further back
        return spaceAt(s, start) == len ? len : 0;
    }
    return 0;
}

} // namespace

std::string_view trimHorizontal(std::string_view s) {
    std::size_t begin = 0;
    while (begin < s.size()) {
        const std::size_t len = spaceAt(s, begin);
        if (len == 0) break;
        begin += len;
    }
    std::size_t end = s.size();
    while (end > begin) {
        const std::size_t len = spaceBefore(s, end);
        if (len == 0) break;
        end -= len;
    }
    return s.substr(begin, end - begin);
}

std::string_view trimSpacesAndTabs(std::string_view s) {
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

std::string toUpperASCII(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return out;
}

std::string compactUpper(std::string_view s) { return toUpperASCII(withoutBlanks(s)); }

std::string withoutBlanks(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (char c : s) {
        if (c != ' ' && c != '\t') out += c;
    }
    return out;
}

bool isHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

namespace {
constexpr char kHexDigits[] = "0123456789ABCDEF";

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}
} // namespace

std::string hexByte(std::uint8_t byte) {
    return std::string{kHexDigits[byte >> 4], kHexDigits[byte & 0x0F]};
}

std::string hexUpper(std::span<const std::uint8_t> bytes, std::string_view separator) {
    std::string out;
    out.reserve(bytes.size() * (2 + separator.size()));
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i != 0) out.append(separator);
        out.push_back(kHexDigits[bytes[i] >> 4]);
        out.push_back(kHexDigits[bytes[i] & 0x0F]);
    }
    return out;
}

bool parseHexBytes(std::string_view text, std::vector<std::uint8_t>& out) {
    out.clear();
    if (text.size() % 2 != 0) return false;
    out.reserve(text.size() / 2);
    for (std::size_t i = 0; i < text.size(); i += 2) {
        const int hi = hexValue(text[i]);
        const int lo = hexValue(text[i + 1]);
        if (hi < 0 || lo < 0) {
            out.clear();
            return false;
        }
        out.push_back(static_cast<std::uint8_t>(hi * 16 + lo));
    }
    return true;
}

std::vector<std::uint8_t> bytesOf(std::string_view s) {
    return {s.begin(), s.end()};
}

} // namespace veq::text
