#include "VEQTransport/BLEPeripheralController.hpp"

#include "FakeBLECentral.hpp"

#include <gtest/gtest.h>

using namespace veq;
using namespace veq::testing;
using namespace std::chrono_literals;
using Lines = std::vector<std::string>;
using Bytes = std::vector<std::uint8_t>;
using Services = std::vector<std::pair<std::string, std::vector<std::uint8_t>>>;

namespace {

constexpr auto limit = 30000ms;
constexpr auto filteredPhase = 4000ms;
constexpr std::uint8_t R = 0x02, WNR = BLEProperty::writeWithoutResponse, W = BLEProperty::write,
                       N = BLEProperty::notify, I = BLEProperty::indicate;
const std::string failed = "connectionFailed(\"Échec de connexion BLE\")";

struct Rig {
    FakeBLECentral central;
    std::vector<Bytes> chunks;
    std::optional<std::exception_ptr> outcome; // once connect has finished
    BLEPeripheralController controller{central, [this](Bytes c) { chunks.push_back(std::move(c)); }, [] {}};

    void connect(bool radioOn = true) {
        if (radioOn) controller.radioStateChanged(BLERadioState::poweredOn);
        controller.connect([this](std::exception_ptr e) { outcome = e; }, limit);
    }
    std::string result() const { return outcome ? outcomeText(*outcome) : "waiting"; }

    // Connected to a device advertising FFF0, waiting for its services.
    void connectToAdapter() {
        connect();
        controller.deviceDiscovered({"AA", "OBDII", {"FFF0"}});
        controller.deviceConnected();
        central.takeLog();
    }

    // Reports the services, then each one's characteristics (property bits), in order.
    void discover(const Services& services) {
        std::vector<std::string> uuids;
        for (const auto& s : services) uuids.push_back(s.first);
        controller.servicesDiscovered(std::nullopt, uuids);
        for (std::size_t i = 0; i < services.size(); ++i) {
            std::vector<BLECharacteristicInfo> characteristics;
            for (std::uint8_t p : services[i].second) characteristics.push_back({"FFF1", p});
            controller.characteristicsDiscovered(i, std::nullopt, characteristics);
        }
    }
};

} // namespace

TEST(BLEPeripheralControllerTests, ScanFiltersByAdapterServiceThenWidensToAdapterNames) {
    Rig rig;
    rig.connect();
    rig.controller.deviceDiscovered({"01", "OBDII", {"180F"}}); // the filter is ours: no adapter service
    EXPECT_EQ(rig.central.takeLog(), Lines{"startScan"});
    EXPECT_EQ(rig.central.fire(filteredPhase), 1u);
    EXPECT_EQ(rig.central.takeLog(), (Lines{"stopScan", "startScan"}));
    rig.controller.deviceDiscovered({"03", "Kitchen Speaker", {"1812"}});
    rig.controller.deviceDiscovered({"04", std::nullopt, {}});
    EXPECT_EQ(rig.central.takeLog(), Lines{});
    rig.controller.deviceDiscovered({"06", "OBDII", {}});
    rig.controller.deviceDiscovered({"07", "Vgate iCar", {}}); // after the scan stopped
    EXPECT_EQ(rig.central.takeLog(), (Lines{"stopScan", "connect 06"}));
    EXPECT_EQ(rig.controller.sightings(), (std::vector<BLESighting>{{"Kitchen Speaker", {"1812"}}, {"OBDII", {}}}));

    // In the first phase any name goes; a chosen device stops the widening.
    Rig filtered;
    filtered.connect();
    filtered.controller.deviceDiscovered({"AA", std::nullopt, {"180A", "6E400001-B5A3-F393-E0A9-E50E24DCCA9E"}});
    filtered.central.fire(filteredPhase);
    EXPECT_EQ(filtered.central.takeLog(), (Lines{"startScan", "stopScan", "connect AA"}));
    EXPECT_EQ(filtered.controller.sightings(), (std::vector<BLESighting>{{"sans nom", {"180A", "6E400001-B5A3-F393-E0A9-E50E24DCCA9E"}}}));
}

