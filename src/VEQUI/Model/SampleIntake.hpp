#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <stop_token>
#include <vector>

namespace veq {

// The bounded queue between the polling thread and the GUI thread. The polling thread pushes
// one item per value; the GUI thread takes everything waiting at once, on a timer. Each item
// carries the generation number of the connection that produced it: only the accepted
// generation's items are kept, so that a connection being torn down can never refill the store.
//
// A full queue makes the producer wait (no value is ever dropped while its connection is
// accepted); the wait ends when there is room, when its stop token is requested, or when its
// generation stops being accepted, the last two dropping the item.
class SampleIntake {
public:
    using Date = std::chrono::system_clock::time_point;

    struct Item {
        enum class Kind : std::uint8_t { measurement, throughput };

        std::uint64_t generation = 0;
        Kind kind = Kind::measurement;
        std::uint8_t pid = 0;  // measurement only
        double value = 0;      // the measured value, or the request rate
        Date timestamp{};      // measurement only
        // Measurement only: the polling's pause epoch at the read (TelemetrySample::pauseEpoch).
        std::uint64_t pauseEpoch = 0;
    };

    // How often a waiting producer looks again even without a wake-up.
    static constexpr std::chrono::milliseconds recheckInterval{100};

    explicit SampleIntake(std::size_t capacity);
    SampleIntake(const SampleIntake&) = delete;
    SampleIntake& operator=(const SampleIntake&) = delete;

    // Any thread. True when the item was queued.
    bool push(const Item& item, std::stop_token stop);

    // From now on only items of `generation` are queued and taken; nothing when empty. Items of
    // other generations already queued are discarded and their waiting producers released.
    void accept(std::optional<std::uint64_t> generation);
    std::optional<std::uint64_t> accepted() const;

    // Moves every waiting item of the accepted generation into `out` (cleared first), oldest first.
    void takeAll(std::vector<Item>& out);

    std::size_t size() const;
    std::size_t capacity() const { return capacity_; }

private:
    const std::size_t capacity_;
    mutable std::mutex mutex_;
    std::condition_variable_any roomMade_;
    std::vector<Item> items_;
    std::optional<std::uint64_t> accepted_;
};

} // namespace veq
