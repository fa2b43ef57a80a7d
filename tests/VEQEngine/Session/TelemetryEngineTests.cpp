#include "VEQEngine/Session/TelemetryEngine.hpp"
#include "VEQEngine/Session/ScriptedTransport.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <fmt/format.h>
#include <future>
#include <map>
#include <stdexcept>

namespace veq {
namespace {

using namespace std::chrono_literals;
using testing::ScriptedTransport;
using testing::SessionRig;
using Lines = std::vector<std::string>;

Lines requests(std::initializer_list<std::uint8_t> pids) {
    Lines out;
    for (std::uint8_t pid : pids) out.push_back(fmt::format("01{:02X}", pid));
    return out;
}

// Records what the engine hands over; the hooks run on the polling thread.
class RecordingSink final : public TelemetrySink {
public:
    std::function<void(std::size_t)> onReport, onSample;

    void ingest(const TelemetrySample& sample) override {
        std::size_t count;
        {
            std::lock_guard lock(mutex_);
            samples_.push_back(sample);
            count = samples_.size();
        }
        if (onSample) onSample(count);
    }
    void updateThroughput(double requestsPerSecond) override {
        std::size_t count;
        {
            std::lock_guard lock(mutex_);
            rates_.push_back(requestsPerSecond);
            count = rates_.size();
        }
        if (onReport) onReport(count);
    }
    std::vector<TelemetrySample> samples() const { std::lock_guard lock(mutex_); return samples_; }
    std::vector<double> rates() const { std::lock_guard lock(mutex_); return rates_; }

private:
    mutable std::mutex mutex_;
    std::vector<TelemetrySample> samples_;
    std::vector<double> rates_;
};

// Which reads the car answers, a read named by its place among all reads (from 0).
using Answers = std::function<bool(std::uint8_t pid, std::size_t read)>;

// What a scripted parameter is answered: a value, "NO DATA", or its message cut short on the way.
enum Reply { noData, value, broken };

// A car answering mode 01 without headers. A scripted parameter takes its answers in turn and
// then keeps the last; the others always answer, unless `answers` says otherwise.
struct Rig {
    std::map<std::uint8_t, std::vector<Reply>> scripts;
    std::map<std::uint8_t, std::size_t> turns;
    Answers answered;
    std::size_t reads = 0;
    std::atomic<bool> everyReadFails{false}, silent{false};
    SessionRig adapter{[this](const std::string& line) -> Lines {
        if (silent) return {};
        const auto pid = static_cast<std::uint8_t>(std::stoi(line.substr(2), nullptr, 16));
        Reply answer = !everyReadFails && (!answered || answered(pid, reads)) ? value : noData;
        ++reads;
        if (const auto it = scripts.find(pid); it != scripts.end() && answer == value)
            answer = it->second[std::min(turns[pid]++, it->second.size() - 1)];
        // Ten bytes announced, six came.
        if (answer == broken) return {"00A\r0: 41 " + line.substr(2) + " 40 40 40 40\r\r>"};
        return {answer == value ? "41 " + line.substr(2) + " 40 40 40 40\r\r>" : "NO DATA\r\r>"};
    }, {.responseTimeout = 1h}};
    RecordingSink sink;
    std::unique_ptr<TelemetryEngine> engine;

