#include "VEQEngine/TelemetryEngine.hpp"
#include "VEQEngine/ScriptedTransport.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace veq {
namespace {

using namespace std::chrono_literals;
using testing::ScriptedTransport;
using testing::eventually;

std::string requestFor(std::uint8_t pid) {
    char text[5];
    std::snprintf(text, sizeof text, "01%02X", pid);
    return text;
}

// A vehicle answering mode 01 without headers. A parameter with an answer script takes its
// answers in turn (true: a value, false: NO DATA) and then keeps the last; the others answer
// with a value, unless `silent` is set.
class Vehicle {
public:
    std::map<std::uint8_t, std::vector<bool>> scripts;
    std::atomic<bool> everyReadFails{false};
    std::atomic<bool> silent{false};

    ScriptedTransport::Responder responder() {
        return [this](const std::string& line) -> std::vector<std::string> {
            if (silent) return {};
            const std::uint8_t pid = static_cast<std::uint8_t>(std::stoi(line.substr(2), nullptr, 16));
            bool answers = !everyReadFails;
            if (const auto it = scripts.find(pid); it != scripts.end() && answers) {
                std::lock_guard lock(mutex_);
                std::size_t& turn = turns_[pid];
                answers = it->second[std::min(turn, it->second.size() - 1)];
                ++turn;
            }
            if (!answers) return {"NO DATA\r\r>"};
            // Four data bytes suit every scalar row of the catalogue; 0x40 keeps values plausible.
            return {"41 " + line.substr(2) + " 40 40 40 40\r\r>"};
        };
    }

private:
    std::mutex mutex_;
    std::map<std::uint8_t, std::size_t> turns_;
};

// Records what the engine hands over; `onReport` runs at every rate report, `onSample` at every
// sample, both on the polling thread.
class RecordingSink final : public TelemetrySink {
public:
    std::function<void(std::size_t reports)> onReport;
    std::function<void(std::size_t samples)> onSample;

    void ingest(const TelemetrySample& sample) override {
        std::size_t count = 0;
        {
            std::lock_guard lock(mutex_);
            samples_.push_back(sample);
            count = samples_.size();
        }
        if (onSample) onSample(count);
    }
    void updateThroughput(double requestsPerSecond) override {
        std::size_t count = 0;
        {
            std::lock_guard lock(mutex_);
            rates_.push_back(requestsPerSecond);
            count = rates_.size();
        }
        if (onReport) onReport(count);
    }
    std::vector<TelemetrySample> samples() const {
        std::lock_guard lock(mutex_);
        return samples_;
    }
    std::vector<double> rates() const {
        std::lock_guard lock(mutex_);
        return rates_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<TelemetrySample> samples_;
    std::vector<double> rates_;
};

struct Rig {
    Vehicle vehicle;
    std::shared_ptr<ScriptedTransport> transport;
    std::unique_ptr<ELM327Session> session;
    RecordingSink sink;
    std::unique_ptr<TelemetryEngine> engine;

    explicit Rig(TelemetryEngine::Timing timing = {}, ELM327Session::Timing sessionTiming = {.responseTimeout = 1h})
        : transport(std::make_shared<ScriptedTransport>(vehicle.responder())),
          session(std::make_unique<ELM327Session>(transport, sessionTiming)),
          engine(std::make_unique<TelemetryEngine>(*session, sink, std::move(timing))) {
        session->connect();
    }

