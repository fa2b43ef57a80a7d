#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace veq {

// One frame kept by the bus monitor's recording, for the trace export.
struct RecordedFrame {
    double t = 0; // seconds since the recording started
    std::string id;
    std::vector<std::uint8_t> data;

    bool operator==(const RecordedFrame&) const = default;
};

namespace ASCTrace {

// The recording as a Vector ASC trace: three header lines ("date" with `now` in UTC, hexadecimal
// base with absolute time stamps, no internal events), then one received frame per line on
// channel 1. An 8-digit (29-bit) identifier carries the "x" that marks an extended frame.
std::string text(const std::vector<RecordedFrame>& frames, std::chrono::system_clock::time_point now);

} // namespace ASCTrace

} // namespace veq