    explicit Rig(std::set<std::uint8_t> supported, TelemetryEngine::Timing timing = {})
        : engine(std::make_unique<TelemetryEngine>(*adapter.session, sink, std::move(timing))) {
        engine->configure(supported);
    }
    Lines lines() const { return adapter.transport->lines(); }
    void runCycles(std::size_t reports) {
        sink.onReport = [&, reports](std::size_t count) { if (count == reports) engine->stop(); };
        engine->run();
    }
};

TEST(TelemetryEngineTest, ConfigureSplitsTheSupportedSetIntoThreeLists) {
    const struct {
        std::set<std::uint8_t> supported;
        std::vector<std::uint8_t> heroes, secondary, rest;
    } cases[] = {
        {{0x0C, 0x0D, 0x05, 0x01, 0x51, 0xA4}, {0x0C, 0x0D, 0xA4}, {0x05}, {}},
        {{0x0C, 0x2F, 0x04, 0x11, 0x46, 0x06, 0x33, 0x5E, 0x1F, 0x00, 0x20, 0x13, 0x1C, 0x02, 0xC0},
         {0x0C}, {0x04, 0x11, 0x46, 0x2F}, {0x06, 0x1F, 0x33, 0x5E}},
    };
    for (const auto& c : cases) {
        Rig rig(c.supported);
        EXPECT_EQ(rig.engine->heroes(), c.heroes);
        EXPECT_EQ(rig.engine->secondary(), c.secondary);
        EXPECT_EQ(rig.engine->rest(), c.rest);
    }
}

TEST(TelemetryEngineTest, HighPriorityTwicePerCycleAndTheOtherListsInTurn) {
    Rig rig({0x0C, 0x0D, 0x04, 0x05, 0x06, 0x07});
    rig.runCycles(3);
    Lines expected;
    for (const auto& cycle : {requests({0x0C, 0x0D, 0x04, 0x0C, 0x0D, 0x06}), requests({0x0C, 0x0D, 0x05, 0x0C, 0x0D, 0x07}),
                              requests({0x0C, 0x0D, 0x04, 0x0C, 0x0D, 0x06})})
        expected.insert(expected.end(), cycle.begin(), cycle.end());
    EXPECT_EQ(rig.lines(), expected);
    const auto samples = rig.sink.samples();
    ASSERT_EQ(samples.size(), expected.size());
    EXPECT_EQ(samples[0].pid, 0x0C);
    EXPECT_EQ(samples[0].reading.scalar(), 0x4040 / 4.0);
}

// Only failures while other reads succeed count toward a drop: a silence of the car or of the
// adapter drops nothing, and values come back on the first cycle the car answers again.
TEST(TelemetryEngineTest, FourCountedFailuresDropAParameterAndASilenceDropsNone) {
    using PIDs = std::vector<std::uint8_t>;
    const struct {
        const char* name;
        std::set<std::uint8_t> supported;
        Answers answers;
        std::size_t cycles;
        PIDs heroes, secondary;
        std::size_t samples;
    } cases[] = {
        // 0C 0D 05 0C 0D per cycle: the car is silent from the second cycle to the seventh.
        {"silence", {0x0C, 0x0D, 0x05}, [](std::uint8_t, std::size_t read) { return read < 5 || read >= 35; }, 8,
         {0x0C, 0x0D}, {0x05}, 10},
        {"one fails while the other answers", {0x0C, 0x0D}, [](std::uint8_t pid, std::size_t) { return pid != 0x0D; },
         3, {0x0C}, {}, 6},
        // 0C 0D A4 0C 0D A4 per cycle; silent from the eleventh read on. 0D has three counted
        // failures then, and 0C answered after it: the silence's first failure counts and drops
        // it. A4 had two: one more counts, the next ones do not.
        {"three and two counted when the silence starts", {0x0C, 0x0D, 0xA4},
         [](std::uint8_t pid, std::size_t read) {
             if (read >= 10) return false;
             if (pid == 0x0D) return false;
             return pid != 0xA4 || read == 2;
         },
         4, {0x0C, 0xA4}, {}, 5},
        // 0C 0D 0C 0D per cycle: 0D fails its first three reads, answers, fails once more.
        {"three failures, a success, a failure", {0x0C, 0x0D},
         [](std::uint8_t pid, std::size_t read) { return pid != 0x0D || read == 7 || read > 9; }, 3, {0x0C, 0x0D},
         {}, 8},
    };
    for (const auto& c : cases) {
        Rig rig(c.supported);
        rig.answered = c.answers;
        rig.runCycles(c.cycles);
        EXPECT_EQ(rig.engine->heroes(), c.heroes) << c.name;
        EXPECT_EQ(rig.engine->secondary(), c.secondary) << c.name;
        EXPECT_EQ(rig.sink.samples().size(), c.samples) << c.name;
    }
    // A lone parameter has no other read to tell its failures from a silence: it is kept.
    Rig lone({0x0C});
    lone.scripts[0x0C] = {noData, noData, noData, noData, noData, value};
    lone.runCycles(4);
    EXPECT_EQ(lone.engine->heroes(), PIDs{0x0C});
    EXPECT_EQ(lone.sink.samples().size(), 3u);
    // From a rotating list: the cursor goes on with the rest (04 fails on cycles 0, 3, ... 12;
    // its first failure, before any success, does not count).
    Rig rotating({0x04, 0x05, 0x0B});
    rotating.scripts[0x04] = {noData};
    rotating.runCycles(15);
    Lines expected;
    for (int i = 0; i < 4; ++i) {
        const Lines turn = requests({0x04, 0x05, 0x0B});
        expected.insert(expected.end(), turn.begin(), turn.end());
    }
    const Lines after = requests({0x04, 0x0B, 0x05});
    expected.insert(expected.end(), after.begin(), after.end());
    EXPECT_EQ(rotating.lines(), expected);
    EXPECT_EQ(rotating.engine->secondary(), (PIDs{0x05, 0x0B}));
}

// A reply broken on the way is no failure: the next poll asks again. From the sixteenth in a row
// each counts, so that a parameter whose answer always breaks is dropped all the same.
TEST(TelemetryEngineTest, ABrokenReplyIsAskedAgainAndCountsOnlyWhenItAlwaysBreaks) {
    const auto times = [](std::size_t n, Reply reply) { return std::vector<Reply>(n, reply); };
    const auto then = [](std::vector<Reply> a, const std::vector<Reply>& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    const struct {
        const char* name;
        std::vector<Reply> speed; // 0D's replies, two reads per cycle
        std::size_t cycles;
        std::vector<std::uint8_t> heroes;
    } cases[] = {
        {"four broken", then(times(4, broken), {value}), 3, {0x0C, 0x0D}},
        {"fifteen broken, three NO DATA", then(times(15, broken), then(times(3, noData), {value})), 10, {0x0C, 0x0D}},
        {"sixteen broken, three NO DATA", then(times(16, broken), then(times(3, noData), {value})), 10, {0x0C}},
        {"always broken", {broken}, 10, {0x0C}},
        {"four NO DATA", then(times(4, noData), {value}), 3, {0x0C}},
    };
    for (const auto& c : cases) {
        Rig rig({0x0C, 0x0D});
        rig.scripts[0x0D] = c.speed;
        rig.runCycles(c.cycles);
        EXPECT_EQ(rig.engine->heroes(), c.heroes) << c.name;
    }
}

TEST(TelemetryEngineTest, ALostLinkEndsTheLoopWithItsErrorAndFailsNoParameter) {
    Rig rig({0x0C, 0x0D});
    rig.silent = true; // the reply wait lasts an hour
    auto run = std::async(std::launch::async, [&] { rig.engine->run(); });
    ASSERT_TRUE(rig.adapter.transport->waitForLines(1));
    rig.adapter.transport->loseLink();
    if (run.wait_for(20s) != std::future_status::ready) {
        rig.engine->stop(); // ends the wait, so that the test ends
        FAIL() << "the loop missed the lost link";
    }
    try {
        run.get();
        ADD_FAILURE() << "the loop went on without its link";
    } catch (const TransportError& e) {
        EXPECT_STREQ(e.what(), "Connexion perdue avec l'adaptateur");
    }
    EXPECT_FALSE(rig.engine->isRunning());
    EXPECT_EQ(rig.engine->heroes(), (std::vector<std::uint8_t>{0x0C, 0x0D}));
    EXPECT_EQ(rig.lines(), requests({0x0C}));
}

TEST(TelemetryEngineTest, PauseLetsTheCycleFinishAndStopWhilePausedEndsTheLoop) {
    Rig rig({0x0C, 0x0D, 0x04, 0x06}, {.pausedPoll = 1h});
    std::promise<void> firstReport;
    rig.sink.onSample = [&](std::size_t count) { if (count == 2) rig.engine->pause(); };
    rig.sink.onReport = [&](std::size_t count) { if (count == 1) firstReport.set_value(); };
    auto loop = std::async(std::launch::async, [&] { rig.engine->run(); });
    firstReport.get_future().get();
    std::this_thread::sleep_for(30ms); // time for a paused loop to misbehave
    const Lines oneCycle = requests({0x0C, 0x0D, 0x04, 0x0C, 0x0D, 0x06});
    EXPECT_EQ(rig.lines(), oneCycle);
    rig.engine->stop();
    ASSERT_EQ(loop.wait_for(20s), std::future_status::ready);
    EXPECT_EQ(rig.lines(), oneCycle);

    // The values read after the pause began carry its epoch; a repeated call moves nothing.
    rig.engine->pause();
    rig.engine->resume();
    rig.engine->resume();
    rig.runCycles(2);
    std::vector<std::uint64_t> epochs;
    for (const auto& sample : rig.sink.samples()) epochs.push_back(sample.pauseEpoch);
    EXPECT_EQ(epochs, (std::vector<std::uint64_t>{0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 2, 2}));
}

TEST(TelemetryEngineTest, StopOrCancellationEndsAReadUnderWayWithoutCountingAFailure) {
    for (const bool byToken : {false, true}) {
        Rig rig({0x0C});
        rig.silent = true; // the read would wait an hour
        std::jthread poller([&](std::stop_token stop) { rig.engine->run(byToken ? stop : std::stop_token{}); });
        ASSERT_TRUE(rig.adapter.transport->waitForLines(1));
        if (byToken) poller.request_stop();
        else rig.engine->stop();
        poller.join();
        EXPECT_FALSE(rig.engine->isRunning());
        EXPECT_EQ(rig.lines().size(), 1u);
        EXPECT_EQ(rig.engine->heroes(), std::vector<std::uint8_t>{0x0C});
    }
}

TEST(TelemetryEngineTest, RequestRateCountsTheLastSecondAndFallsWhenReadsFail) {
    // The sink moves the clock: 100 ms per sample while the car answers, then 400 ms per report.
    std::atomic<std::int64_t> elapsedMs{0};
    TelemetryEngine::Timing timing;
    timing.now = [&] { return TelemetryEngine::Clock::time_point{} + std::chrono::milliseconds(elapsedMs.load()); };
    Rig rig({0x0C}, timing);
    rig.sink.onSample = [&](std::size_t) { elapsedMs += 100; };
    rig.sink.onReport = [&](std::size_t count) {
        if (count == 6) rig.everyReadFails = true;
        if (count >= 6) elapsedMs += 400;
        if (count == 9) rig.engine->stop();
    };
    rig.engine->run();
    EXPECT_EQ(rig.sink.rates(), (std::vector<double>{2, 4, 6, 8, 10, 10, 6, 2, 0}));
}

TEST(TelemetryEngineTest, FailingSinkNeitherEndsTheLoopNorEscapesIt) {
    Rig rig({0x0C});
    rig.sink.onSample = [](std::size_t) { throw std::runtime_error("plein"); };
    rig.sink.onReport = [&](std::size_t count) {
        if (count == 3) rig.engine->stop();
        throw std::runtime_error("plein");
    };
    EXPECT_NO_THROW(rig.engine->run());
    EXPECT_EQ(rig.sink.rates().size(), 3u);
    EXPECT_EQ(rig.sink.samples().size(), 6u);
    EXPECT_EQ(rig.engine->heroes(), std::vector<std::uint8_t>{0x0C}); // not the parameter's failure
}

TEST(TelemetryEngineTest, StopBeforeRunEndsTheNextRunOnly) {
    Rig rig({0x0C});
    rig.engine->stop();
    rig.runCycles(1);
    ASSERT_TRUE(rig.lines().empty());
    ASSERT_TRUE(rig.sink.rates().empty());
    rig.runCycles(1);
    EXPECT_EQ(rig.lines(), requests({0x0C, 0x0C}));
}

} // namespace
} // namespace veq
