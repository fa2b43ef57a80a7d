#pragma once

#include <string>
#include <string_view>
#include <vector>

// The user-perceived characters of profile, VIN and part-number texts. A VIN counts 17 of them
// and a part number keeps its numeric ones, so splitting must follow Unicode, not bytes.
namespace veq::unicodetext {

// The extended grapheme clusters of UTF-8 text, in order, as slices of it. An ill-formed byte
// sequence stands for one replacement character and stays a slice of its own bytes.
std::vector<std::string_view> characters(std::string_view utf8);

// True when the first code point of the character has a Unicode numeric type: decimal
// digits, and also other numerals such as superscript digits or Roman numerals.
bool isNumeric(std::string_view character);

// Full Unicode lower-casing, independent of the process locale.
std::string lowercased(std::string_view utf8);

} // namespace veq::unicodetext
