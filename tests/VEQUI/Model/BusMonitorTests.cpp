// The bus monitor of the model: rows from the simulated car's frames, the recording and its ASC
// trace, stops at every stage, a failing adapter, the trip's runs broken by a monitor run, and
// the bound of the recording.
#include "ToolFixtures.hpp"

#include "VEQUI/Model/ASCTrace.hpp"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <atomic>

using namespace veq;
using namespace veq::testing;
using Access = AppModelToolsAccess;
using Bytes = std::vector<std::uint8_t>;

namespace {

// The monitor has let go of the adapter: its task ended and polling answers again.
void expectPollingBack(const AppModel& model) {
    EXPECT_TRUE(waitUntil([&] { return !Access::snifferTaskRunning(model); }));
    EXPECT_FALSE(Access::pollingPaused(model));
    EXPECT_TRUE(pollingAnswers(model));
}

// A scripted adapter that prints `frames` when monitoring starts.
ScriptedCar::Script monitorPrinting(std::vector<std::string> frames) {
    return [frames](const std::string& line) -> std::optional<std::vector<std::string>> {
        if (line != "ATMA") return std::nullopt;
        std::vector<std::string> chunks;
        for (const std::string& frame : frames) chunks.push_back(frame + "\r");
        return chunks;
    };
}

} // namespace

TEST(BusMonitorTests, SimulatedCarFillsRowsAndRecordsPollingResumesAfterAStopAndDisconnectEndsIt) {
    ConnectionRig rig;
    ASSERT_TRUE(rig.connect()) << rig->phase().message;
    ASSERT_TRUE(pollingAnswers(*rig));
    rig->toggleSnifferRecording();
    rig->startSniffer();
    EXPECT_TRUE(rig->sniffing() && rig->snifferRecording());
    const auto rowOf = [&](const char* id) -> const CANFrameRow* {
        const auto found = rig->snifferRows().find(id);
        return found == rig->snifferRows().end() ? nullptr : &found->second;
    };
    ASSERT_TRUE(waitUntil([&] { return rowOf("0C8") && rowOf("0C8")->count >= 3; }, 20s));
    EXPECT_EQ(rig->snifferRows().size(), 4u); // the four frames of the simulated bus
    // The adapter is monitoring: no poll gets through meanwhile.
    const std::int64_t samples = engineSpeedSamples(*rig);
    ASSERT_TRUE(waitUntil([&] { return rowOf("0C8")->count >= 8; }, 20s));
    EXPECT_EQ(engineSpeedSamples(*rig), samples);
    EXPECT_TRUE(Access::pollingPaused(*rig));
    const CANFrameRow& row = *rowOf("0C8");
    EXPECT_EQ(row.data.size(), 8u);
    EXPECT_NE(std::find(row.changed.begin(), row.changed.end(), true), row.changed.end()); // its counter moves
    EXPECT_GT(row.rateHz(), 0.0);
    EXPECT_GE(rig->recordedFrameCount(), 8);

    rig->stopSniffer();
    EXPECT_FALSE(rig->sniffing());
    expectPollingBack(*rig);
    // The last table and the recording stay for the screen and the export.
    EXPECT_EQ(rig->snifferRows().size(), 4u);
    EXPECT_TRUE(rig->snifferRecording());
    const auto body = [](const std::string& trace) { return trace.substr(trace.find('\n')); }; // after the date
    EXPECT_EQ(body(rig->snifferASCText()), body(ASCTrace::text(rig->recordedFrames(), {})));

    // A fresh start empties the table; the recording goes on until the connection ends.
    const int recorded = rig->recordedFrameCount();
    rig->startSniffer();
    EXPECT_TRUE(rig->snifferRows().empty());
    EXPECT_TRUE(waitUntil([&] { return rig->recordedFrameCount() > recorded && rowOf("3D9"); }, 20s));
    rig->disconnect();
    EXPECT_FALSE(rig->sniffing() || rig->snifferRecording());
    EXPECT_TRUE(rig->snifferRows().empty());
    EXPECT_EQ(rig->recordedFrameCount(), 0);
    EXPECT_TRUE(waitUntil([&] { return !Access::snifferTaskRunning(*rig); }));

    ASSERT_TRUE(rig.connect()) << rig->phase().message;
    rig->startSniffer();
    EXPECT_TRUE(waitUntil([&] { return !rig->snifferRows().empty(); }, 20s));
    rig->stopSniffer();
    expectPollingBack(*rig);
}

TEST(BusMonitorTests, AStopDuringTheStartPauseNeverEntersMonitorModeAndStartsTakeTurns) {
    ScriptedCar car(monitorPrinting({"7E8 03 41 0D 00"}));
    // A start pause long enough that every stop below comes during it.
    ConnectionRig rig({.car = &car, .monitorStartPause = std::chrono::hours(1)});
    ASSERT_TRUE(rig.connect()) << rig->phase().message;

    rig->startSniffer();
    ASSERT_TRUE(waitUntil([&] { return Access::pollingPaused(*rig); }));
    rig->stopSniffer();
    EXPECT_FALSE(rig->sniffing());
    expectPollingBack(*rig);
    EXPECT_FALSE(car.sent("ATMA"));

    // Start, stop, start at once: the second run waits for the first to have let go, and stays
    // in its start pause with polling paused, as the last start asked.
    rig->startSniffer();
    rig->stopSniffer();
    rig->startSniffer();
    EXPECT_TRUE(waitUntil([&] { return Access::pollingPaused(*rig); }));
    settleFor(200ms);
    EXPECT_TRUE(rig->sniffing());
    EXPECT_TRUE(Access::pollingPaused(*rig)) << "the first run's end resumed polling under the second";
    rig->stopSniffer();
    expectPollingBack(*rig);
    EXPECT_FALSE(car.sent("ATMA"));
}

