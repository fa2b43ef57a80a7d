// The counted pause of the polling engine, and the bounded hand-over of monitor frames.
#include "VEQEngine/Session/ELM327Session.hpp"
#include "VEQEngine/Session/ScriptedTransport.hpp"
#include "VEQEngine/Session/TelemetryEngine.hpp"
#include "VEQUI/Model/MonitorHandOver.hpp"
#include "VEQUI/Model/PollingPause.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace veq;

namespace {

struct NoSink final : TelemetrySink {
    void ingest(const TelemetrySample&) override {}
    void updateThroughput(double) override {}
};

// An engine that never runs: only its pause flag is looked at.
struct EngineRig {
    std::shared_ptr<ELM327Session> session =
        std::make_shared<ELM327Session>(std::make_shared<veq::testing::ScriptedTransport>());
    NoSink sink;
    std::shared_ptr<TelemetryEngine> engine = std::make_shared<TelemetryEngine>(*session, sink);
};

std::vector<MonitorFrame> framesNamed(std::initializer_list<const char*> ids) {
    std::vector<MonitorFrame> frames;
    for (const char* id : ids) {
        MonitorFrame frame;
        frame.id = id;
        frame.size = 1;
        frames.push_back(frame);
    }
    return frames;
}

std::vector<std::string> idsOf(const std::vector<MonitorFrame>& frames) {
    std::vector<std::string> ids;
    for (const auto& f : frames) ids.push_back(f.id);
    return ids;
}

} // namespace

TEST(PollingPauseTests, TheFirstLeasePausesAndOnlyTheLastOneResumes) {
    EngineRig rig;
    const auto pause = std::make_shared<PollingPause>(rig.engine);
    EXPECT_FALSE(pause->isPaused());

    PollingPause::Lease scan = pause->hold();
    EXPECT_TRUE(rig.engine->isPaused());
    PollingPause::Lease monitor = PollingPause::hold(pause);
    scan.release();
    EXPECT_TRUE(rig.engine->isPaused()) << "one tool ending restarted polling under another";
    EXPECT_TRUE(pause->isPaused());

    PollingPause::Lease moved = std::move(monitor);
    monitor.release(); // moved from: holds nothing
    EXPECT_TRUE(rig.engine->isPaused());
    { PollingPause::Lease gone = std::move(moved); }
    EXPECT_FALSE(rig.engine->isPaused());
    EXPECT_FALSE(pause->isPaused());

    // Nothing polls: an empty lease.
    PollingPause::Lease none = PollingPause::hold(nullptr);
    none.release();
}

TEST(MonitorHandOverTests, OneDrainIsAskedForUntilTheConsumerTakesTheFrames) {
    MonitorHandOver handOver(8);
    auto a = framesNamed({"100", "101"});
    auto b = framesNamed({"102"});
    EXPECT_TRUE(handOver.push(a, {}));
    EXPECT_TRUE(a.empty());
    EXPECT_FALSE(handOver.push(b, {})); // a drain is already on its way
    std::vector<MonitorFrame> taken;
    handOver.takeAll(taken);
    EXPECT_EQ(idsOf(taken), (std::vector<std::string>{"100", "101", "102"}));
    auto c = framesNamed({"103"});
    EXPECT_TRUE(handOver.push(c, {}));
}

TEST(MonitorHandOverTests, AFullQueueHoldsTheProducerUntilTakenOrStopped) {
    MonitorHandOver handOver(2);
    auto first = framesNamed({"100", "101"});
    handOver.push(first, {});

    std::atomic<bool> queued{false};
    std::thread producer([&] {
        auto more = framesNamed({"102"});
        handOver.push(more, {});
        queued = true;
    });
    std::vector<MonitorFrame> taken;
    handOver.takeAll(taken);
    EXPECT_EQ(idsOf(taken), (std::vector<std::string>{"100", "101"})); // never more than the bound
    producer.join();
    EXPECT_TRUE(queued);
    handOver.takeAll(taken);
    EXPECT_EQ(idsOf(taken), std::vector<std::string>{"102"});

    // Full again: a stop releases the waiting producer, its batch dropped.
    auto full = framesNamed({"200", "201"});
    handOver.push(full, {});
    std::stop_source stop;
    std::atomic<bool> asked{true};
    std::thread stopped([&] {
        auto more = framesNamed({"202"});
        asked = handOver.push(more, stop.get_token());
    });
    stop.request_stop();
    stopped.join();
    EXPECT_FALSE(asked);
    handOver.takeAll(taken);
    EXPECT_EQ(idsOf(taken), (std::vector<std::string>{"200", "201"}));
}

TEST(MonitorHandOverTests, ABatchLargerThanTheBoundEntersAnEmptyQueueAlone) {
    MonitorHandOver handOver(1);
    auto big = framesNamed({"100", "101", "102"});
    EXPECT_TRUE(handOver.push(big, {}));
    std::vector<MonitorFrame> taken;
    handOver.takeAll(taken);
    EXPECT_EQ(taken.size(), 3u);
}