    // Runs the loop until the sink has seen `reports` rate reports.
    void runCycles(std::size_t reports) {
        sink.onReport = [&, reports](std::size_t count) {
            if (count == reports) engine->stop();
        };
        engine->run();
    }
};

std::vector<std::string> requests(std::initializer_list<std::uint8_t> pids) {
    std::vector<std::string> out;
    for (std::uint8_t pid : pids) out.push_back(requestFor(pid));
    return out;
}

TEST(TelemetryEngineTest, ConfigureSplitsTheSupportedSetIntoThreeLists) {
    struct Case {
        const char* name;
        std::set<std::uint8_t> supported;
        std::vector<std::uint8_t> heroes, secondary, rest;
    };
    const std::vector<Case> cases{
        {"nothing supported", {}, {}, {}, {}},
        {"never-polled parameters stay out", {0x0C, 0x0D, 0x05, 0x01, 0x51}, {0x0C, 0x0D}, {0x05}, {}},
        {"gear joins the high-priority list", {0xA4, 0x0D, 0x0C}, {0x0C, 0x0D, 0xA4}, {}, {}},
        {"secondary in candidate order, rest in catalogue order",
         {0x0C, 0x2F, 0x04, 0x11, 0x46, 0x06, 0x33, 0x5E, 0x1F, 0x00, 0x20, 0x13, 0x1C},
         {0x0C},
         {0x04, 0x11, 0x46, 0x2F},
         {0x06, 0x1F, 0x33, 0x5E}},
        {"numbers the catalogue lacks are never polled", {0x02, 0x14, 0xA5, 0xC0, 0x0D}, {0x0D}, {}, {}},
    };
    for (const Case& c : cases) {
        Rig rig;
        rig.engine->configure(c.supported);
        EXPECT_EQ(rig.engine->heroes(), c.heroes) << c.name;
        EXPECT_EQ(rig.engine->secondary(), c.secondary) << c.name;
        EXPECT_EQ(rig.engine->rest(), c.rest) << c.name;
    }
}

TEST(TelemetryEngineTest, HighPriorityTwicePerCycleAndTheOtherListsInTurn) {
    Rig rig;
    rig.engine->configure({0x0C, 0x0D, 0x04, 0x05, 0x06, 0x07});
    rig.runCycles(3);
    std::vector<std::string> expected;
    for (const auto& cycle : {requests({0x0C, 0x0D, 0x04, 0x0C, 0x0D, 0x06}), requests({0x0C, 0x0D, 0x05, 0x0C, 0x0D, 0x07}),
                              requests({0x0C, 0x0D, 0x04, 0x0C, 0x0D, 0x06})}) {
        expected.insert(expected.end(), cycle.begin(), cycle.end());
    }
    EXPECT_EQ(rig.transport->lines(), expected);
    EXPECT_EQ(rig.sink.samples().size(), expected.size());
    EXPECT_FALSE(rig.engine->isRunning());
}

TEST(TelemetryEngineTest, SamplesCarryTheDecodedReadingAndTheTimeOfTheRead) {
    Rig rig;
    rig.engine->configure({0x0D});
    const auto before = std::chrono::system_clock::now();
    rig.runCycles(1);
    const auto after = std::chrono::system_clock::now();
    const std::vector<TelemetrySample> samples = rig.sink.samples();
    ASSERT_EQ(samples.size(), 2u);
    for (const TelemetrySample& sample : samples) {
        EXPECT_EQ(sample.pid, 0x0D);
        EXPECT_EQ(sample.reading.scalar(), 64.0);
        EXPECT_GE(sample.timestamp, before);
        EXPECT_LE(sample.timestamp, after);
    }
}

TEST(TelemetryEngineTest, NoListsMeansOnlyRateReports) {
    Rig rig;
    rig.engine->configure({});
    rig.runCycles(3);
    EXPECT_TRUE(rig.transport->lines().empty());
    EXPECT_EQ(rig.sink.rates(), (std::vector<double>{0, 0, 0}));
}

TEST(TelemetryEngineTest, HighPriorityParameterAnsweringNoDataIsDroppedAfterFourFailures) {
    Rig rig;
    rig.vehicle.scripts[0x0D] = {false};
    rig.engine->configure({0x0C, 0x0D});
    rig.runCycles(4);
    const std::vector<std::string> lines = rig.transport->lines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "010D"), 4);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "010C"), 8);
    EXPECT_EQ(rig.engine->heroes(), std::vector<std::uint8_t>{0x0C});
    for (const TelemetrySample& sample : rig.sink.samples()) EXPECT_EQ(sample.pid, 0x0C);
}

TEST(TelemetryEngineTest, OnlyFailuresInARowCount) {
    struct Case {
        const char* name;
        std::vector<bool> answers;
        bool dropped;
        std::size_t reads;
    };
    const std::vector<Case> cases{
        {"three failures, a success, three failures", {false, false, false, true, false, false, false, true}, false, 10},
        {"three failures, a success, four failures", {false, false, false, true, false, false, false, false}, true, 8},
        {"four failures", {false, false, false, false, true}, true, 4},
    };
    for (const Case& c : cases) {
        Rig rig;
        rig.vehicle.scripts[0x0C] = c.answers;
        rig.engine->configure({0x0C});
        rig.runCycles(5); // ten reads offered
        const std::vector<std::string> lines = rig.transport->lines();
        EXPECT_EQ(rig.engine->heroes().empty(), c.dropped) << c.name;
        EXPECT_EQ(lines.size(), c.reads) << c.name;
    }
}

