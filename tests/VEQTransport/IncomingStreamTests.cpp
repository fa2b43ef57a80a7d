#include "VEQTransport/IncomingStream.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace veq;
using namespace std::chrono_literals;
using Chunk = IncomingStream::Chunk;

namespace {

// A bound on waits that should end at once; reaching it means the stream is broken.
constexpr auto safetyTimeout = 30s;

// A chunk of `size` bytes (at least 4) carrying its producer and a 24-bit sequence number.
Chunk numbered(std::uint8_t producer, std::uint32_t sequence, std::size_t size) {
    Chunk c(size, 0);
    c[0] = producer;
    for (int i = 0; i < 3; ++i) c[3 - i] = static_cast<std::uint8_t>(sequence >> (8 * i));
    return c;
}

std::uint32_t sequenceOf(const Chunk& c) { return std::uint32_t{c[1]} << 16 | std::uint32_t{c[2]} << 8 | c[3]; }

} // namespace

TEST(IncomingStreamTests, ChunksComeOutWholeAndAWaitEndsOnAPushAStopOrTheClose) {
    IncomingStream stream;
    const std::vector<Chunk> chunks{{0x41, 0x54}, {}, Chunk(4096, 0x3E)};
    for (const Chunk& c : chunks) stream.push(c);
    EXPECT_EQ(stream.bufferedBytes(), 2u + 4096u);
    for (const Chunk& c : chunks) EXPECT_EQ(stream.pop(0s, {}), c);
    EXPECT_EQ(stream.pop(0s, {}), std::nullopt); // empty: a zero wait gives nothing

    std::jthread producer([&] { stream.push({0x3E}); });
    EXPECT_EQ(stream.pop(safetyTimeout, {}), (Chunk{0x3E}));

    std::stop_source stop;
    std::jthread stopper([&] { stop.request_stop(); });
    EXPECT_EQ(stream.pop(std::chrono::hours(1), stop.get_token()), std::nullopt);
    EXPECT_FALSE(stream.isFinished()); // stopping the consumer does not end the stream

    stream.push({0x01});
    stream.close();
    stream.push({0x02}); // ignored after close
    EXPECT_FALSE(stream.isFinished());
    EXPECT_EQ(stream.pop(safetyTimeout, {}), (Chunk{0x01})); // drained first
    EXPECT_TRUE(stream.isFinished());
    EXPECT_EQ(stream.pop(std::chrono::hours(1), {}), std::nullopt); // returns at once

    IncomingStream waiting;
    std::jthread closer([&] { waiting.close(); });
    EXPECT_EQ(waiting.pop(std::chrono::hours(1), {}), std::nullopt);
}

TEST(IncomingStreamTests, OldestChunksAreDroppedWhenTheConsumerFallsBehind) {
    struct Case { std::size_t capacity; std::vector<std::size_t> pushed /* sizes */, kept /* indexes left */; };
    const Case cases[] = {
        {30,  {10, 10, 10},          {0, 1, 2}},       // exactly full
        {30,  {10, 10, 10, 4},       {1, 2, 3}},
        {30,  {10, 10, 10, 25},      {3}},
        {30,  {10, 10, 10, 40},      {3}},             // an oversized chunk is kept alone, whole
        {30,  {40, 10},              {1}},
        {30,  {5, 20, 5, 10},        {2, 3}},
    };
    for (const Case& c : cases) {
        IncomingStream stream(c.capacity);
        for (std::size_t i = 0; i < c.pushed.size(); ++i) stream.push(numbered(0, static_cast<std::uint32_t>(i), c.pushed[i]));
        EXPECT_EQ(stream.droppedChunks(), c.pushed.size() - c.kept.size());
        std::vector<std::size_t> left;
        while (auto chunk = stream.pop(0s, {})) {
            left.push_back(sequenceOf(*chunk));
            EXPECT_EQ(chunk->size(), c.pushed[left.back()]); // whole
        }
        EXPECT_EQ(left, c.kept);
    }
}

TEST(IncomingStreamTests, FloodWithoutAConsumerStaysWithinFourMebibytes) {
    IncomingStream stream;
    ASSERT_EQ(stream.capacityBytes(), 4u * 1024 * 1024);
    constexpr std::uint32_t chunks = 2048; // 8 MiB of 4096-byte receives
    for (std::uint32_t i = 0; i < chunks; ++i) stream.push(numbered(0, i, 4096));
    EXPECT_EQ(stream.bufferedBytes(), 4u * 1024 * 1024);
    EXPECT_EQ(stream.droppedChunks(), 1024u);
    EXPECT_EQ(sequenceOf(*stream.pop(0s, {})), 1024u); // the newest half is what is left
}

TEST(IncomingStreamTests, ConcurrentFloodKeepsEachProducersOrderAndAccountsForEveryChunk) {
    constexpr std::size_t capacity = 4096;
    constexpr std::uint8_t producers = 4;
    constexpr std::uint32_t perProducer = 20000;
    IncomingStream stream(capacity);
    std::atomic<int> running = producers;
    std::vector<std::jthread> threads;
    for (std::uint8_t p = 0; p < producers; ++p) {
        threads.emplace_back([&, p] {
            for (std::uint32_t i = 0; i < perProducer; ++i) stream.push(numbered(p, i, 64));
            --running;
        });
    }
    std::vector<std::int64_t> last(producers, -1);
    std::uint64_t received = 0;
    std::size_t largestBacklog = 0;
    while (running > 0 || stream.bufferedChunks() > 0) {
        largestBacklog = std::max(largestBacklog, stream.bufferedBytes());
        const auto chunk = stream.pop(1ms, {});
        if (!chunk) continue;
        ++received;
        const std::uint8_t p = (*chunk)[0];
        ASSERT_LT(p, producers);
        const std::int64_t sequence = sequenceOf(*chunk);
        EXPECT_GT(sequence, last[p]) << "producer " << int(p); // dropping never reorders
        last[p] = sequence;
    }
    threads.clear();
    EXPECT_LE(largestBacklog, capacity);
    EXPECT_EQ(received + stream.droppedChunks(), std::uint64_t{producers} * perProducer);
}
