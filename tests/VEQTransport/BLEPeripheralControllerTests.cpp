#include "VEQTransport/BLEPeripheralController.hpp"

#include "FakeBLECentral.hpp"
#include "VEQTransport/TransportError.hpp"

#include <gtest/gtest.h>

using namespace veq;
using namespace veq::testing;
using namespace std::chrono_literals;
using Lines = std::vector<std::string>;
using Bytes = std::vector<std::uint8_t>;

namespace {

constexpr auto limit = 30000ms;
constexpr auto filteredPhase = 4000ms;

constexpr std::uint8_t R = 0x02; // read
constexpr std::uint8_t WNR = BLEProperty::writeWithoutResponse;
constexpr std::uint8_t W = BLEProperty::write;
constexpr std::uint8_t N = BLEProperty::notify;
constexpr std::uint8_t I = BLEProperty::indicate;

// One controller over a fake central, with what it hands back.
struct Rig {
    FakeBLECentral central;
    std::vector<Bytes> chunks;
    int linkLosses = 0;
    std::optional<std::exception_ptr> outcome; // set once connect has finished
    BLEPeripheralController controller{central, [this](Bytes chunk) { chunks.push_back(std::move(chunk)); },
                                       [this] { ++linkLosses; }};

    void connect() {
        controller.connect([this](std::exception_ptr e) { outcome = e; }, limit);
    }
    std::string result() const { return outcome ? outcomeText(*outcome) : "waiting"; }

    // Radio on, connect, a device advertising FFF0 found: the controller waits for its services.
    void connectToAdapter() {
        controller.radioStateChanged(BLERadioState::poweredOn);
        connect();
        controller.deviceDiscovered(advertisement("AA", "OBDII", {"FFF0"}));
        controller.deviceConnected();
        central.takeLog();
    }

