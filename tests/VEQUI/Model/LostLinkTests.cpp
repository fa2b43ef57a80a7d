// The link to the adapter lost, or silent, while live: the drive recorded so far is written out
// at once and ends there, the window is told, and a new connection starts clean.
#include "ConnectionFixtures.hpp"
#include "ToolFixtures.hpp"

#include "VEQStore/Catalog/SessionCatalog.hpp"
#include "VEQStore/Telemetry/TelemetryFile.hpp"
#include "VEQUI/Model/LinkNotice.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

using namespace veq;
using namespace veq::testing;
using namespace std::chrono_literals;

namespace {

SessionRecord onlyDrive(AppModel& model) {
    const auto records = model.sessionCatalog().allSessions();
    EXPECT_EQ(records.size(), 1U);
    return records.empty() ? SessionRecord{} : records.front();
}

void loseLink(const ScriptedCar& car) {
    car.transport()->loseLink();
    car.transport()->failSendsContaining("\r");
}

// The serial side of an adapter: it answers the commands it received one after the other, from
// a thread of its own, as a Wi-Fi adapter does. Stalled, it answers nothing and keeps what comes
// in; set going again, it answers all of it, in order.
class SerialSide {
public:
    explicit SerialSide(ScriptedCar& car) : car_(car) {}

    void receive(const std::string& line) {
        std::lock_guard lock(mutex_);
        pending_.push_back(line);
        changed_.notify_all();
    }
    void stall(bool stalled) {
        std::lock_guard lock(mutex_);
        stalled_ = stalled;
        changed_.notify_all();
    }

private:
    void run(std::stop_token stop) {
        std::unique_lock lock(mutex_);
        while (changed_.wait(lock, stop, [&] { return !stalled_ && !pending_.empty(); })) {
            const std::string line = pending_.front();
            pending_.pop_front();
            lock.unlock();
            std::this_thread::sleep_for(10ms); // the bus answers slower than the session asks
            if (const auto transport = car_.transport()) {
                for (const std::string& chunk : car_.carAnswer(line)) transport->push(chunk);
            }
            lock.lock();
        }
    }

    ScriptedCar& car_;
    std::mutex mutex_;
    std::condition_variable_any changed_;
    std::deque<std::string> pending_;
    bool stalled_ = false;
    std::jthread worker_{[this](std::stop_token stop) { run(stop); }}; // last: stopped first
};

std::size_t engineSpeedReads(const AppModel& model) {
    const auto& stats = model.store().stats();
    const auto it = stats.find(0x0C);
    return it == stats.end() ? 0 : static_cast<std::size_t>(it->second.sampleCount);
}

} // namespace

TEST(LostLinkTests, TheDriveEndsAtTheLossOnDiskAndInTheCatalogueAndTheRecorderCanStillBeSaved) {
    ScriptedCar car;
    ConnectionRig rig({.car = &car});
    ASSERT_TRUE(rig.connect()) << rig->phase().message;
    ASSERT_TRUE(waitUntil([&] { return rig->store().recordedSampleCount() >= 3 && rig->store().requestsPerSecond() > 0; }));
    const auto url = rig->store().recordingURL();
    ASSERT_TRUE(url.has_value());
    EXPECT_TRUE(rig->contactOn());
    EXPECT_EQ(rig->linkNotice(), LinkNotice::none);
    const auto origin = rig->recorderOrigin();
    ASSERT_TRUE(origin.has_value());

    loseLink(car);
    ASSERT_TRUE(waitUntil([&] { return rig->linkNotice() == LinkNotice::linkLost; }));
    EXPECT_EQ(rig->phase(), AppModel::Phase::live());
    EXPECT_FALSE(rig->contactOn());
    EXPECT_TRUE(waitUntil([&] { return rig->store().requestsPerSecond() == 0; }));

    const SessionRecord ended = onlyDrive(*rig);
    ASSERT_TRUE(ended.endDate.has_value());
    EXPECT_FALSE(rig->isCurrentSession(ended));
    EXPECT_TRUE(rig->isDriveEndedByLoss(ended));
    const auto onDisk = TelemetryFile::read(*url).records.size();
    EXPECT_GE(onDisk, 3U);
    EXPECT_EQ(ended.sampleCount, static_cast<std::int64_t>(onDisk));

    // What the recorder held of the moments before the loss is still saved.
    const auto savedFile = rig.folder / "avant-la-perte.veqt";
    rig.dialogs->saveAnswers.push_back(savedFile);
    rig->saveRange(*origin, std::chrono::system_clock::now());
    ASSERT_TRUE(waitUntil([&] { return rig->lastSavedLog().has_value(); }));
    EXPECT_FALSE(TelemetryFile::read(savedFile).records.empty());

    // Neither the disconnection nor a later moment moves the drive's end.
    settleFor(1100ms);
    rig->disconnect();
    const SessionRecord after = onlyDrive(*rig);
    EXPECT_EQ(after.endDate, ended.endDate);
    EXPECT_EQ(after.sampleCount, ended.sampleCount);
    EXPECT_EQ(rig->linkNotice(), LinkNotice::none);
    EXPECT_FALSE(rig->isDriveEndedByLoss(after));

    // The next connection starts clean.
    ASSERT_TRUE(rig.connect()) << rig->phase().message;
    settleFor(600ms);
    EXPECT_EQ(rig->linkNotice(), LinkNotice::none);
    EXPECT_TRUE(rig->contactOn());
    rig->disconnect();
}

