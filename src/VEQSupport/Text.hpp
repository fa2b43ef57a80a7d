#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace veq::text {

// Decodes UTF-8, replacing every invalid or truncated sequence with U+FFFD; never fails.
std::string decodeUTF8Lossy(std::span<const std::uint8_t> bytes);
std::string decodeUTF8Lossy(std::string_view bytes);

// True for a code point of Unicode category Zs (space separators) or a horizontal tab.
bool isHorizontalSpace(char32_t codePoint);

// Trims horizontal white space (tab and every Unicode space separator, never line breaks)
// from both ends of valid UTF-8 text.
std::string_view trimHorizontal(std::string_view utf8);
// Trims only ASCII spaces and tabs from both ends.
std::string_view trimSpacesAndTabs(std::string_view s);

// ASCII-only case mapping: protocol words are ASCII, so the locale must never interfere.
std::string toUpperASCII(std::string_view s);
// The text without its spaces and tabs, as an adapter reads a command ("AT SH 7E0").
std::string withoutBlanks(std::string_view s);
// A command as the adapter reads it: without blanks, in capitals ("at sh 7e0" is "ATSH7E0").
std::string compactUpper(std::string_view s);
bool isHexDigit(char c);

// "%02X" for one byte, and for a run of bytes joined by `separator` (none by default).
std::string hexByte(std::uint8_t byte);
std::string hexUpper(std::span<const std::uint8_t> bytes, std::string_view separator = {});

// Reads an even-length run of hexadecimal digits (either case) as bytes; nothing on any
// odd length or non-hexadecimal character. An empty text gives an empty array.
bool parseHexBytes(std::string_view text, std::vector<std::uint8_t>& out);

// Byte-wise conversions between text and the bytes that carry it.
std::vector<std::uint8_t> bytesOf(std::string_view s);

} // namespace veq::text
