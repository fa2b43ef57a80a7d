// The link to the adapter lost, or silent, while live: the drive recorded so far is written out
// at once and ends there, the window is told, and a new connection starts clean.
#include "ConnectionFixtures.hpp"
#include "ToolFixtures.hpp"

#include "VEQStore/Catalog/SessionCatalog.hpp"
#include "VEQStore/Telemetry/TelemetryFile.hpp"
#include "VEQUI/Model/LinkNotice.hpp"

#include <gtest/gtest.h>

#include <atomic>

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

    car.transport()->loseLink();
    EXPECT_TRUE(waitUntil([&] { return rig->linkNotice() == LinkNotice::linkLost; }));
    rig->disconnect();
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
