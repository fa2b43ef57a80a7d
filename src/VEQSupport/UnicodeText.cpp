#include "VEQSupport/UnicodeText.hpp"

#include "VEQSupport/Text.hpp"

#include <unicode/brkiter.h>
#include <unicode/locid.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utext.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <cstdint>
#include <memory>

namespace veq::unicode {

namespace {

bool isASCII(std::string_view s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

struct UTextCloser {
    void operator()(UText* t) const { utext_close(t); }
};

// One slice per code point: used only when ICU cannot build a break iterator.
std::vector<std::string_view> codePoints(std::string_view utf8) {
    std::vector<std::string_view> out;
    const auto* p = reinterpret_cast<const std::uint8_t*>(utf8.data());
    const auto n = static_cast<std::int64_t>(utf8.size());
    std::int64_t i = 0;
    while (i < n) {
        const std::int64_t start = i;
        UChar32 c = 0;
        U8_NEXT(p, i, n, c);
        (void)c;
        out.push_back(utf8.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(i - start)));
    }
    return out;
}

icu::UnicodeString toICU(std::string_view utf8) {
    return icu::UnicodeString::fromUTF8(icu::StringPiece(utf8.data(), static_cast<std::int32_t>(utf8.size())));
}

} // namespace

std::vector<std::string_view> characters(std::string_view utf8) {
    if (utf8.empty()) return {};
    if (isASCII(utf8)) {
        std::vector<std::string_view> out;
        out.reserve(utf8.size());
        for (std::size_t i = 0; i < utf8.size(); ++i) {
            const bool crlf = utf8[i] == '\r' && i + 1 < utf8.size() && utf8[i + 1] == '\n'; // one character
            out.push_back(utf8.substr(i, crlf ? 2 : 1));
            if (crlf) ++i;
        }
        return out;
    }
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<UText, UTextCloser> text(
        utext_openUTF8(nullptr, utf8.data(), static_cast<std::int64_t>(utf8.size()), &status));
    std::unique_ptr<icu::BreakIterator> breaks(
        icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    if (U_FAILURE(status) || !text || !breaks) return codePoints(utf8);
    breaks->setText(text.get(), status);
    if (U_FAILURE(status)) return codePoints(utf8);

    std::vector<std::string_view> out;
    std::int32_t start = breaks->first();
    for (std::int32_t end = breaks->next(); end != icu::BreakIterator::DONE; start = end, end = breaks->next()) {
        out.push_back(utf8.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start)));
    }
    return out;
}

bool isNumeric(std::string_view character) {
    if (character.empty()) return false;
    const auto* p = reinterpret_cast<const std::uint8_t*>(character.data());
    const auto n = static_cast<std::int64_t>(character.size());
    std::int64_t i = 0;
    UChar32 c = 0;
    U8_NEXT(p, i, n, c);
    if (c < 0) return false;
    return u_getIntPropertyValue(c, UCHAR_NUMERIC_TYPE) != U_NT_NONE;
}

bool isDefaultIgnorable(char32_t c) {
    return u_hasBinaryProperty(static_cast<UChar32>(c), UCHAR_DEFAULT_IGNORABLE_CODE_POINT) != 0;
}

std::string upperCased(std::string_view utf8) {
    if (isASCII(utf8)) return text::toUpperASCII(utf8);
    std::string out;
    toICU(utf8).toUpper(icu::Locale::getRoot()).toUTF8String(out);
    return out;
}

std::string lowercased(std::string_view utf8) {
    if (isASCII(utf8)) {
        std::string out(utf8);
        for (char& c : out) {
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        }
        return out;
    }
    std::string out;
    toICU(utf8).toLower(icu::Locale::getRoot()).toUTF8String(out);
    return out;
}

} // namespace veq::unicode
