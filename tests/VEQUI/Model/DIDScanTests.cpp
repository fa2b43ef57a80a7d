// The data-identifier scan and watch of the model: against the simulated car, and against
// scripted adapters for a stop midway and a failing adapter.
#include "ToolFixtures.hpp"

#include "VEQSupport/Text.hpp"

#include <gtest/gtest.h>

#include <atomic>

using namespace veq;
using namespace veq::testing;
using Access = AppModelToolsAccess;
using Progress = AppModel::DIDScanProgress;
using Bytes = std::vector<std::uint8_t>;

namespace {

std::vector<std::uint16_t> didsOn(const AppModel& model, const std::string& ecu) {
    std::vector<std::uint16_t> out;
    for (const DiscoveredDID& d : model.discoveredDIDs()) {
        if (d.ecu == ecu) out.push_back(d.did);
    }
    return out;
}

const DiscoveredDID* entry(const AppModel& model, std::uint16_t did, const std::string& ecu = "7E0") {
    for (const DiscoveredDID& d : model.discoveredDIDs()) {
        if (d.did == did && d.ecu == ecu) return &d;
    }
    return nullptr;
}

bool scanEnds(const AppModel& model) { return waitUntil([&] { return !model.didScanning(); }, 30s); }

} // namespace

TEST(DIDScanTests, AWatchMarksChangingBytesHoldsPollingPausedOverAScanAndEndsWithTheConnection) {
    ConnectionRig rig;
    ASSERT_TRUE(rig.connect()) << rig->phase().message;
    rig->startDIDScan(DIDRange{0x2000, 0x20FF, {}, {}});
    ASSERT_TRUE(scanEnds(*rig));
    EXPECT_EQ(didsOn(*rig, "7E0"), (std::vector<std::uint16_t>{0x2001, 0x2002, 0x2003, 0x2004}));

    rig->toggleDIDWatch();
    EXPECT_TRUE(rig->didWatching());
    // Coolant and oil warm up on the simulated car: their bytes change between readings.
    const auto changing = [&] {
        for (const DiscoveredDID& d : rig->discoveredDIDs()) {
            if (d.reads >= 3 && std::find(d.changed.begin(), d.changed.end(), true) != d.changed.end()) return true;
        }
        return false;
    };
    EXPECT_TRUE(waitUntil(changing, 30s));
    EXPECT_TRUE(Access::pollingPaused(*rig));
    for (const DiscoveredDID& d : rig->discoveredDIDs()) EXPECT_EQ(d.changed.size(), d.bytes.size());

    // A scan that ends while the watch goes on leaves polling paused for the watch.
    rig->startDIDScan(DIDRange{0xF190, 0xF190, {}, {}});
    ASSERT_TRUE(scanEnds(*rig));
    EXPECT_NE(entry(*rig, 0xF190), nullptr);
    EXPECT_TRUE(Access::pollingPaused(*rig)) << "the scan's end resumed polling under the watch";
    const int reads = entry(*rig, 0x2001)->reads;
    EXPECT_TRUE(waitUntil([&] { return entry(*rig, 0x2001)->reads > reads; }, 20s)); // the watch goes on

    rig->toggleDIDWatch();
    EXPECT_FALSE(rig->didWatching());
    EXPECT_TRUE(waitUntil([&] { return !Access::pollingPaused(*rig); }));
    EXPECT_TRUE(pollingAnswers(*rig));

    // Disconnecting stops a watch; the list survives and the next connection scans over its
    // own session.
    rig->toggleDIDWatch();
    ASSERT_TRUE(waitUntil([&] { return entry(*rig, 0x2001)->reads > reads + 1; }, 20s));
    rig->disconnect();
    EXPECT_TRUE(waitUntil([&] { return !Access::didTaskRunning(*rig); })) << "the watch outlived its connection";
    const int readsAtEnd = entry(*rig, 0x2001)->reads;
    settleFor(300ms);
    EXPECT_EQ(entry(*rig, 0x2001)->reads, readsAtEnd);
    EXPECT_EQ(didsOn(*rig, "7E0").size(), 5u);
    ASSERT_TRUE(rig.connect()) << rig->phase().message;
    const auto before = entry(*rig, 0x2001)->lastSeen;
    rig->startDIDScan(DIDRange{0x2001, 0x2001, {}, {}});
    ASSERT_TRUE(scanEnds(*rig));
    EXPECT_GT(entry(*rig, 0x2001)->lastSeen, before);
    EXPECT_TRUE(pollingAnswers(*rig));
}

