#include "VEQProtocol/UnicodeText.hpp"

#include "VEQSupport/Text.hpp"

#include <unicode/brkiter.h>
#include <unicode/locid.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <memory>

namespace veq::unicode {

namespace {

bool isASCII(std::string_view s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

icu::UnicodeString toICU(std::string_view utf8) {
    return icu::UnicodeString::fromUTF8(icu::StringPiece(utf8.data(), static_cast<std::int32_t>(utf8.size())));
}

std::string slice(const icu::UnicodeString& text, std::int32_t start, std::int32_t end) {
    std::string piece;
    text.tempSubStringBetween(start, end).toUTF8String(piece);
    return piece;
}

} // namespace

std::vector<std::string> characters(std::string_view utf8) {
    std::vector<std::string> out;
    if (isASCII(utf8)) {
        for (char c : utf8) {
            if (c == '\n' && !out.empty() && out.back() == "\r") out.back().push_back(c); // CR LF is one character
            else out.emplace_back(1, c);
        }
        return out;
    }
    const icu::UnicodeString text = toICU(utf8);
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> it(icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    if (U_FAILURE(status) || !it) { // no break data installed: code points are the next best unit
        for (std::int32_t i = 0; i < text.length(); i = text.moveIndex32(i, 1)) {
            out.push_back(slice(text, i, text.moveIndex32(i, 1)));
        }
        return out;
    }
    it->setText(text);
    for (std::int32_t start = it->first(), end = it->next(); end != icu::BreakIterator::DONE;
         start = end, end = it->next()) {
        out.push_back(slice(text, start, end));
    }
    return out;
}

std::string upperCased(std::string_view utf8) {
    if (isASCII(utf8)) return text::toUpperASCII(utf8);
    icu::UnicodeString text = toICU(utf8);
    std::string out;
    text.toUpper(icu::Locale::getRoot()).toUTF8String(out);
    return out;
}

} // namespace veq::unicode
