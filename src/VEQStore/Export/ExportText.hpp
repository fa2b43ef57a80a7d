#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Text helpers shared by the text exporters and readers. Independent of the process locale;
// they never convert a value that does not fit (undefined in C++).
namespace veq::exporttext {

// "&" as "&amp;", then "<" as "&lt;" and ">" as "&gt;"; quotes are left as they are.
std::string escapedMarkup(std::string_view text);

// Reads the whole text as the C library's strtod would in the POSIX locale: an optional sign,
// decimal or "0x" hexadecimal digits with an optional exponent, "inf", "infinity" or "nan".
// Nothing when any character is left over, including white space anywhere.
std::optional<double> readDouble(std::string_view text);

// Reads the whole text as a decimal integer: an optional "+" or "-" and one or more ASCII
// digits, within the signed 64-bit range.
std::optional<std::int64_t> readInteger(std::string_view text);

// Rounds half away from zero. Nothing for a value that is not finite; a finite value beyond
// the signed 64-bit range gives the nearest end of that range.
std::optional<std::int64_t> roundedInteger(double value);

// Truncates toward zero, with the same rules as roundedInteger.
std::optional<std::int64_t> truncatedInteger(double value);

} // namespace veq::exporttext