TEST(DIDScanTests, AStoppedScanResumesPollingOnlyOnceTheScanHasReturned) {
    ScriptGate gate;
    ScriptedCar car([&](const std::string& line) -> std::optional<std::vector<std::string>> {
        if (line == "222005") gate.wait();
        return std::nullopt;
    });
    ConnectionRig rig({.car = &car});
    ASSERT_TRUE(rig.connect()) << rig->phase().message;

    rig->startDIDScan(DIDRange{0x2000, 0x20FF, {}, {}});
    ASSERT_TRUE(waitUntil([&] { return gate.reached(); }, 20s));
    rig->stopDIDScan();
    EXPECT_FALSE(rig->didScanning());
    EXPECT_EQ(rig->didScanProgress(), std::nullopt);
    EXPECT_TRUE(Access::pollingPaused(*rig)) << "polling resumed while the scan still held the adapter";

    gate.open();
    EXPECT_TRUE(waitUntil([&] { return !Access::pollingPaused(*rig); }));
    EXPECT_TRUE(pollingAnswers(*rig));
    EXPECT_FALSE(rig->didScanning());
    EXPECT_EQ(rig->didScanProgress(), std::nullopt); // no late report of the stopped scan
    EXPECT_FALSE(car.sent("22207F")) << "the scan went on after its stop";
}

