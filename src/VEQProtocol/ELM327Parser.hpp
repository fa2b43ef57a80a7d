#pragma once

#include "VEQProtocol/ELM327Response.hpp"
#include "VEQProtocol/FrameFormat.hpp"

#include <cstdint>
#include <span>
#include <string_view>

namespace veq::ELM327Parser {

// Parses reply bytes (invalid UTF-8 replaced by U+FFFD); never fails, never throws.
// `sentCommand`: the command the reply answers, when known. An adapter with echo on prints it
// back first; a first line equal to it (blanks and case aside) is that echo and is dropped, so
// that without headers it is never taken for data.
ELM327Response parse(std::span<const std::uint8_t> data, FrameFormat format, std::string_view sentCommand = {});
// The parser proper, on reply text. NUL characters, which some adapters send, are dropped first.
ELM327Response parse(std::string_view text, FrameFormat format, std::string_view sentCommand = {});

} // namespace veq::ELM327Parser
