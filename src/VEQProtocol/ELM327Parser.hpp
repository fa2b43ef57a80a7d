#pragma once

#include "VEQProtocol/ELM327Response.hpp"
#include "VEQProtocol/FrameFormat.hpp"

#include <cstdint>
#include <span>
#include <string_view>

namespace veq::ELM327Parser {

// Parses reply bytes (invalid UTF-8 replaced by U+FFFD); never fails, never throws.
ELM327Response parse(std::span<const std::uint8_t> data, FrameFormat format);
// The parser proper, on reply text.
ELM327Response parse(std::string_view text, FrameFormat format);

} // namespace veq::ELM327Parser