// A scan that could not read everything says so until the next scan or the disconnection: cut
// short by a mute adapter or a lost link, or gone through with an identifier never answered.
// A lost link ends a watch too.
TEST(DIDScanTests, AScanEndedByAMuteAdapterIsMarkedInterruptedUntilTheNextScanOrTheDisconnection) {
    using Shortfall = AppModel::DIDScanShortfall;
    std::atomic<bool> mute = false, muteAt2003 = true, lose2003 = false, linkGoesAt2002 = false, hold2003 = false;
    std::string held; // the command lock serialises the script
    ScriptedCar car([&](const std::string& line) -> std::optional<std::vector<std::string>> {
        if (line == "222003" && muteAt2003.exchange(false)) mute = true;
        if (line == "222003" && hold2003) {
            held = car.carAnswer(line).front();
            return silence();
        }
        if (line == "222004" && !held.empty()) {
            std::vector<std::string> own = car.carAnswer(line);
            own.front().insert(0, std::exchange(held, {}));
            return own;
        }
        if (line == "222002" && linkGoesAt2002) {
            car.transport()->failSendsContaining("");
            car.transport()->loseLink();
        }
        return mute || (line == "222003" && lose2003) ? silence() : std::nullopt;
    });
    ConnectionRig rig({.car = &car, .responseTimeout = 100ms, .adapterSilence = 1s});
    ASSERT_TRUE(rig.connect()) << rig->phase().message;

    rig->startDIDScan(DIDRange{0x2000, 0x20FF, {}, {}});
    ASSERT_TRUE(scanEnds(*rig));
    EXPECT_TRUE(rig->didScanInterrupted());
    EXPECT_EQ(rig->didScanShortfall().value_or(Shortfall{}).kind, Shortfall::Kind::adapterSilent);
    EXPECT_EQ(didsOn(*rig, "7E0"), (std::vector<std::uint16_t>{0x2001, 0x2002}));

    // The adapter answers again: the next scan starts unmarked and ends whole.
    mute = false;
    rig->startDIDScan(DIDRange{0x2000, 0x20FF, {}, {}});
    EXPECT_FALSE(rig->didScanInterrupted());
    ASSERT_TRUE(scanEnds(*rig));
    EXPECT_EQ(rig->didScanShortfall(), std::nullopt);
    EXPECT_EQ(didsOn(*rig, "7E0"), (std::vector<std::uint16_t>{0x2001, 0x2002, 0x2003, 0x2004}));

    // An identifier never answered, asked twice, leaves the scan whole but incomplete.
    lose2003 = true;
    const std::size_t asked = car.count("222003");
    rig->startDIDScan(DIDRange{0x2000, 0x20FF, {}, {}});
    ASSERT_TRUE(scanEnds(*rig));
    EXPECT_EQ(rig->didScanShortfall(), (Shortfall{Shortfall::Kind::unanswered, 1}));
    EXPECT_FALSE(rig->didScanInterrupted());
    EXPECT_EQ(car.count("222003"), asked + 2);

    // Its answer come with the next identifier's is the ECU's own: found, and not counted.
    lose2003 = false;
    hold2003 = true;
    ASSERT_NE(entry(*rig, 0x2003), nullptr);
    const auto seenBefore = entry(*rig, 0x2003)->lastSeen;
    rig->startDIDScan(DIDRange{0x2003, 0x2004, {}, {}});
    ASSERT_TRUE(scanEnds(*rig));
    EXPECT_EQ(rig->didScanShortfall(), std::nullopt);
    EXPECT_EQ(car.count("222003"), asked + 4);
    EXPECT_GT(entry(*rig, 0x2003)->lastSeen, seenBefore); // found again
    hold2003 = false;

    mute = true;
    rig->startDIDScan(DIDRange{0x2000, 0x20FF, {}, {}});
    ASSERT_TRUE(scanEnds(*rig));
    ASSERT_TRUE(rig->didScanInterrupted());
    rig->disconnect();
    EXPECT_FALSE(rig->didScanInterrupted());

    // The link lost, a watch ends and shows as ended, and a scan ends at once, interrupted,
    // instead of failing through the rest.
    mute = false;
    lose2003 = false;
    linkGoesAt2002 = true;
    ASSERT_TRUE(rig.connect()) << rig->phase().message;
    rig->toggleDIDWatch();
    EXPECT_TRUE(waitUntil([&] { return !rig->didWatching(); }, 20s));
    rig->startDIDScan(DIDRange{0x2000, 0x20FF, {}, {}});
    ASSERT_TRUE(scanEnds(*rig));
    EXPECT_EQ(rig->didScanShortfall().value_or(Shortfall{}).kind, Shortfall::Kind::linkLost);
    EXPECT_TRUE(rig->didScanInterrupted());
    EXPECT_TRUE(waitUntil([&] { return rig->linkNotice() == LinkNotice::linkLost; }));
    rig->disconnect();
}