TEST(BLEPeripheralControllerTests, CharacteristicChoice) {
    struct Case { std::string what; Services services; BLECharacteristicRef notify, write; Lines log; };
    const Case cases[] = {
        {"one that does both", {{"FFF0", {N | W}}}, {0, 0}, {0, 0}, {"notifications 0.0 on"}},
        {"apart, a read-only one between", {{"FFF0", {N, R, WNR}}}, {0, 0}, {0, 2}, {"notifications 0.0 on"}},
        {"last match in a service wins", {{"FFF0", {N, I, W, WNR}}}, {0, 1}, {0, 3}, {"notifications 0.1 on"}},
        {"later non-adapter services never displace", {{"FFF0", {N, WNR}}, {"180F", {R | N}}, {"ABCD", {N | W}}}, {0, 0}, {0, 1},
         {"notifications 0.0 on"}},
        {"the first adapter service keeps its choice", {{"FFE0", {N | WNR}}, {"FFF0", {N, W}}}, {0, 0}, {0, 0}, {"notifications 0.0 on"}},
        {"a later adapter service displaces another's", {{"1801", {I}}, {"FFF0", {N, W}}}, {1, 0}, {1, 1},
         {"notifications 0.0 on", "notifications 0.0 off", "notifications 1.0 on"}},
        {"write and notify from two services", {{"ABCD", {W}}, {"FFE0", {N}}}, {1, 0}, {0, 0}, {"notifications 1.0 on"}},
    };
    for (const Case& c : cases) {
        Rig rig;
        rig.connectToAdapter();
        rig.discover(c.services);
        Lines expected;
        for (std::size_t i = 0; i < c.services.size(); ++i) expected.push_back(fmt::format("discoverCharacteristics {}", i));
        expected.insert(expected.end(), c.log.begin(), c.log.end());
        EXPECT_EQ(rig.central.takeLog(), expected) << c.what;
        EXPECT_EQ(rig.controller.notifyCharacteristic(), c.notify) << c.what;
        EXPECT_EQ(rig.controller.writeCharacteristic(), c.write) << c.what;
        EXPECT_EQ(rig.result(), "ready") << c.what;
    }
}

// A vendor service that answers before the adapter's must not carry the first commands.
TEST(BLEPeripheralControllerTests, OnADeviceWithAnAdapterServiceItsCharacteristicsAreWaitedFor) {
    struct Case { std::string what; Services services; Lines resultAfterEach; BLECharacteristicRef notify, write; };
    const Case cases[] = {
        {"a vendor service first", {{"ABCD", {N | W}}, {"FFF0", {N, W}}}, {"waiting", "ready"}, {1, 0}, {1, 1}},
        {"the adapter's first", {{"FFE0", {N | WNR}}, {"ABCD", {N | W}}}, {"ready", "ready"}, {0, 0}, {0, 0}},
        {"the adapter's lacks a write", {{"18F0", {N}}, {"ABCD", {W}}, {"180F", {R}}}, {"waiting", "waiting", "ready"}, {0, 0}, {1, 0}},
        {"no adapter service", {{"ABCD", {N | W}}, {"1234", {R}}}, {"ready", "ready"}, {0, 0}, {0, 0}},
    };
    for (const Case& c : cases) {
        Rig rig;
        rig.connectToAdapter();
        std::vector<std::string> uuids;
        for (const auto& service : c.services) uuids.push_back(service.first);
        rig.controller.servicesDiscovered(std::nullopt, uuids);
        Lines results;
        for (std::size_t i = 0; i < c.services.size(); ++i) {
            std::vector<BLECharacteristicInfo> characteristics;
            for (std::uint8_t p : c.services[i].second) characteristics.push_back({"FFF1", p});
            rig.controller.characteristicsDiscovered(i, std::nullopt, characteristics);
            results.push_back(rig.result());
        }
        EXPECT_EQ(results, c.resultAfterEach) << c.what;
        EXPECT_EQ(rig.controller.notifyCharacteristic(), c.notify) << c.what;
        EXPECT_EQ(rig.controller.writeCharacteristic(), c.write) << c.what;
    }
}

TEST(BLEPeripheralControllerTests, OnlyTheChosenCharacteristicFeedsTheStream) {
    Rig rig;
    rig.connectToAdapter();
    rig.discover({{"FFF0", {N, WNR}}, {"180F", {R | N}}});
    for (auto [ref, value] : std::vector<std::pair<BLECharacteristicRef, Bytes>>{
             {{0, 0}, {0x34, 0x31}}, {{1, 0}, {0x64}}, {{0, 1}, {0x41}}, {{0, 0}, {}}, {{0, 0}, {0x3E}}})
        rig.controller.valueUpdated(ref, value);
    EXPECT_EQ(rig.chunks, (std::vector<Bytes>{{0x34, 0x31}, {0x3E}}));
}