TEST(TelemetryEngineTest, DroppingFromARoundRobinListKeepsItsCursor) {
    Rig rig;
    rig.vehicle.scripts[0x04] = {false};
    rig.engine->configure({0x04, 0x05, 0x0B});
    rig.runCycles(12);
    // Secondary reads 04 05 0B in turn; 04 fails on cycles 0, 3, 6 and 9 and leaves the list,
    // whose next read is then index 10 mod 2 = 0.
    EXPECT_EQ(rig.transport->lines(), requests({0x04, 0x05, 0x0B, 0x04, 0x05, 0x0B, 0x04, 0x05, 0x0B, 0x04, 0x05, 0x0B}));
    EXPECT_EQ(rig.engine->secondary(), (std::vector<std::uint8_t>{0x05, 0x0B}));
}

TEST(TelemetryEngineTest, PauseLetsTheCycleFinishAndStopWhilePausedEndsTheLoop) {
    Rig rig({.pausedPoll = 1h});
    rig.engine->configure({0x0C, 0x0D, 0x04, 0x06});
    std::promise<void> firstReport;
    rig.sink.onSample = [&](std::size_t count) {
        if (count == 2) rig.engine->pause(); // in the middle of the first cycle
    };
    rig.sink.onReport = [&](std::size_t count) {
        if (count == 1) firstReport.set_value();
    };
    std::future<void> loop = std::async(std::launch::async, [&] { rig.engine->run(); });
    firstReport.get_future().get();
    const std::vector<std::string> oneCycle = requests({0x0C, 0x0D, 0x04, 0x0C, 0x0D, 0x06});
    // The paused loop reads nothing more; give it time to misbehave before stopping it.
    std::this_thread::sleep_for(30ms);
    EXPECT_EQ(rig.transport->lines(), oneCycle);
    EXPECT_TRUE(rig.engine->isPaused());
    rig.engine->stop();
    ASSERT_EQ(loop.wait_for(20s), std::future_status::ready); // the paused wait was woken
    EXPECT_EQ(rig.transport->lines(), oneCycle);
    EXPECT_EQ(rig.sink.rates().size(), 1u);
}

TEST(TelemetryEngineTest, StopEndsAReadUnderWayWithoutCountingItAsAFailure) {
    Rig rig;
    rig.vehicle.silent = true; // the read would wait an hour for its reply
    rig.engine->configure({0x0C});
    std::future<void> loop = std::async(std::launch::async, [&] { rig.engine->run(); });
    ASSERT_TRUE(rig.transport->waitForLines(1));
    rig.engine->stop();
    ASSERT_EQ(loop.wait_for(20s), std::future_status::ready);
    EXPECT_EQ(rig.transport->lines().size(), 1u);
    EXPECT_EQ(rig.engine->heroes(), std::vector<std::uint8_t>{0x0C});
    EXPECT_TRUE(rig.sink.rates().empty());
}

TEST(TelemetryEngineTest, CancellingTheRunningThreadEndsTheLoop) {
    Rig rig;
    rig.vehicle.silent = true;
    rig.engine->configure({0x0C});
    std::jthread poller([&](std::stop_token stop) { rig.engine->run(stop); });
    ASSERT_TRUE(rig.transport->waitForLines(1));
    poller.request_stop();
    poller.join();
    EXPECT_FALSE(rig.engine->isRunning());
    EXPECT_EQ(rig.transport->lines().size(), 1u);
}

TEST(TelemetryEngineTest, RequestRateCountsTheLastSecondAndFallsWhenReadsFail) {
    // A clock the sink moves: 100 ms per sample while the car answers, then 400 ms per report.
    std::atomic<std::int64_t> elapsedMs{0};
    const TelemetryEngine::Clock::time_point origin{};
    TelemetryEngine::Timing timing;
    timing.now = [&] { return origin + std::chrono::milliseconds(elapsedMs.load()); };
    Rig rig(timing);
    rig.engine->configure({0x0C});
    rig.sink.onSample = [&](std::size_t) { elapsedMs += 100; };
    rig.sink.onReport = [&](std::size_t count) {
        if (count == 6) rig.vehicle.everyReadFails = true;
        if (count >= 6) elapsedMs += 400;
        if (count == 9) rig.engine->stop();
    };
    rig.engine->run();
    // Reports at 0.2 s steps: 2, 4, 6, 8, then 10 (the read exactly one second old still
    // counts); then the reads fail and the window empties as the clock goes on.
    EXPECT_EQ(rig.sink.rates(), (std::vector<double>{2, 4, 6, 8, 10, 10, 6, 2, 0}));
    EXPECT_TRUE(rig.engine->heroes().empty());
}

} // namespace
} // namespace veq
