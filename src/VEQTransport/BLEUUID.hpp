#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace veq {

// A Bluetooth identifier as the platform prints it: "FFF0" for a 16-bit identifier of the
// Bluetooth base UUID, eight digits for a 32-bit one, the 36-character form otherwise; upper
// case, no braces. Accepts any of these forms in either case, with or without braces, and gives
// nothing for any other text. Two identifiers are the same when their forms here are equal.
std::optional<std::string> normalizedBLEUUID(std::string_view text);

} // namespace veq
