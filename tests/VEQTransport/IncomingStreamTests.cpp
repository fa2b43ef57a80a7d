#include "VEQTransport/IncomingStream.hpp"

#include <gtest/gtest.h>

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

TEST(IncomingStreamTests, OldestChunksAreDroppedWhenTheConsumerFallsBehind) {
    struct Case { std::vector<std::size_t> pushed /* sizes */, kept /* indexes left */; };
    const Case cases[] = {
        {{10, 10, 10}, {0, 1, 2}}, {{10, 10, 10, 4}, {1, 2, 3}}, {{10, 10, 10, 25}, {3}},
        {{10, 10, 10, 40}, {3}} /* oversized: kept alone, whole */, {{40, 10}, {1}}, {{5, 20, 5, 10}, {2, 3}},
    };
    for (const Case& c : cases) {
        IncomingStream stream(30);
        for (std::size_t i = 0; i < c.pushed.size(); ++i) stream.push(numbered(static_cast<std::uint32_t>(i), c.pushed[i]));
        EXPECT_EQ(stream.droppedChunks(), c.pushed.size() - c.kept.size());
        std::vector<std::size_t> left;
        while (auto chunk = stream.pop(0s, {})) {
            left.push_back(sequenceOf(*chunk));
            EXPECT_EQ(chunk->size(), c.pushed[left.back()]);
        }
        EXPECT_EQ(left, c.kept);
    }
    IncomingStream flooded; // 8 MiB of 4096-byte receives, nobody reading
    for (std::uint32_t i = 0; i < 2048; ++i) flooded.push(numbered(i, 4096));
    EXPECT_EQ(flooded.bufferedBytes(), 4u * 1024 * 1024);
    EXPECT_EQ(sequenceOf(*flooded.pop(0s, {})), 1024u); // the newest half is left
}
