#pragma once

#include <concepts>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace veq {

// True when the process environment holds "VEQ_TRACE", whatever its value (an empty value
// counts). Read once, on first use; later changes of the environment have no effect.
bool veqTraceEnabled();

// Writes `text` to standard error in a single write, so that text written by different threads
// never interleaves within one call. Retries short and interrupted writes; gives up silently
// when standard error is gone (tracing must never break the exchange it describes).
void writeToStandardError(std::string_view text);

// Writes "[transport] " + message + line feed to standard error in one write. The message is
// a callable so that it is built only when tracing is on:
//     veqTrace([&] { return "WiFi → " + veqHexAscii(bytes); });
template <class MakeMessage>
    requires std::invocable<MakeMessage&>
void veqTrace(MakeMessage&& makeMessage) {
    if (!veqTraceEnabled()) return;
    std::string line = "[transport] ";
    line += makeMessage();
    line += '\n';
    writeToStandardError(line);
}

// Trace dump of a byte buffer: the bytes as UTF-8 text (invalid sequences as U+FFFD, carriage
// return shown as U+23CE, line feed as U+240A) in double quotes, then the bytes as "%02X" pairs
// joined by single spaces in brackets: 41 54 5A 0D gives "ATZ⏎" [41 54 5A 0D].
std::string veqHexAscii(std::span<const std::uint8_t> data);

} // namespace veq
