#include "VEQVehicle/UnicodeText.hpp"

#include <unicode/brkiter.h>
#include <unicode/locid.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utext.h>
#include <unicode/utf8.h>

#include <cstdint>
#include <memory>

namespace veq::unicodetext {

namespace {

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

} // namespace

std::vector<std::string_view> characters(std::string_view utf8) {
    if (utf8.empty()) return {};
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

std::string lowercased(std::string_view utf8) {
    std::string out;
    icu::UnicodeString::fromUTF8(icu::StringPiece(utf8.data(), static_cast<std::int32_t>(utf8.size())))
        .toLower(icu::Locale::getRoot())
        .toUTF8String(out);
    return out;
}

} // namespace veq::unicodetext
