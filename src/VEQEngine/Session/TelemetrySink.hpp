#pragma once

#include "VEQProtocol/PIDReading.hpp"

#include <chrono>
#include <cstdint>

namespace veq {

// One polled value: the mode 01 parameter, its decoded reading, when the read completed and the
// polling's pause epoch at that moment.
struct TelemetrySample {
    std::uint8_t pid = 0;
    PIDReading reading;
    std::chrono::system_clock::time_point timestamp;
    // 0 when polling begins, one more at every pause and every resumption: odd while paused. Two
    // values of one even epoch were read with no pause of the polling between them, whenever they
    // reach the sink.
    std::uint64_t pauseEpoch = 0;

    bool operator==(const TelemetrySample&) const = default;
};

// Where the polling engine hands its values. Both calls come from the polling thread, one at a
// time, and the engine waits for each: an implementation must return quickly (hand the value
// to its own thread rather than work on it here) and must accept every kind of reading.
class TelemetrySink {
public:
    virtual ~TelemetrySink() = default;

    // Once per successful read, in the order of the reads.
    virtual void ingest(const TelemetrySample& sample) = 0;
    // Once per polling cycle: the successful reads of the last second.
    virtual void updateThroughput(double requestsPerSecond) = 0;
};

} // namespace veq