TEST(BusMonitorTests, StartsAndStopsInQuickSuccessionLeaveTheAdapterAsTheLastCallAsked) {
    ScriptedCar car(monitorPrinting({"7E8 03 41 0D 00"}));
    ConnectionRig rig({.car = &car, .monitorStartPause = 1ms});
    ASSERT_TRUE(rig.connect()) << rig->phase().message;

    for (int i = 0; i < 5; ++i) {
        rig->startSniffer();
        settleFor(std::chrono::milliseconds(i * 3));
        rig->stopSniffer();
    }
    rig->startSniffer();
    EXPECT_TRUE(waitUntil([&] { return rig->snifferRows().contains("7E8"); }, 20s));
    EXPECT_TRUE(rig->sniffing());
    EXPECT_TRUE(Access::pollingPaused(*rig));
    rig->stopSniffer();
    expectPollingBack(*rig);
    // Every monitor mode entered was left before the next one began.
    bool monitoring = false;
    for (const std::string& line : car.lines()) {
        if (line == "ATMA") {
            EXPECT_FALSE(monitoring) << "monitor mode entered twice without leaving";
            monitoring = true;
        } else if (line == "ATCAF1") {
            monitoring = false;
        }
    }
    EXPECT_FALSE(monitoring);
    EXPECT_GE(car.count("ATMA"), 1u);
}

TEST(BusMonitorTests, MonitorModeThatCannotStartEndsTheMonitorAndPollingResumes) {
    ScriptedCar car;
    car.failSendsContaining("ATMA");
    ConnectionRig rig({.car = &car});
    ASSERT_TRUE(rig.connect()) << rig->phase().message;

    rig->startSniffer();
    EXPECT_TRUE(rig->sniffing());
    EXPECT_TRUE(waitUntil([&] { return !rig->sniffing(); }, 20s));
    EXPECT_TRUE(rig->snifferRows().empty());
    expectPollingBack(*rig);
}

TEST(BusMonitorTests, AMonitorRunBreaksTheTripsLaunchAlsoFromAReadEndedAfterThePauseBegan) {
    std::atomic<int> kmh{0};
    std::atomic<bool> holdSpeedRead{false};
    ScriptGate gate;
    ScriptedCar car([&](const std::string& line) -> std::optional<std::vector<std::string>> {
        if (line == "ATMA") return std::vector<std::string>{"7E8 03 41 0D 00\r"};
        if (line != "010D") return std::nullopt;
        if (holdSpeedRead.exchange(false)) gate.wait();
        return says(fmt::format("7E803410D{:02X}", kmh.load()));
    });
    ConnectionRig rig({.car = &car});
    ASSERT_TRUE(rig.connect()) << rig->phase().message;
    const auto trip = [&] { return rig->store().trip(); };
    ASSERT_TRUE(waitUntil([&] { return trip().launchStart.has_value(); }, 15s)); // standing still

    // A speed read under way when the monitor pauses polling: its value comes after the pause began.
    holdSpeedRead = true;
    ASSERT_TRUE(waitUntil([&] { return gate.reached(); }));
    rig->startSniffer();
    ASSERT_TRUE(waitUntil([&] { return Access::pollingPaused(*rig); }));
    gate.open();
    ASSERT_TRUE(waitUntil([&] { return rig->snifferRows().contains("7E8"); }, 20s));
    settleFor(1500ms); // long enough for a 0-100, were the pause bridged
    kmh = 114;
    rig->stopSniffer();
    expectPollingBack(*rig);
    ASSERT_TRUE(waitUntil([&] { return trip().lastSpeed == 114; }));
    EXPECT_FALSE(trip().zeroToHundredSec);
    EXPECT_FALSE(trip().launchStart); // timed again from the next stop only
}

TEST(BusMonitorTests, TheRecordingIsBoundedAndRestartsFresh) {
    ModelRig rig;
    AppModel& m = *rig.model;
    m.startSniffer(); // not live: nothing
    EXPECT_FALSE(m.sniffing());

    m.toggleSnifferRecording();
    const MonitorFrame frame = *MonitorFrame::parse("00000000 01 02", std::chrono::system_clock::now());
    Access::applyMonitorFrames(m, std::vector<MonitorFrame>(AppModel::maxRecordedFrames + 1, frame));
    EXPECT_EQ(m.recordedFrames().size(), AppModel::maxRecordedFrames);
    EXPECT_TRUE(m.snifferRecording());
    const int count = m.snifferRows().at("00000000").count;
    Access::ingestFrame(m, "00000000 01 03");
    EXPECT_EQ(m.snifferRows().at("00000000").count, count + 1); // the table goes on
    EXPECT_EQ(m.recordedFrames().size(), AppModel::maxRecordedFrames);

    m.toggleSnifferRecording(); // off: the frames stay for the export
    EXPECT_EQ(m.recordedFrames().size(), AppModel::maxRecordedFrames);
    m.toggleSnifferRecording(); // on again: a fresh recording
    Access::ingestFrame(m, "7E8 05");
    ASSERT_EQ(m.recordedFrameCount(), 1);
    EXPECT_EQ(m.recordedFrames()[0].id, "7E8");
    EXPECT_EQ(m.recordedFrames()[0].data, Bytes{0x05});
}