// An identifier the adapter answers with an error word is skipped, not asked again; the scan goes on.
TEST(DIDScanTests, TheIdentificationRangeReportsProgressSkipsWhatFailsAndPollingAnswersAfter) {
    ScriptedCar car([](const std::string& line) -> std::optional<std::vector<std::string>> {
        if (line == "22F18C") return says("CAN ERROR");
        return std::nullopt;
    });
    ConnectionRig rig({.car = &car});
    ASSERT_TRUE(rig.connect()) << rig->phase().message;
    std::vector<std::optional<Progress>> progress;
    QObject::connect(rig.model.get(), &AppModel::didScanProgressChanged,
                     [&] { progress.push_back(rig->didScanProgress()); });

    rig->startDIDScan(DIDRange{0xF180, 0xF1FF, {}, {}});
    EXPECT_TRUE(rig->didScanning());
    EXPECT_EQ(rig->didScanProgress(), (Progress{0, 128, 0xF180}));
    rig->startDIDScan(DIDRange{0x2000, 0x20FF, {}, {}}); // a second scan while one runs: nothing
    EXPECT_EQ(rig->didScanProgress(), (Progress{0, 128, 0xF180}));
    ASSERT_TRUE(scanEnds(*rig));
    EXPECT_EQ(didsOn(*rig, "7E0"), (std::vector<std::uint16_t>{0xF187, 0xF188, 0xF190, 0xF195, 0xF197}));
    EXPECT_EQ(car.count("22F18C"), 1u);
    EXPECT_EQ(rig->didScanShortfall(), std::nullopt);
    const DiscoveredDID* const vin = entry(*rig, 0xF190);
    ASSERT_NE(vin, nullptr);
    EXPECT_EQ(vin->bytes, text::bytesOf("WDD2571231A123456"));
    EXPECT_EQ(std::tuple(vin->reads, vin->changed), std::tuple(1, std::vector<bool>(vin->bytes.size(), false)));
    ASSERT_GE(progress.size(), 3u);
    EXPECT_EQ(progress[progress.size() - 2]->done, 128);
    EXPECT_EQ(progress.back(), std::nullopt);
    EXPECT_FALSE(Access::pollingPaused(*rig));
    EXPECT_TRUE(pollingAnswers(*rig));
}

TEST(DIDScanTests, FoundIdentifiersMergeByIdentityAndWatchReadingsMarkTheirBytes) {
    ModelRig rig;
    AppModel& m = *rig.model;
    m.startDIDScan(DIDRange{0xF180, 0xF1FF, {}, {}}); // not live: nothing starts
    EXPECT_FALSE(m.didScanning());
    EXPECT_EQ(m.didScanProgress(), std::nullopt);
    const auto t = [](int s) { return kStart + std::chrono::seconds(s); };
    Access::mergeDID(m, DiscoveredDID::make(0xF190, "7E0", {1, 2}, t(0)));
    Access::mergeDID(m, DiscoveredDID::make(0x2001, "7E0", {9}, t(1)));
    Access::mergeDID(m, DiscoveredDID::make(0xF190, "7E1", {3}, t(2)));
    Access::mergeDID(m, DiscoveredDID::make(0x1000, "7E1", {4}, t(3)));
    std::vector<std::string> ids;
    for (const auto& d : m.discoveredDIDs()) ids.push_back(d.id());
    EXPECT_EQ(ids, (std::vector<std::string>{"7E1-0x1000", "7E0-0x2001", "7E0-0xF190", "7E1-0xF190"}));

    struct Reading { Bytes bytes; std::vector<bool> marks; int reads; };
    const std::vector<Reading> readings{
        {{1, 2, 3}, {false, false, true}, 2}, // grows: the new byte counts as changed
        {{1, 2, 3}, {false, false, false}, 3},
        {{1, 7, 3}, {false, true, false}, 4},
        {{5}, {true}, 5}, // shrinks: one mark
    };
    for (const Reading& r : readings) {
        Access::updateWatched(m, 0xF190, "7E0", r.bytes);
        const DiscoveredDID* d = entry(m, 0xF190);
        EXPECT_EQ(d->bytes, r.bytes);
        EXPECT_EQ(d->changed, r.marks);
        EXPECT_EQ(d->reads, r.reads);
    }
    Access::updateWatched(m, 0xF190, "7E5", {1}); // not in the list: nothing
    EXPECT_EQ(m.discoveredDIDs().size(), 4u);
    m.toggleDIDWatch(); // not live
    EXPECT_FALSE(m.didWatching());

    // A second sighting by a scan keeps the marks, count, first sighting and place.
    m.labelDID(0xF190, "7E0", "VIN");
    Access::mergeDID(m, DiscoveredDID::make(0xF190, "7E0", {8, 8}, t(10)));
    const DiscoveredDID* d = entry(m, 0xF190);
    EXPECT_EQ(d->bytes, (Bytes{8, 8}));
    EXPECT_EQ(d->lastSeen, t(10));
    EXPECT_EQ(d->firstSeen, t(0));
    EXPECT_EQ(d->reads, 5);
    EXPECT_EQ(d->changed, std::vector<bool>{true});
    EXPECT_EQ(d->label, "VIN");
    EXPECT_EQ(m.discoveredDIDs()[2].id(), "7E0-0xF190");

    m.labelDID(0xF190, "7E0", " ");
    EXPECT_EQ(entry(m, 0xF190)->label, " ");
    m.labelDID(0xF190, "7E0", "");
    EXPECT_EQ(entry(m, 0xF190)->label, std::nullopt);
    m.labelDID(0xF191, "7E0", "absent"); // no such entry
    for (const auto& e : m.discoveredDIDs()) EXPECT_EQ(e.label, std::nullopt);
}

