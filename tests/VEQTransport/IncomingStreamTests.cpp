#include "VEQTransport/IncomingStream.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

using namespace veq;
using namespace std::chrono_literals;
using Chunk = IncomingStream::Chunk;

namespace {

// A chunk of `size` bytes (at least 2) carrying a 16-bit sequence number.
Chunk numbered(std::uint32_t sequence, std::size_t size) {
    Chunk c(size, 0);
    c[0] = static_cast<std::uint8_t>(sequence >> 8);
    c[1] = static_cast<std::uint8_t>(sequence);
    return c;
}

std::uint32_t sequenceOf(const Chunk& c) { return std::uint32_t{c[0]} << 8 | c[1]; }

} // namespace

TEST(IncomingStreamTests, ChunksComeOutWholeAndAWaitEndsOnAPushAStopOrTheClose) {
    IncomingStream stream;
    const std::vector<Chunk> chunks{{0x41, 0x54}, {}, Chunk(4096, 0x3E)};
    for (const Chunk& c : chunks) stream.push(c);
    for (const Chunk& c : chunks) EXPECT_EQ(stream.pop(0s, {}), c);
    EXPECT_EQ(stream.pop(0s, {}), std::nullopt);

    std::jthread producer([&] { stream.push({0x3E}); });
    EXPECT_EQ(stream.pop(30s, {}), (Chunk{0x3E}));
    std::stop_source stop;
    std::jthread stopper([&] { stop.request_stop(); });
    EXPECT_EQ(stream.pop(1h, stop.get_token()), std::nullopt);
    EXPECT_FALSE(stream.isFinished()); // stopping the consumer does not end the stream

    stream.push({0x01});
    stream.close();
    stream.push({0x02}); // ignored after close
    EXPECT_EQ(stream.pop(30s, {}), (Chunk{0x01})); // drained first
    EXPECT_TRUE(stream.isFinished());
    EXPECT_EQ(stream.pop(1h, {}), std::nullopt); // at once
    IncomingStream waiting;
    std::jthread closer([&] { waiting.close(); });
    EXPECT_EQ(waiting.pop(1h, {}), std::nullopt);
}

// The bound counts memory: a chunk's bytes and its own cost, so that tiny chunks weigh too.
TEST(IncomingStreamTests, OldestChunksAreDroppedWhenTheConsumerFallsBehind) {
    constexpr std::size_t cost = IncomingStream::chunkOverheadBytes;
    constexpr std::size_t capacity = 3 * (10 + cost);
    struct Case { std::vector<std::size_t> pushed /* sizes */, kept /* indexes left */; };
    const Case cases[] = {
        {{10, 10, 10}, {0, 1, 2}}, {{10, 10, 10, 4}, {1, 2, 3}}, {{10, 10, 10, 2 * (10 + cost) + 11}, {3}},
        {{10, 10, 10, capacity + 10}, {3}} /* oversized: kept alone, whole */, {{capacity + 10, 10}, {1}},
        {{5, 20, 5, 10}, {2, 3}},
    };
    for (const Case& c : cases) {
        IncomingStream stream(capacity);
        for (std::size_t i = 0; i < c.pushed.size(); ++i) stream.push(numbered(static_cast<std::uint32_t>(i), c.pushed[i]));
        EXPECT_EQ(stream.droppedChunks(), c.pushed.size() - c.kept.size());
        std::vector<std::size_t> left;
        while (auto chunk = stream.pop(0s, {})) {
            left.push_back(sequenceOf(*chunk));
            EXPECT_EQ(chunk->size(), c.pushed[left.back()]);
        }
        EXPECT_EQ(left, c.kept);
        EXPECT_EQ(stream.bufferedMemory(), 0u);
    }
    const std::pair<std::size_t, std::size_t> floods[] = {{2048, 4096}, {100'000, 1}}; // chunks of a size, nobody reading
    for (const auto& [count, size] : floods) {
        IncomingStream flooded;
        for (std::uint32_t i = 0; i < count; ++i) flooded.push(Chunk(size, static_cast<std::uint8_t>(i)));
        const std::size_t fit = IncomingStream::defaultCapacityBytes / (size + cost);
        EXPECT_EQ(flooded.bufferedChunks(), fit) << size;
        EXPECT_EQ(flooded.bufferedMemory(), fit * (size + cost)) << size;
        EXPECT_EQ(flooded.pop(0s, {})->front(), static_cast<std::uint8_t>(count - fit)) << size; // the newest are left
    }
}

TEST(IncomingStreamTests, AnAttachedReceiverTakesTheBufferedChunksThenEveryPushInOrder) {
    IncomingStream stream;
    std::vector<std::uint32_t> received;
    stream.push(numbered(0, 4));
    stream.push(numbered(1, 4));
    stream.attach([&](Chunk c) { received.push_back(sequenceOf(c)); });
    EXPECT_EQ(received, (std::vector<std::uint32_t>{0, 1}));
    EXPECT_EQ(stream.bufferedMemory(), 0u);

    // Pushes from several threads reach the receiver one at a time, each thread's in its order.
    constexpr std::uint32_t perThread = 2000;
    std::vector<std::jthread> pushers;
    for (std::uint32_t t = 0; t < 2; ++t) {
        pushers.emplace_back([&stream, t] {
            for (std::uint32_t i = 0; i < perThread; ++i) stream.push(numbered(2 + t * perThread + i, 2));
        });
    }
    pushers.clear();
    ASSERT_EQ(received.size(), 2 + 2 * perThread);
    for (std::uint32_t t = 0; t < 2; ++t) {
        std::vector<std::uint32_t> mine;
        for (std::uint32_t s : received) {
            if (s >= 2 + t * perThread && s < 2 + (t + 1) * perThread) mine.push_back(s);
        }
        EXPECT_TRUE(std::ranges::is_sorted(mine)) << t;
        EXPECT_EQ(mine.size(), perThread) << t;
    }
    EXPECT_EQ(stream.pop(0s, {}), std::nullopt); // nothing was left for pop

    stream.detach();
    stream.push(numbered(9, 3));
    EXPECT_EQ(received.size(), 2 + 2 * perThread);
    EXPECT_EQ(stream.pop(0s, {}), numbered(9, 3)); // buffered again

    stream.attach([&](Chunk c) { received.push_back(sequenceOf(c)); });
    stream.close();
    stream.push(numbered(10, 3));
    EXPECT_EQ(received.size(), 2 + 2 * perThread); // a closed stream takes nothing
}

TEST(IncomingStreamTests, DetachReturnsOnlyOnceTheReceiverCallUnderWayHasEnded) {
    IncomingStream stream;
    std::atomic<bool> entered{false};
    std::atomic<bool> finished{false};
    stream.attach([&](Chunk) {
        entered = true;
        std::this_thread::sleep_for(50ms);
        finished = true;
    });
    std::jthread pusher([&] { stream.push({0x3E}); });
    while (!entered) std::this_thread::yield();
    stream.detach();
    EXPECT_TRUE(finished.load()); // whatever the receiver used may go now
}
