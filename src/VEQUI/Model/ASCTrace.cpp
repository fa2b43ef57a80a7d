#include "VEQUI/Model/ASCTrace.hpp"

#include <fmt/chrono.h>
#include <fmt/format.h>

#include <iterator>

namespace veq {

std::string ASCTrace::text(const std::vector<RecordedFrame>& frames, std::chrono::system_clock::time_point now) {
    std::string out = "date ";
    // Always in UTC, whatever the machine's zone.
    out += fmt::format("{:%Y-%m-%d %H:%M:%S} +0000", fmt::gmtime(std::chrono::system_clock::to_time_t(now)));
    out += "\nbase hex  timestamps absolute\nno internal events logged\n";
    for (const RecordedFrame& frame : frames) {
        auto sink = std::back_inserter(out);
        fmt::format_to(sink, "{:11.6f} 1  ", frame.t);
        // Readers take an identifier without the "x" for a standard 11-bit one.
        const std::string id = frame.id.size() == 8 ? frame.id + "x" : frame.id;
        fmt::format_to(sink, "{:<8} Rx   d {}", id, frame.data.size());
        for (std::uint8_t byte : frame.data) fmt::format_to(sink, " {:02X}", byte);
        out += '\n';
    }
    return out;
}

} // namespace veq
