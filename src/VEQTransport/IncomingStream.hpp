#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <stop_token>
#include <vector>

namespace veq {

// The chunks of bytes a transport receives from its adapter, in arrival order. Any thread may
// push (link callbacks, the simulator's monitor); one consumer either pops, or attaches a
// receiver that takes each chunk on the pushing thread as it comes, which spares a thread
// wake-up between the link and the consumer on every reply.
//
// It is bounded by the memory it holds: each chunk counts its bytes plus chunkOverheadBytes (its
// bookkeeping and allocation), so that many tiny chunks weigh what they cost. When the consumer
// falls behind by more than `capacityBytes`, the oldest chunks are dropped, counted and traced,
// so a stalled reader never makes memory grow without end. A chunk larger than the whole
// capacity is kept alone rather than cut.
class IncomingStream {
public:
    using Chunk = std::vector<std::uint8_t>;
    // Runs on the pushing thread, one chunk at a time, in push order; it must not block nor use
    // this stream.
    using Receiver = std::function<void(Chunk)>;

    static constexpr std::size_t defaultCapacityBytes = 4 * 1024 * 1024;
    // What one chunk costs beside its bytes: the vector and its heap block.
    static constexpr std::size_t chunkOverheadBytes = 64;

    explicit IncomingStream(std::size_t capacityBytes = defaultCapacityBytes);

    IncomingStream(const IncomingStream&) = delete;
    IncomingStream& operator=(const IncomingStream&) = delete;

    // Appends a chunk, or hands it to the receiver when one is attached; never blocks beyond
    // the receiver's own work. Ignored once the stream is closed.
    void push(Chunk chunk);

    // Hands the chunks buffered so far to `receiver` at once, then every chunk pushed, until
    // detach(); pop() meanwhile finds nothing. Replaces a receiver attached before.
    void attach(Receiver receiver);
    // Later chunks are buffered again. Returns once no call of the receiver runs any more, so
    // that what the receiver uses may then go.
    void detach();

    // Ends the stream: the consumer drains what is buffered, then pop() gives nothing at once.
    // Transports never call it (a stream outlives disconnects); it exists for owners that retire
    // a stream for good.
    void close();

    // The oldest chunk; waits up to `timeout` for one. Nothing on time-out, on a stop request,
    // or when the stream is closed and drained (see isFinished()).
    std::optional<Chunk> pop(std::chrono::nanoseconds timeout, std::stop_token stop);

    // Closed and nothing left to pop.
    bool isFinished() const;

    // Chunks dropped because the consumer fell behind, since the stream was created.
    std::uint64_t droppedChunks() const;

    // Bytes waiting to be popped, and the memory counted for them (never more than the capacity,
    // bar one oversized chunk).
    std::size_t bufferedBytes() const;
    std::size_t bufferedMemory() const;
    std::size_t bufferedChunks() const;
    std::size_t capacityBytes() const { return capacity_; }

private:
    const std::size_t capacity_;
    mutable std::mutex mutex_;
    std::condition_variable_any available_;
    std::deque<Chunk> chunks_;
    // Held across each push, so that the receiver's calls keep the push order and detach() can
    // wait for the one under way; always taken before mutex_. It alone guards receiver_.
    std::mutex receiving_;
    Receiver receiver_;
    std::size_t bytes_ = 0;
    std::size_t memory_ = 0;
    std::uint64_t dropped_ = 0;
    bool closed_ = false;
};

} // namespace veq
