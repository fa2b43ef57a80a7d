#pragma once

#include "VEQProtocol/ELM327Response.hpp"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace veq::SessionTrace {

// True when the environment holds "VEQ_TRACE", whatever its value (an empty value counts).
bool enabledByEnvironment();

// The block written for one exchange, ended by a line feed:
//   » command
//     « reply text (carriage return as ⏎, line feed as ␊)
//     hex: reply bytes
//     erreur: adapter error word          (only when there is one)
//     ECUs: header:payload  header:payload (only when an ECU answered)
std::string exchangeBlock(std::string_view command, std::span<const std::uint8_t> reply,
                          const ELM327Response& parsed);

// A one-line note about the byte stream itself (bytes discarded, a bound reached).
std::string noteLine(std::string_view note);

// Writes the text to standard error in one call, so that lines of different threads never mix.
void write(std::string_view text);

} // namespace veq::SessionTrace