TEST(LostLinkTests, ALossShowsWhileTheBusMonitorPausesPollingAndThePauseIsNoSilence) {
    ScriptedCar car([](const std::string& line) -> std::optional<std::vector<std::string>> {
        if (line == "ATMA") return silence(); // a quiet bus
        return std::nullopt;
    });
    ConnectionRig rig({.car = &car, .valueSilence = 300ms});
    ASSERT_TRUE(rig.connect()) << rig->phase().message;
    rig->startSniffer();
    ASSERT_TRUE(waitUntil([&] { return AppModelToolsAccess::pollingPaused(*rig) && car.sent("ATMA"); }));
    settleFor(900ms);
    EXPECT_EQ(rig->linkNotice(), LinkNotice::none);

    // The loss ends the monitor and its pause; a pause of another tool goes on, so that only the
    // session's own word can tell the loss.
    PollingPause::Lease otherTool = AppModelToolsAccess::holdPolling(*rig);
    car.transport()->loseLink();
    EXPECT_TRUE(waitUntil([&] { return rig->linkNotice() == LinkNotice::linkLost; }));
    EXPECT_TRUE(AppModelToolsAccess::pollingPaused(*rig));
    otherTool.release();
    rig->disconnect();
}

// A car that answers "NO DATA" for a moment (an ignition switched off and on), and an adapter
// whose serial side stalls past the reply time-out and then answers everything it was sent: the
// silence is told, and once the car answers again values flow, without reconnecting.
TEST(LostLinkTests, ValuesComeBackAfterASilentCarOrAdapter) {
    for (const bool heldReplies : {false, true}) {
        SCOPED_TRACE(heldReplies ? "held replies" : "NO DATA");
        std::atomic<bool> noData = false;
        std::unique_ptr<SerialSide> serial;
        ScriptedCar car([&](const std::string& line) -> std::optional<std::vector<std::string>> {
            if (heldReplies) {
                serial->receive(line);
                return silence();
            }
            if (noData && line.starts_with("01")) return says("NO DATA");
            return std::nullopt;
        });
        serial = std::make_unique<SerialSide>(car);
        ConnectionRig rig({.car = &car, .responseTimeout = 300ms, .valueSilence = 600ms});
        ASSERT_TRUE(rig.connect()) << rig->phase().message;
        ASSERT_TRUE(waitUntil([&] { return engineSpeedReads(*rig) > 0 && rig->store().requestsPerSecond() > 0; }));

        noData = true;
        serial->stall(true);
        ASSERT_TRUE(waitUntil([&] { return rig->linkNotice() == LinkNotice::noValues; }));
        settleFor(700ms); // several reads more fail, or wait out their time-out
        const std::size_t before = engineSpeedReads(*rig);

        noData = false;
        serial->stall(false);
        EXPECT_TRUE(waitUntil([&] {
            return rig->linkNotice() == LinkNotice::none && rig->store().requestsPerSecond() > 0 &&
                   engineSpeedReads(*rig) >= before + 10;
        }));
        EXPECT_EQ(rig->sessionCatalog().allSessions().size(), 1U);
        rig->disconnect();
        serial.reset();
    }
}

TEST(LostLinkTests, AnAdapterThatStopsAnsweringIsToldUntilAReadSucceedsAgain) {
    // The first engine-speed request after `hold` is raised waits at the gate: no read succeeds
    // meanwhile, though the link stays up.
    std::atomic<bool> hold = false;
    ScriptGate gate;
    ScriptedCar car([&](const std::string& line) -> std::optional<std::vector<std::string>> {
        if (line == "010C" && hold.exchange(false)) gate.wait();
        return std::nullopt;
    });
    ConnectionRig rig({.car = &car, .valueSilence = 500ms});
    ASSERT_TRUE(rig.connect()) << rig->phase().message;
    ASSERT_TRUE(waitUntil([&] { return rig->store().lastValueAt().has_value(); }));
    EXPECT_EQ(rig->linkNotice(), LinkNotice::none);

    hold = true;
    ASSERT_TRUE(waitUntil([&] { return gate.reached(); }));
    ASSERT_TRUE(waitUntil([&] { return rig->linkNotice() == LinkNotice::noValues; }));
    EXPECT_TRUE(rig->contactOn());
    EXPECT_TRUE(waitUntil([&] { return rig->store().requestsPerSecond() == 0; }));

    gate.open();
    EXPECT_TRUE(waitUntil([&] { return rig->linkNotice() == LinkNotice::none; }));
    rig->disconnect();
}

TEST(LostLinkTests, SilenceCountsFromTheLastValueOrFromWhenPollingLastResumed) {
    using Clock = ValueSilence::Clock;
    const Clock::time_point t0{};
    ValueSilence silence(20s);
    EXPECT_FALSE(silence.observe(t0, true, std::nullopt));
    EXPECT_FALSE(silence.observe(t0 + 19s, true, std::nullopt));
    EXPECT_TRUE(silence.observe(t0 + 20s, true, std::nullopt));
    // A value puts the silence back to its start.
    EXPECT_FALSE(silence.observe(t0 + 21s, true, t0 + 20s));
    EXPECT_TRUE(silence.observe(t0 + 40s, true, t0 + 20s));
    // A pause says nothing, and polling resumed counts anew.
    EXPECT_FALSE(silence.observe(t0 + 90s, false, t0 + 20s));
    EXPECT_FALSE(silence.observe(t0 + 100s, true, t0 + 20s));
    EXPECT_FALSE(silence.observe(t0 + 119s, true, t0 + 20s));
    EXPECT_TRUE(silence.observe(t0 + 120s, true, t0 + 20s));
}