    // Reports the services, then each one's characteristics (property bits), in order.
    void discover(const std::vector<std::pair<std::string, std::vector<std::uint8_t>>>& services) {
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

TEST(BLEPeripheralControllerTests, ScanWidensAfterTheFilteredPhaseAndTakesTheFirstAdapterName) {
    Rig rig;
    rig.controller.radioStateChanged(BLERadioState::poweredOn);
    rig.connect();
    EXPECT_EQ(rig.central.takeLog(), Lines{"startScan"});

    // The platform scans everything: in the first phase only adapter services count.
    rig.controller.deviceDiscovered(advertisement("01", "OBDII", {"180F"}));
    rig.controller.deviceDiscovered(advertisement("02", "Car Audio", {}));
    EXPECT_TRUE(rig.controller.sightings().empty());
    EXPECT_EQ(rig.central.takeLog(), Lines{});

    EXPECT_EQ(rig.central.fire(filteredPhase), 1u);
    EXPECT_EQ(rig.central.takeLog(), (Lines{"stopScan", "startScan"}));

    rig.controller.deviceDiscovered(advertisement("03", "Kitchen Speaker", {"1812"}));
    rig.controller.deviceDiscovered(advertisement("04", std::nullopt, {}));
    rig.controller.deviceDiscovered(advertisement("05", "", {}));
    EXPECT_EQ(rig.central.takeLog(), Lines{});
    rig.controller.deviceDiscovered(advertisement("06", "OBDII", {}));
    EXPECT_EQ(rig.central.takeLog(), (Lines{"stopScan", "connect 06"}));
    // A report that comes after the scan stopped changes nothing.
    rig.controller.deviceDiscovered(advertisement("07", "Vgate iCar", {}));
    EXPECT_EQ(rig.central.takeLog(), Lines{});

    EXPECT_EQ(rig.controller.sightings(),
              (std::vector<BLESighting>{{"Kitchen Speaker", {"1812"}}, {"OBDII", {}}}));
    EXPECT_EQ(rig.result(), "waiting");
}

TEST(BLEPeripheralControllerTests, FilteredPhaseTakesAnyDeviceWithAnAdapterService) {
    struct Case {
        std::optional<std::string> name;
        std::vector<std::string> services;
        std::string recordedName;
    };
    const Case cases[] = {
        {std::nullopt, {"FFF0"}, "sans nom"},
        {"", {"FFE0"}, ""},
        {"Kitchen Speaker", {"180A", "6E400001-B5A3-F393-E0A9-E50E24DCCA9E"}, "Kitchen Speaker"},
        {"X", {"E7810A71-73AE-499D-8C15-FAA9AEF0C3F2"}, "X"},
    };
    for (const Case& c : cases) {
        Rig rig;
        rig.controller.radioStateChanged(BLERadioState::poweredOn);
        rig.connect();
        rig.controller.deviceDiscovered(advertisement("AA", c.name, c.services));
        EXPECT_EQ(rig.central.takeLog(), (Lines{"startScan", "stopScan", "connect AA"})) << c.recordedName;
        EXPECT_EQ(rig.controller.sightings(), (std::vector<BLESighting>{{c.recordedName, c.services}}));
        // A device is chosen: the end of the filtered phase no longer widens the scan.
        rig.central.fire(filteredPhase);
        EXPECT_EQ(rig.central.takeLog(), Lines{});
    }
}

TEST(BLEPeripheralControllerTests, CharacteristicChoice) {
    struct Case {
        std::string what;
        std::vector<std::pair<std::string, std::vector<std::uint8_t>>> services;
        BLECharacteristicRef notify;
        BLECharacteristicRef write;
        Lines log; // after the discovery requests
    };
    // clang-format off
    const Case cases[] = {
        {"one characteristic that notifies and takes writes",
         {{"FFF0", {N | W}}},
         {0, 0}, {0, 0}, {"notifications 0.0 on"}},
        {"notify and write apart; a read-only one between",
         {{"FFF0", {N, R, WNR}}},
         {0, 0}, {0, 2}, {"notifications 0.0 on"}},
        {"within a service the last match wins, and only it is switched on",
         {{"FFF0", {N, I, W, WNR}}},
         {0, 1}, {0, 3}, {"notifications 0.1 on"}},
        {"a later battery or vendor service never displaces an adapter service's choice",
         {{"FFF0", {N, WNR}}, {"180F", {R | N}}, {"ABCD", {N | W}}},
         {0, 0}, {0, 1}, {"notifications 0.0 on"}},
        {"two adapter services: the first keeps its choice",
         {{"FFE0", {N | WNR}}, {"FFF0", {N, W}}},
         {0, 0}, {0, 0}, {"notifications 0.0 on"}},
        {"a choice from another service gives way to a later adapter service",
         {{"1801", {I}}, {"FFF0", {N, W}}},
         {1, 0}, {1, 1}, {"notifications 0.0 on", "notifications 0.0 off", "notifications 1.0 on"}},
        {"a write from one service and notifications from another",
         {{"ABCD", {W}}, {"FFE0", {N}}},
         {1, 0}, {0, 0}, {"notifications 1.0 on"}},
    };
    // clang-format on
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

TEST(BLEPeripheralControllerTests, ConnectFinishesOnceBothRolesAreFilledAndLaterServicesStillCount) {
    Rig rig;
    rig.connectToAdapter();
    rig.controller.servicesDiscovered(std::nullopt, {"1800", "ABCD", "FFF0"});
    rig.controller.characteristicsDiscovered(0, std::nullopt, {{"2A00", R}});
    rig.controller.characteristicsDiscovered(1, std::nullopt, {{"ABC1", N}});
    EXPECT_EQ(rig.result(), "waiting");
    rig.controller.characteristicsDiscovered(1, std::nullopt, {{"ABC1", N}, {"ABC2", W}});
    EXPECT_EQ(rig.result(), "ready");
    rig.controller.characteristicsDiscovered(2, std::nullopt, {{"FFF1", N}, {"FFF2", WNR}});
    EXPECT_EQ(rig.controller.notifyCharacteristic(), (BLECharacteristicRef{2, 0}));
    EXPECT_EQ(rig.controller.writeCharacteristic(), (BLECharacteristicRef{2, 1}));
}

TEST(BLEPeripheralControllerTests, OnlyTheChosenCharacteristicFeedsTheStream) {
    Rig rig;
    rig.connectToAdapter();
    rig.discover({{"FFF0", {N, WNR}}, {"180F", {R | N}}});
    rig.controller.valueUpdated({0, 0}, {0x34, 0x31});
    rig.controller.valueUpdated({1, 0}, {0x64});      // battery level
    rig.controller.valueUpdated({0, 1}, {0x41});      // the write characteristic
    rig.controller.valueUpdated({0, 0}, {});          // empty values are no chunk
    rig.controller.valueUpdated({0, 0}, {0x3E});
    EXPECT_EQ(rig.chunks, (std::vector<Bytes>{{0x34, 0x31}, {0x3E}}));
}

TEST(BLEPeripheralControllerTests, WritesAreCutToTheMaximumWriteLength) {
    struct Case {
        std::uint8_t properties;
        std::size_t maximum;
        std::size_t size;
        std::vector<std::size_t> pieces;
        bool withResponse;
    };
    // clang-format off
    const Case cases[] = {
        {W,       20, 25, {20, 5},    true},
        {WNR,     20, 25, {20, 5},    false},
        {W | WNR, 20, 40, {20, 20},   true},
        {WNR,     0,  3,  {1, 1, 1},  false},   // a reported maximum of 0 still moves bytes
        {W,       182, 4, {4},        true},
        {W,       20, 0,  {},         true},
    };
    // clang-format on
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

TEST(BLEPeripheralControllerTests, SendWithoutAWriteCharacteristicIsDropped) {
    Rig rig;
    rig.connectToAdapter();
    rig.discover({{"FFF0", {N}}});
    rig.controller.send({0x41, 0x54, 0x0D});
    EXPECT_TRUE(rig.central.writes.empty());
}

TEST(BLEPeripheralControllerTests, RadioStates) {
    struct Case {
        BLERadioState state;
        std::string result;
        Lines log;
    };
    // clang-format off
    const Case cases[] = {
        {BLERadioState::unknown,      "waiting",                                         {}},
        {BLERadioState::resetting,    "waiting",                                         {}},
        {BLERadioState::unsupported,  "connectionFailed(\"Bluetooth indisponible (2)\")", {}},
        {BLERadioState::unauthorized, "connectionFailed(\"Bluetooth indisponible (3)\")", {}},
        {BLERadioState::poweredOff,   "connectionFailed(\"Bluetooth indisponible (4)\")", {}},
        {BLERadioState::poweredOn,    "waiting",                                         {"startScan"}},  // a radio that comes on later
    };
    // clang-format on
    for (const Case& c : cases) {
        // Reported while connect waits...
        Rig rig;
        rig.connect();
        rig.controller.radioStateChanged(c.state);
        EXPECT_EQ(rig.result(), c.result) << static_cast<int>(c.state);
        EXPECT_EQ(rig.central.takeLog(), c.log);

        // ...and before connect: an unusable radio reports nothing more, so connect fails at once.
        Rig early;
        early.controller.radioStateChanged(c.state);
        early.connect();
        EXPECT_EQ(early.result(), c.result) << static_cast<int>(c.state);
    }
}

TEST(BLEPeripheralControllerTests, FailuresEndTheWaitingConnectAndCloseTheLink) {
    struct Case {
        std::string what;
        std::function<void(BLEPeripheralController&)> report;
        std::string result;
    };
    // clang-format off
    const Case cases[] = {
        {"connection failed with a platform error",
         [](auto& c) { c.deviceConnectionFailed("Connection refused"); }, "Connection refused"},
        {"connection failed without one",
         [](auto& c) { c.deviceConnectionFailed(std::nullopt); }, "connectionFailed(\"Échec de connexion BLE\")"},
        {"service discovery error",
         [](auto& c) { c.servicesDiscovered("Remote device closed", {}); }, "Remote device closed"},
        {"characteristic discovery error",
         [](auto& c) { c.servicesDiscovered(std::nullopt, {"FFF0"}); c.characteristicsDiscovered(0, "OperationError", {}); },
         "OperationError"},
        {"the device went away before it was ready",
         [](auto& c) { c.deviceDisconnected(); }, "connectionFailed(\"Échec de connexion BLE\")"},
    };
    // clang-format on
    for (const Case& c : cases) {
        Rig rig;
        rig.connectToAdapter();
        c.report(rig.controller);
        EXPECT_EQ(rig.result(), c.result) << c.what;
        const Lines log = rig.central.takeLog();
        EXPECT_EQ(log.empty() ? "" : log.back(), "cancelConnection") << c.what;
    }
}

TEST(BLEPeripheralControllerTests, AScanErrorEndsTheWaitingConnect) {
    Rig rig;
    rig.controller.radioStateChanged(BLERadioState::poweredOn);
    rig.connect();
    rig.controller.scanFailed("Input/output error");
    EXPECT_EQ(rig.result(), "Input/output error");
}

TEST(BLEPeripheralControllerTests, TheConnectLimitNamesWhatWasMissing) {
    // No device at all: the scan stops and connect reports that none was found.
    Rig none;
    none.controller.radioStateChanged(BLERadioState::poweredOn);
    none.connect();
    none.central.fire(filteredPhase);
    none.central.takeLog();
    EXPECT_EQ(none.central.fire(limit), 1u);
    EXPECT_EQ(none.result(), "deviceNotFound");
    EXPECT_EQ(none.central.takeLog(), Lines{"stopScan"});

    // A device that never offers both characteristics.
    Rig mute;
    mute.connectToAdapter();
    mute.discover({{"FFF0", {N}}});
    mute.central.takeLog();
    mute.central.fire(limit);
    EXPECT_EQ(mute.result(), "connectionFailed(\"Échec de connexion BLE\")");
    EXPECT_EQ(mute.central.takeLog(), Lines{"cancelConnection"});

    // Once ready, the limit of that connect does nothing.
    Rig ready;
    ready.connectToAdapter();
    ready.discover({{"FFF0", {N | W}}});
    ready.central.takeLog();
    ready.central.fire(limit);
    EXPECT_EQ(ready.central.takeLog(), Lines{});
    ready.controller.send({0x31});
    EXPECT_EQ(ready.central.writes.size(), 1u);
}

TEST(BLEPeripheralControllerTests, DisconnectDuringTheBroadScanEndsTheWaitingConnect) {
    Rig rig;
    rig.controller.radioStateChanged(BLERadioState::poweredOn);
    rig.connect();
    rig.central.fire(filteredPhase);
    rig.central.takeLog();
    rig.controller.disconnect();
    EXPECT_EQ(rig.central.takeLog(), Lines{"stopScan"});
    EXPECT_EQ(rig.result(), "connectionFailed(\"Connexion annulée\")");
    // A device found afterwards is not connected.
    rig.controller.deviceDiscovered(advertisement("AA", "OBDII", {"FFF0"}));
    EXPECT_EQ(rig.central.takeLog(), Lines{});
}

TEST(BLEPeripheralControllerTests, ALostLinkIsReportedOnceAndSendsGoNowhere) {
    Rig rig;
    rig.connectToAdapter();
    rig.discover({{"FFF0", {N, W}}});
    rig.controller.deviceDisconnected();
    rig.controller.deviceDisconnected();
    EXPECT_EQ(rig.linkLosses, 1);
    rig.controller.send({0x41});
    rig.controller.valueUpdated({0, 0}, {0x3E});
    EXPECT_TRUE(rig.central.writes.empty());
    EXPECT_TRUE(rig.chunks.empty());
}

TEST(BLEPeripheralControllerTests, ANewConnectChoosesAnew) {
    Rig rig;
    rig.connectToAdapter();
    rig.discover({{"FFF0", {N, W}}});
    rig.controller.disconnect();
    rig.central.takeLog();
    rig.outcome.reset();
    rig.connect();
    EXPECT_EQ(rig.central.takeLog(), (Lines{"cancelConnection", "startScan"}));
    EXPECT_EQ(rig.controller.notifyCharacteristic(), std::nullopt);
    EXPECT_TRUE(rig.controller.services().empty());
    rig.controller.deviceDiscovered(advertisement("BB", "Vgate", {"FFE0"}));
    EXPECT_EQ(rig.central.takeLog(), (Lines{"stopScan", "connect BB"}));
}