// The list holds what the car of the last connection gone live answered: a reconnection to the
// same VIN keeps it, labels included; another car, or a VIN unknown on either side, starts
// empty. A disconnection alone, or a connection that never goes live, changes nothing. A watch
// left on is off once a connection is live. A value the list's scan hands over only once
// another connection has gone live, even to the same car, is not added.
TEST(DIDScanTests, TheListIsKeptOnlyForAConnectionToTheCarItWasReadFrom) {
    const std::string first = "WDD2571231A123456", other = "WP0ZZZ99ZTS390000";
    struct Later { std::string vin; bool live; };
    struct Row { const char* name; std::string vin; std::vector<Later> later; bool kept; };
    const std::vector<Row> rows{
        {"the same VIN", first, {{first, true}}, true},
        {"another VIN", first, {{other, true}}, false},
        {"no VIN on the list's connection", "", {{first, true}}, false},
        {"no VIN on the new connection", first, {{"", true}}, false},
        {"no VIN on either", "", {{"", true}}, false},
        {"a disconnection alone", first, {}, true},
        {"another car never live, then the same", first, {{other, false}, {first, true}}, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ScriptedCar car;
        car.setVIN(row.vin);
        ConnectionRig rig({.car = &car});
        ASSERT_TRUE(rig.connect()) << rig->phase().message;
        rig->startDIDScan(DIDRange{0x2001, 0x2002, {}, {}});
        ASSERT_TRUE(scanEnds(*rig));
        rig->labelDID(0x2001, "7E0", "Régime");
        rig->toggleDIDWatch();
        ASSERT_TRUE(waitUntil([&] { return entry(*rig, 0x2001)->reads > 1; }, 20s));
        const DIDScanner::FoundHandler late = Access::didFoundHandler(*rig);
        rig->disconnect();
        const std::vector<DiscoveredDID> atDisconnection = rig->discoveredDIDs();
        ASSERT_EQ(atDisconnection.size(), 2u);

        bool wentLive = false;
        for (const Later& later : row.later) {
            car.setVIN(later.vin);
            // The connection reads the VIN, then fails on the stored codes.
            car.failSendsContaining(later.live ? std::nullopt : std::optional<std::string>("03\r"));
            EXPECT_EQ(rig.connect(), later.live) << rig->phase().message;
            EXPECT_EQ(rig->vin(), later.vin.empty() ? std::nullopt : std::optional(later.vin));
            wentLive = wentLive || later.live;
            rig->disconnect();
        }
        EXPECT_EQ(rig->discoveredDIDs(), row.kept ? atDisconnection : std::vector<DiscoveredDID>{});
        EXPECT_EQ(rig->didWatching(), !wentLive);

        late(DiscoveredDID::make(0xF18C, "7E0", {1}));
        bool handled = false; // queued behind the late value
        QMetaObject::invokeMethod(rig.model.get(), [&] { handled = true; }, Qt::QueuedConnection);
        ASSERT_TRUE(waitUntil([&] { return handled; }));
        EXPECT_EQ(entry(*rig, 0xF18C) != nullptr, !wentLive);
    }
}
