#include "VEQStore/Telemetry/EventRecorder.hpp"

#include "VEQStore/StoreFixtures.hpp"

#include <atomic>
#include <map>
#include <thread>

using veq::EventRecorder;

// Four threads record at once while another reads and saves. Producer p uses channel p and
// stamps its n-th value n ms after the origin with the value n, so order and integrity show.
TEST(EventRecorderStressTests, ConcurrentProducersLoseNothingButTheOldestQuarters) {
    constexpr int producers = 4;
    constexpr std::uint32_t perProducer = 50'000;
    constexpr std::size_t capacity = 30'000;
    const EventRecorder::Date origin{std::chrono::milliseconds(1'700'000'000'000)};
    veq::testing::TemporaryFolder folder;
    EventRecorder recorder(origin, capacity);
    recorder.markStart(origin);
    recorder.markEnd(origin + std::chrono::milliseconds(perProducer));

    std::atomic<bool> producing{true};
    std::atomic<int> ready{0};
    std::thread observer([&] {
        std::size_t lastTotal = 0;
        for (int saves = 0; producing.load();) {
            const auto status = recorder.status();
            EXPECT_GE(status.eventCount + status.dropped, lastTotal) << "nothing handed in disappears from the count";
            EXPECT_LE(status.eventCount, capacity);
            lastTotal = status.eventCount + status.dropped;
            recorder.channelSummaries();
            if (status.eventCount > 0 && saves < 5) recorder.save(folder / ("during-" + std::to_string(saves++) + ".veqt"), 50);
        }
    });
    std::vector<std::thread> threads;
    for (int p = 0; p < producers; ++p) {
        threads.emplace_back([&, p] {
            ready.fetch_add(1);
            while (ready.load() < producers) std::this_thread::yield();
            for (std::uint32_t n = 0; n < perProducer; ++n) recorder.record(std::uint8_t(p), float(n), origin + std::chrono::milliseconds(n));
        });
    }
    for (auto& t : threads) t.join();
    producing.store(false);
    observer.join();
    recorder.drain();

    // The drops depend only on counts: the 30,001st event removes 7,500, and every 7,500 after
    // it another 7,500 go: 23 drops of 200,000 events whatever the interleaving.
    const auto status = recorder.status();
    EXPECT_EQ(status.dropped, 172'500U);
    EXPECT_EQ(status.eventCount, 27'500U);

    // What is held is the newest part of each producer's sequence (a producer that finished
    // early may have none left), in its order, whole.
    std::map<std::uint8_t, std::vector<EventRecorder::Event>> byProducer;
    for (const auto& event : recorder.events()) byProducer[event.channel].push_back(event);
    for (const auto& [channel, events] : byProducer) {
        for (std::size_t i = 0; i < events.size(); ++i) {
            ASSERT_EQ(float(events[i].ms), events[i].value) << "channel " << int(channel);
            if (i > 0) {
                ASSERT_EQ(events[i].ms, events[i - 1].ms + 1) << "order kept, no gap, channel " << int(channel);
            }
        }
        EXPECT_EQ(events.back().ms, perProducer - 1);
    }
    // A save after the storm holds the last value of each producer in its final bucket.
    const auto contents = veq::TelemetryFile::read(recorder.save(folder / "after.veqt", 50).url);
    ASSERT_FALSE(contents.records.empty());
    EXPECT_EQ(contents.records.back(), (veq::TelemetryFile::Record{(perProducer - 1) / 50 * 50,
                                                                   veq::testing::Values(byProducer.size(), float(perProducer - 1))}));
}
