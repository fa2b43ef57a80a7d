#pragma once

#include <string>
#include <string_view>
#include <vector>

// Character-level text operations for codes that users and files carry (trouble codes, VINs,
// chassis codes, part numbers): their lengths and positions count user-perceived characters,
// not bytes, and case mapping follows Unicode, never the process locale.
namespace veq::unicode {

// The extended grapheme clusters of UTF-8 text, in order, as slices of it (the text must
// outlive them). An ill-formed byte sequence stays a slice of its own bytes.
std::vector<std::string_view> characters(std::string_view utf8);

// True when the first code point of the character has a Unicode numeric type: decimal
// digits, and also other numerals such as superscript digits or Roman numerals.
bool isNumeric(std::string_view character);

// True for a code point Unicode says is drawn as nothing where unsupported (its
// Default_Ignorable_Code_Point property): selectors, joiners, directional marks, soft hyphens, fillers.
bool isDefaultIgnorable(char32_t c);

// Full upper- and lower-casing ("é" gives "É"); ASCII text never leaves the fast path.
std::string upperCased(std::string_view utf8);
std::string lowercased(std::string_view utf8);

} // namespace veq::unicode
