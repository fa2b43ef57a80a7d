#include "VEQTransport/BLEUUID.hpp"

#include "VEQSupport/Text.hpp"

#include <algorithm>

namespace veq {

namespace {

constexpr std::string_view baseSuffix = "-0000-1000-8000-00805F9B34FB";

bool allHex(std::string_view s) { return std::all_of(s.begin(), s.end(), text::isHexDigit); }

bool isLongForm(std::string_view s) {
    if (s.size() != 36) return false;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash ? s[i] != '-' : !text::isHexDigit(s[i])) return false;
    }
    return true;
}

// A 32-bit identifier whose upper half is zero is a 16-bit one.
std::string shortForm(std::string_view eightDigits) {
    if (eightDigits.starts_with("0000")) eightDigits.remove_prefix(4);
    return std::string(eightDigits);
}

} // namespace

std::optional<std::string> normalizedBLEUUID(std::string_view text) {
    if (text.size() >= 2 && text.front() == '{' && text.back() == '}') text = text.substr(1, text.size() - 2);
    const std::string upper = text::toUpperASCII(text);
    if ((upper.size() == 4 || upper.size() == 8) && allHex(upper)) return shortForm(upper);
    if (!isLongForm(upper)) return std::nullopt;
    if (std::string_view(upper).substr(8) == baseSuffix) return shortForm(std::string_view(upper).substr(0, 8));
    return upper;
}

} // namespace veq
