#include "VEQStore/EventRecorder.hpp"

#include "VEQStore/TelemetryFile.hpp"

#include "TestSupport/StorePrinters.hpp"
#include "TestSupport/TemporaryFolder.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <thread>

using veq::EventRecorder;

namespace {

const EventRecorder::Date origin{std::chrono::milliseconds(1'700'000'000'000)};

} // namespace

// Several threads record at once while another reads and saves. Each producer uses its own
// channel and stamps its n-th value n ms after the origin with the value n, so that order and
// integrity can be checked afterwards.
TEST(EventRecorderStressTests, ConcurrentProducersLoseNothingButTheOldestQuarters) {
    constexpr int producers = 4;
    constexpr std::uint32_t perProducer = 50'000;
    constexpr std::size_t capacity = 30'000;
    veq::testing::TemporaryFolder folder;

    EventRecorder recorder(origin, capacity);
    recorder.markStart(origin);
    recorder.markEnd(origin + std::chrono::milliseconds(perProducer));

    std::atomic<bool> producing{true};
    std::atomic<int> ready{0};
    std::thread observer([&] {
        std::size_t lastTotal = 0;
        int saves = 0;
        while (producing.load()) {
            const auto status = recorder.status();
            const auto total = status.eventCount + status.dropped;
            EXPECT_GE(total, lastTotal) << "nothing handed in ever disappears from the count";
            EXPECT_LE(status.eventCount, capacity);
            lastTotal = total;
            recorder.channelSummaries();
            if (status.eventCount > 0 && saves < 5) {
                recorder.save(folder / ("during-" + std::to_string(saves++) + ".veqt"), 50);
            }
        }
    });

    std::vector<std::thread> threads;
    for (int p = 0; p < producers; ++p) {
        threads.emplace_back([&, p] {
            ready.fetch_add(1);
            while (ready.load() < producers) std::this_thread::yield();
            for (std::uint32_t n = 0; n < perProducer; ++n) {
                recorder.record(static_cast<std::uint8_t>(p), static_cast<float>(n),
                                origin + std::chrono::milliseconds(n));
            }
        });
    }
    for (auto& t : threads) t.join();
    producing.store(false);
    observer.join();
    recorder.drain();

    // The drop rule depends only on counts: the 30,001st event removes 7,500, and every 7,500
    // events after it another 7,500 go. Of 200,000 events that is 23 drops, 172,500 events,
    // whatever the interleaving.
    const auto status = recorder.status();
    EXPECT_EQ(status.eventCount + status.dropped, producers * perProducer);
    EXPECT_EQ(status.dropped, 172'500U);
    EXPECT_EQ(status.eventCount, 27'500U);

    // What is held is the newest part of each producer's sequence, in the order it was recorded.
    std::map<std::uint8_t, std::vector<EventRecorder::Event>> byProducer;
    for (const auto& event : recorder.events()) byProducer[event.channel].push_back(event);
    std::size_t held = 0;
    for (const auto& [channel, events] : byProducer) {
        SCOPED_TRACE(static_cast<int>(channel));
        ASSERT_LT(channel, producers);
        held += events.size();
        for (std::size_t i = 0; i < events.size(); ++i) {
            EXPECT_EQ(static_cast<float>(events[i].ms), events[i].value) << "an event arrived whole";
            if (i > 0) {
                EXPECT_EQ(events[i].ms, events[i - 1].ms + 1) << "order kept, no gap";
            }
        }
        EXPECT_EQ(events.back().ms, perProducer - 1);
    }
    EXPECT_EQ(held, status.eventCount);

    // A save after the storm holds exactly the last value of each producer in its final bucket.
    const auto saved = recorder.save(folder / "after.veqt", 50);
    const auto contents = veq::TelemetryFile::read(saved.url);
    EXPECT_EQ(contents.channels.size(), byProducer.size());
    ASSERT_FALSE(contents.records.empty());
    EXPECT_EQ(contents.records.back().milliseconds, (perProducer - 1) / 50 * 50);
    for (const auto& value : contents.records.back().values) EXPECT_EQ(value, static_cast<float>(perProducer - 1));
}
