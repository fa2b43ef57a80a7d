#pragma once

#include <chrono>
#include <optional>

namespace veq {

// What the window tells of the link to the adapter while the car is live.
enum class LinkNotice {
    none,
    // The transport reported its link down: nothing more will come over this connection.
    linkLost,
    // Polling runs but no read has succeeded for a while (adapter silent, ignition off).
    noValues,
};

// Whether polling has gone without a value for too long. The silence counts from the last value,
// or from the moment polling was last seen running (started, or resumed after a pause), whichever
// is later: a pause of the bus monitor reads nothing, and must not count.
class ValueSilence {
public:
    using Clock = std::chrono::steady_clock;

    explicit ValueSilence(Clock::duration limit) : limit_(limit) {}

    // One look at the polling: `polling` is true while it runs unpaused; `lastValue` is when the
    // last value came, if any. True when silent for the limit or longer.
    bool observe(Clock::time_point now, bool polling, std::optional<Clock::time_point> lastValue);

private:
    Clock::duration limit_;
    std::optional<Clock::time_point> pollingSince_;
};

} // namespace veq
