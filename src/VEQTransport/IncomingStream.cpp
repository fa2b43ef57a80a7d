#include "VEQTransport/IncomingStream.hpp"

#include "VEQTransport/TransportTrace.hpp"

#include <fmt/format.h>

#include <algorithm>

namespace veq {

IncomingStream::IncomingStream(std::size_t capacityBytes) : capacity_(capacityBytes) {}

void IncomingStream::push(Chunk chunk) {
    std::uint64_t droppedNow = 0;
    std::uint64_t droppedTotal = 0;
    {
        // Held to the end, so that an attach() cannot slip between the test and the queueing.
        std::lock_guard receiving(receiving_);
        if (receiver_) {
            {
                std::lock_guard lock(mutex_);
                if (closed_) return;
            }
            receiver_(std::move(chunk));
            return;
        }
        std::lock_guard lock(mutex_);
        if (closed_) return;
        const std::size_t cost = chunk.size() + chunkOverheadBytes;
        while (!chunks_.empty() && memory_ + cost > capacity_) {
            bytes_ -= chunks_.front().size();
            memory_ -= chunks_.front().size() + chunkOverheadBytes;
            chunks_.pop_front();
            ++droppedNow;
        }
        bytes_ += chunk.size();
        memory_ += cost;
        chunks_.push_back(std::move(chunk));
        dropped_ += droppedNow;
        droppedTotal = dropped_;
    }
    available_.notify_one();
    if (droppedNow != 0) {
        veqTrace([&] {
            return fmt::format("flux entrant saturé : {} fragment(s) ancien(s) abandonné(s), {} au total",
                               droppedNow, droppedTotal);
        });
    }
}

void IncomingStream::attach(Receiver receiver) {
    std::lock_guard receiving(receiving_);
    std::deque<Chunk> buffered;
    {
        std::lock_guard lock(mutex_);
        buffered.swap(chunks_);
        bytes_ = 0;
        memory_ = 0;
    }
    receiver_ = std::move(receiver);
    for (Chunk& chunk : buffered) receiver_(std::move(chunk));
}

void IncomingStream::detach() {
    std::lock_guard receiving(receiving_);
    receiver_ = nullptr;
}

void IncomingStream::close() {
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
    }
    available_.notify_all();
}

std::optional<IncomingStream::Chunk> IncomingStream::pop(std::chrono::nanoseconds timeout, std::stop_token stop) {
    // A year stands for "forever" and keeps the deadline arithmetic clear of overflow.
    constexpr std::chrono::nanoseconds longest = std::chrono::hours(24 * 365);
    const auto deadline = std::chrono::steady_clock::now() + std::min(std::max(timeout, std::chrono::nanoseconds(0)), longest);
    std::unique_lock lock(mutex_);
    available_.wait_until(lock, stop, deadline, [this] { return !chunks_.empty() || closed_; });
    if (chunks_.empty()) return std::nullopt;
    Chunk chunk = std::move(chunks_.front());
    chunks_.pop_front();
    bytes_ -= chunk.size();
    memory_ -= chunk.size() + chunkOverheadBytes;
    return chunk;
}

bool IncomingStream::isFinished() const {
    std::lock_guard lock(mutex_);
    return closed_ && chunks_.empty();
}

std::uint64_t IncomingStream::droppedChunks() const {
    std::lock_guard lock(mutex_);
    return dropped_;
}

std::size_t IncomingStream::bufferedBytes() const {
    std::lock_guard lock(mutex_);
    return bytes_;
}

std::size_t IncomingStream::bufferedMemory() const {
    std::lock_guard lock(mutex_);
    return memory_;
}

std::size_t IncomingStream::bufferedChunks() const {
    std::lock_guard lock(mutex_);
    return chunks_.size();
}

} // namespace veq