TEST(BLEPeripheralControllerTests, WritesAreCutToTheMaximumWriteLength) {
    struct Case { std::uint8_t properties; std::size_t maximum, size; std::vector<std::size_t> pieces; bool withResponse; };
    const Case cases[] = {
        {W, 20, 25, {20, 5}, true}, {WNR, 20, 25, {20, 5}, false}, {W | WNR, 20, 40, {20, 20}, true},
        {WNR, 0, 3, {1, 1, 1}, false}, {W, 20, 0, {}, true},
    };
    for (const Case& c : cases) {
        Rig rig;
        rig.connectToAdapter();
        rig.discover({{"FFF0", {N, c.properties}}});
        rig.central.maximumWrite = c.maximum;
        Bytes data(c.size);
        for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i);
        rig.controller.send(data);
        std::vector<std::size_t> pieces;
        Bytes joined;
        for (const auto& w : rig.central.writes) {
            pieces.push_back(w.bytes.size());
            joined.insert(joined.end(), w.bytes.begin(), w.bytes.end());
            EXPECT_EQ(w.withResponse, c.withResponse);
            EXPECT_EQ(w.characteristic, (BLECharacteristicRef{0, 1}));
        }
        EXPECT_EQ(pieces, c.pieces) << c.size << " bytes, maximum " << c.maximum;
        EXPECT_EQ(joined, data);
    }
}

TEST(BLEPeripheralControllerTests, RadioStatesWhileConnectWaitsAndBefore) {
    const std::pair<BLERadioState, std::string> cases[] = {
        {BLERadioState::unknown, "waiting"},
        {BLERadioState::unsupported, "connectionFailed(\"Bluetooth indisponible (2)\")"},
        {BLERadioState::unauthorized, "connectionFailed(\"Bluetooth indisponible (3)\")"},
        {BLERadioState::poweredOff, "connectionFailed(\"Bluetooth indisponible (4)\")"},
        {BLERadioState::poweredOn, "waiting"},
    };
    for (const auto& [state, result] : cases) {
        Rig rig;
        rig.connect(false);
        rig.controller.radioStateChanged(state);
        EXPECT_EQ(rig.result(), result);
        EXPECT_EQ(rig.central.takeLog(), state == BLERadioState::poweredOn ? Lines{"startScan"} : Lines{});
        Rig early; // an unusable radio reports nothing more: connect fails at once
        early.controller.radioStateChanged(state);
        early.connect(false);
        EXPECT_EQ(early.result(), result);
    }
}

// Every way a connect ends in failure, and what is closed then.
TEST(BLEPeripheralControllerTests, FailuresAndTheLimitEndTheWaitingConnect) {
    const std::tuple<std::function<void(Rig&)>, std::string, std::string> cases[] = {
        {[](Rig& r) { r.controller.deviceConnectionFailed("Connection refused"); }, "Connection refused", "cancelConnection"},
        {[](Rig& r) { r.controller.servicesDiscovered(std::nullopt, {"FFF0"}); r.controller.characteristicsDiscovered(0, "IO", {}); },
         "IO", "cancelConnection"},
        {[](Rig& r) { r.controller.deviceDisconnected(); }, failed, "cancelConnection"},
        {[](Rig& r) { r.discover({{"FFF0", {N}}}); r.central.fire(limit); }, failed, "cancelConnection"}, // no write characteristic
        {[](Rig& r) { r.controller.disconnect(); r.connect(); r.central.fire(filteredPhase); r.central.fire(limit); },
         "deviceNotFound", "stopScan"},
        {[](Rig& r) { r.controller.disconnect(); r.connect(); r.controller.scanFailed("Input/output error"); }, "Input/output error", "startScan"},
    };
    for (const auto& [play, result, lastLine] : cases) {
        Rig rig;
        rig.connectToAdapter();
        play(rig);
        EXPECT_EQ(rig.result(), result);
        const Lines log = rig.central.takeLog();
        EXPECT_EQ(log.empty() ? "" : log.back(), lastLine) << result;
        rig.controller.send({0x41}); // nowhere
        EXPECT_TRUE(rig.central.writes.empty()) << result;
    }
    Rig ready; // the limit of a finished connect does nothing
    ready.connectToAdapter();
    ready.discover({{"FFF0", {N | W}}});
    ready.central.takeLog();
    ready.central.fire(limit);
    EXPECT_EQ(ready.central.takeLog(), Lines{});
    EXPECT_EQ(ready.result(), "ready");
}

TEST(BLEPeripheralControllerTests, ANewConnectChoosesAnew) {
    Rig rig;
    rig.connectToAdapter();
    rig.discover({{"FFF0", {N, W}}});
    rig.controller.disconnect();
    rig.central.takeLog();
    rig.connect(false);
    EXPECT_EQ(rig.central.takeLog(), (Lines{"cancelConnection", "startScan"}));
    EXPECT_EQ(rig.controller.notifyCharacteristic(), std::nullopt);
    EXPECT_TRUE(rig.controller.services().empty());
    rig.controller.deviceDiscovered({"BB", "Vgate", {"FFE0"}});
    EXPECT_EQ(rig.central.takeLog(), (Lines{"stopScan", "connect BB"}));
}
