// The hand-over from the polling thread: a bounded queue that makes the producer wait rather
// than drop, and that drops only what belongs to a connection no longer accepted.
#include "VEQUI/Model/SampleIntake.hpp"
#include "VEQUI/Model/TelemetryStore.hpp"

#include "ModelFixtures.hpp"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

using namespace veq;
using namespace veq::testing;

namespace {

SampleIntake::Item item(std::uint64_t generation, double value) {
    return {generation, SampleIntake::Item::Kind::measurement, 0x0C, value, at(value)};
}

std::vector<double> values(const std::vector<SampleIntake::Item>& items) {
    std::vector<double> out;
    for (const auto& i : items) out.push_back(i.value);
    return out;
}

} // namespace

TEST(SampleIntakeTests, AFullQueueMakesTheProducerWaitAndLosesNothing) {
    SampleIntake intake(4);
    intake.accept(1);
    std::atomic<int> pushed = 0;
    std::jthread producer([&](std::stop_token stop) {
        for (int i = 0; i < 10; ++i) {
            if (intake.push(item(1, i), stop)) ++pushed;
        }
    });
    ASSERT_TRUE(waitUntil([&] { return intake.size() == 4; }));
    EXPECT_EQ(pushed.load(), 4); // the fifth waits for room

    std::vector<double> received;
    std::vector<SampleIntake::Item> batch;
    ASSERT_TRUE(waitUntil([&] {
        intake.takeAll(batch);
        for (double v : values(batch)) received.push_back(v);
        return received.size() == 10;
    }));
    producer.join();
    EXPECT_EQ(pushed.load(), 10);
    EXPECT_EQ(received, (std::vector<double>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
}

TEST(SampleIntakeTests, AWaitingProducerIsReleasedByItsStopTokenOrByANewGeneration) {
    for (const bool byStop : {true, false}) {
        SampleIntake intake(2);
        intake.accept(1);
        std::stop_source stop;
        std::atomic<int> results = 0; // pushes accepted, then the final answer + 100
        std::thread producer([&] {
            for (int i = 0; i < 2; ++i) results += intake.push(item(1, i), stop.get_token()) ? 1 : 0;
            results += intake.push(item(1, 2), stop.get_token()) ? 1000 : 100;
        });
        ASSERT_TRUE(waitUntil([&] { return results.load() == 2; }));
        if (byStop) {
            stop.request_stop();
        } else {
            intake.accept(2);
        }
        producer.join();
        EXPECT_EQ(results.load(), 102) << byStop;
        // The new generation discards what the old one queued; a stop alone keeps it.
        EXPECT_EQ(intake.size(), byStop ? 2u : 0u) << byStop;
    }
}

TEST(SampleIntakeTests, OnlyTheAcceptedGenerationIsQueued) {
    SampleIntake intake(8);
    EXPECT_FALSE(intake.push(item(1, 0), {})); // nothing accepted yet
    intake.accept(1);
    EXPECT_TRUE(intake.push(item(1, 1), {}));
    EXPECT_FALSE(intake.push(item(2, 2), {}));
    intake.accept(std::nullopt);
    EXPECT_FALSE(intake.push(item(1, 3), {}));
    std::vector<SampleIntake::Item> batch;
    intake.takeAll(batch);
    EXPECT_TRUE(batch.empty());
}

TEST(SampleIntakeTests, StoreAppliesPollingThreadValuesInOrderThroughItsTimer) {
    TelemetryStore store;
    store.openIntake(7);
    const auto sink = store.makeSink(7);
    std::jthread polling([sink] {
        for (int i = 1; i <= 1000; ++i) {
            sink->ingest(measured(0x0C, i, atMs(i * 10)));
            sink->ingest({0x51, PIDReading::text("Diesel"), atMs(i * 10)}); // changes nothing
        }
        sink->updateThroughput(250);
    });
    ASSERT_TRUE(waitUntil([&] {
        return store.stats().contains(0x0C) && store.stats().at(0x0C).sampleCount == 1000 &&
               store.requestsPerSecond() == 250;
    }));
    const auto& stats = store.stats().at(0x0C);
    EXPECT_EQ(stats.current, 1000.0);
    EXPECT_EQ(stats.history.front(), 881.0); // the last 120, in polling order
    EXPECT_EQ(store.stats().size(), 1u);
    EXPECT_EQ(store.snapshots().size(), 40u); // 10 s of samples, one snapshot per quarter second
}

TEST(SampleIntakeTests, ValuesOfAClosedOrOlderConnectionNeverReachTheStore) {
    TelemetryStore store;
    store.openIntake(1);
    const auto first = store.makeSink(1);
    first->ingest(measured(0x0D, 10, at(0)));
    // Disconnection: whatever is queued or still arrives from that connection is dropped.
    store.closeIntake();
    first->ingest(measured(0x0D, 11, at(1)));
    store.reset();
    store.drainIntake();
    EXPECT_TRUE(store.stats().empty());

    // The next connection: the old sink's values still go nowhere.
    store.openIntake(2);
    const auto second = store.makeSink(2);
    first->ingest(measured(0x0D, 12, at(2)));
    second->ingest(measured(0x0D, 20, at(3)));
    store.drainIntake();
    EXPECT_EQ(store.value(0x0D), 20.0);
    EXPECT_EQ(store.stats().at(0x0D).sampleCount, 1);
    EXPECT_EQ(store.snapshots().front().t, 0.0);
}

TEST(SampleIntakeTests, ADrainedBatchNotifiesEachChangeOnce) {
    TelemetryStore store;
    store.openIntake(3);
    const auto sink = store.makeSink(3);
    for (int i = 0; i < 50; ++i) sink->ingest(measured(0x0D, i, atMs(i * 100)));
    QSignalSpy stats(&store, &TelemetryStore::statsChanged);
    QSignalSpy trip(&store, &TelemetryStore::tripChanged);
    QSignalSpy snapshots(&store, &TelemetryStore::snapshotsChanged);
    store.drainIntake();
    EXPECT_EQ(stats.count(), 1);
    EXPECT_EQ(trip.count(), 1);
    EXPECT_EQ(snapshots.count(), 1);
    EXPECT_EQ(store.stats().at(0x0D).sampleCount, 50);
    store.drainIntake(); // nothing left: no signal
    EXPECT_EQ(stats.count(), 1);
}
