#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>

namespace veq {

// The lines the adapter prints in bus monitor mode, from the session's reader to one consumer.
// The backlog is bounded by the memory it holds, each line counting its bytes plus
// lineOverheadBytes: when the consumer falls behind, the oldest lines are dropped and counted,
// so a busy bus (or long lines) cannot exhaust memory. A line larger than the whole capacity is
// kept alone.
class MonitorStream {
public:
    static constexpr std::size_t defaultCapacityBytes = 4 * 1024 * 1024;
    // What one line costs beside its characters: the string and its heap block.
    static constexpr std::size_t lineOverheadBytes = 64;

    explicit MonitorStream(std::size_t capacityBytes = defaultCapacityBytes);
    MonitorStream(const MonitorStream&) = delete;
    MonitorStream& operator=(const MonitorStream&) = delete;

    // The next line; nothing when `timeout` passes, when stop is requested, or when the stream
    // is finished and every line was taken (then finished() is true).
    std::optional<std::string> pop(std::chrono::nanoseconds timeout, std::stop_token stop);

    // True once monitor mode ended; lines already queued can still be taken.
    bool finished() const;
    // Lines dropped because the backlog was full.
    std::uint64_t droppedLines() const;
    // Lines waiting, and the memory counted for them.
    std::size_t bufferedLines() const;
    std::size_t bufferedMemory() const;

    // Producer side (the session). Pushing after finish() does nothing.
    void push(std::string line);
    void finish();

private:
    const std::size_t capacity_;
    mutable std::mutex mutex_;
    std::condition_variable_any changed_;
    std::deque<std::string> lines_;
    std::size_t memory_ = 0;
    std::uint64_t dropped_ = 0;
    bool finished_ = false;
};

} // namespace veq
