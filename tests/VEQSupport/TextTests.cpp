#include "VEQSupport/Text.hpp"
#include "VEQSupport/UnicodeText.hpp"

#include <gtest/gtest.h>

using namespace veq::text;

TEST(TextTests, DecodeUTF8ReplacesEveryInvalidSequence) {
    struct Case { std::string input; std::string expected; };
    const Case cases[] = {
        {"41 0C", "41 0C"},
        {"caf\xC3\xA9", "caf\xC3\xA9"},
        {"a\xFF" "b", "a\xEF\xBF\xBD" "b"},
        {"\xC3", "\xEF\xBF\xBD"},                                // truncated at the end
        {"\xE2\x82", "\xEF\xBF\xBD"},                            // truncated three-byte sequence: one mark
        {"\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"}, // surrogate: each byte replaced
        {"\xC0\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD"},                // overlong form
        {"\xF0\x9F\x9A\x97", "\xF0\x9F\x9A\x97"},                // a four-byte character stays
    };
    for (const auto& c : cases) EXPECT_EQ(decodeUTF8Lossy(std::string_view(c.input)), c.expected) << c.input;
}

TEST(TextTests, TrimHorizontalKeepsLineBreaksAndInnerSpaces) {
    EXPECT_EQ(trimHorizontal(" \t41 0C\t "), "41 0C");
    EXPECT_EQ(trimHorizontal("\xC2\xA0" "OK" "\xE2\x80\x83"), "OK"); // no-break space, em space
    EXPECT_EQ(trimHorizontal("\xE3\x80\x80" "x"), "x");             // ideographic space
    EXPECT_EQ(trimHorizontal("\nOK\r"), "\nOK\r");
    EXPECT_EQ(trimHorizontal("   "), "");
    EXPECT_EQ(trimHorizontal("\xC3\xA9"), "\xC3\xA9"); // a letter ending in a continuation byte
    // The ASCII trim leaves a no-break space where it is.
    EXPECT_EQ(trimSpacesAndTabs(" \t\xC2\xA0" "a b\t "), "\xC2\xA0" "a b");
    EXPECT_EQ(trimSpacesAndTabs(" \t "), "");
}

TEST(TextTests, HexFormattingAndParsing) {
    const std::vector<std::uint8_t> bytes{0x00, 0x0A, 0xFF, 0x7E};
    EXPECT_EQ(hexUpper(bytes), "000AFF7E");
    EXPECT_EQ(hexUpper(bytes, " "), "00 0A FF 7E");
    EXPECT_EQ(hexByte(0xAB), "AB");

    std::vector<std::uint8_t> out;
    EXPECT_TRUE(parseHexBytes("000aFF7E", out));
    EXPECT_EQ(out, bytes);
    EXPECT_TRUE(parseHexBytes("", out));
    EXPECT_TRUE(out.empty());
    EXPECT_FALSE(parseHexBytes("ABC", out));
    EXPECT_FALSE(parseHexBytes("0G", out));
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(toUpperASCII("no data \xC3\xA9"), "NO DATA \xC3\xA9");
}

TEST(TextTests, DefaultIgnorableCodePointsAreThoseDrawnAsNothing) {
    struct Case { char32_t c; bool ignorable; };
    static const Case cases[] = {
        {U'\u200B', true},  {U'\u00AD', true},  {U'\u200D', true}, {U'\uFE0F', true}, // zero width, soft hyphen, joiner, selector
        {U'a', false},       {U'\u00E9', false}, {U'\u2014', false}, {U' ', false},
    };
    for (const auto& c : cases) EXPECT_EQ(veq::unicode::isDefaultIgnorable(c.c), c.ignorable) << static_cast<unsigned>(c.c);
}
