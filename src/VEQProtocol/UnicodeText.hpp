#pragma once

#include <string>
#include <string_view>
#include <vector>

// Character-level text operations for codes that users and files may carry (trouble codes, VINs):
// their length and positions count user-perceived characters, not bytes.
namespace veq::unicode {

// The text split into user-perceived characters (grapheme clusters), each as UTF-8.
// Invalid UTF-8 sequences become U+FFFD.
std::vector<std::string> characters(std::string_view utf8);

// Locale-independent full upper-casing ("é" gives "É"); ASCII text never leaves the fast path.
std::string upperCased(std::string_view utf8);

} // namespace veq::unicode
