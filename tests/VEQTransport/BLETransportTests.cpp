#include "VEQTransport/BLETransport.hpp"

#include "FakeBLECentral.hpp"

#include <gtest/gtest.h>

#include <future>
#include <thread>

using namespace veq;
using namespace veq::testing;
using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

namespace {

constexpr auto limit = 30000ms;
constexpr auto safetyTimeout = 20s; // only a hung transport reaches it

// A transport over a fake central, whose connect runs on a thread of its own so that the test
// can play the radio meanwhile.
struct Rig {
    FakeBLECentral* central = nullptr;
    std::unique_ptr<BLETransport> transport;
    std::future<std::string> connecting;
    std::stop_source stop;

    Rig() {
        auto fake = std::make_unique<FakeBLECentral>();
        central = fake.get();
        transport = std::make_unique<BLETransport>(std::move(fake));
    }

    void startConnect() {
        connecting = std::async(std::launch::async, [this] {
            try {
                transport->connect(stop.get_token());
                return std::string("ready");
            } catch (const TransportError& e) {
                return std::string(e.what());
            }
        });
    }
    std::string connectResult() {
        if (connecting.wait_for(safetyTimeout) != std::future_status::ready) return "still waiting";
        return connecting.get();
    }

    void connectAdapter() {
        central->deliver([](auto& d) { d.radioStateChanged(BLERadioState::poweredOn); });
        startConnect();
        ASSERT_TRUE(central->waitForLine("startScan"));
        central->deliver([](auto& d) {
            d.deviceDiscovered(advertisement("AA", "OBDII", {"FFF0"}));
            d.deviceConnected();
            d.servicesDiscovered(std::nullopt, {"FFF0"});
            d.characteristicsDiscovered(0, std::nullopt, {{"FFF1", BLEProperty::notify}, {"FFF2", BLEProperty::write}});
        });
        ASSERT_EQ(connectResult(), "ready");
    }
};

std::string sendResult(BLETransport& transport, const Bytes& bytes) {
    try {
        transport.send(bytes);
        return "sent";
    } catch (const TransportError& e) {
        return e.what();
    }
}

} // namespace

TEST(BLETransportTests, ConnectSendAndReceive) {
    Rig rig;
    EXPECT_EQ(rig.transport->state(), TransportState::disconnected());
    EXPECT_EQ(sendResult(*rig.transport, {0x41}), "notConnected");
    EXPECT_TRUE(rig.central->writes.empty());

    rig.connectAdapter();
    EXPECT_EQ(rig.transport->state(), TransportState::connected());
    EXPECT_EQ(rig.transport->serviceUUIDs(), std::vector<std::string>{"FFF0"});
    EXPECT_EQ(rig.transport->sightings(), (std::vector<BLESighting>{{"OBDII", {"FFF0"}}}));

    EXPECT_EQ(sendResult(*rig.transport, {0x30, 0x31, 0x30, 0x43, 0x0D}), "sent");
    ASSERT_EQ(rig.central->writes.size(), 1u);
    EXPECT_EQ(rig.central->writes[0].bytes, (Bytes{0x30, 0x31, 0x30, 0x43, 0x0D}));

    rig.central->deliver([](auto& d) {
        d.valueUpdated({0, 0}, {0x34, 0x31, 0x20});
        d.valueUpdated({0, 0}, {0x3E});
    });
    auto& stream = *rig.transport->incoming();
    EXPECT_EQ(stream.pop(0s, {}), (Bytes{0x34, 0x31, 0x20}));
    EXPECT_EQ(stream.pop(0s, {}), (Bytes{0x3E}));
}

TEST(BLETransportTests, AFailedConnectThrowsAndRecordsThePrintedFormOfItsError) {
    struct Case {
        std::function<void(FakeBLECentral&)> whileScanning;
        std::string printed;
    };
    // clang-format off
    const Case cases[] = {
        {[](FakeBLECentral& c) { c.deliver([](auto& d) { d.radioStateChanged(BLERadioState::poweredOff); }); },
         "connectionFailed(\"Bluetooth indisponible (4)\")"},
        {[](FakeBLECentral& c) { c.deliver([](auto& d) { d.deviceDiscovered(advertisement("AA", "OBDII", {"FFF0"}));
                                                         d.deviceConnectionFailed("Connection timed out"); }); },
         "Connection timed out"},   // the platform's error, thrown as it is
        {[](FakeBLECentral& c) { c.fire(limit); },
         "deviceNotFound"},
    };
    // clang-format on
    for (const Case& c : cases) {
        Rig rig;
        rig.central->deliver([](auto& d) { d.radioStateChanged(BLERadioState::poweredOn); });
        std::promise<std::string> thrown;
        std::jthread connecting([&] {
            try {
                rig.transport->connect({});
                thrown.set_value("ready");
            } catch (const std::exception& e) {
                thrown.set_value(e.what());
            }
        });
        ASSERT_TRUE(rig.central->waitForLine("startScan"));
        c.whileScanning(*rig.central);
        auto result = thrown.get_future();
        ASSERT_EQ(result.wait_for(safetyTimeout), std::future_status::ready);
        EXPECT_EQ(result.get(), c.printed);
        EXPECT_EQ(rig.transport->state(), TransportState::failed(c.printed));
    }
}

TEST(BLETransportTests, DisconnectOrStopEndsAWaitingConnect) {
    for (const bool byStop : {false, true}) {
        Rig rig;
        rig.central->deliver([](auto& d) { d.radioStateChanged(BLERadioState::poweredOn); });
        rig.startConnect();
        ASSERT_TRUE(rig.central->waitForLine("startScan"));
        if (byStop) rig.stop.request_stop();
        else rig.transport->disconnect();
        EXPECT_EQ(rig.connectResult(), "connectionFailed(\"Connexion annulée\")") << byStop;
        EXPECT_EQ(rig.transport->state(), TransportState::disconnected()) << byStop;
        EXPECT_TRUE(rig.central->waitForLine("stopScan")) << byStop;
        // A device found later changes nothing.
        rig.central->deliver([](auto& d) { d.deviceDiscovered(advertisement("AA", "OBDII", {"FFF0"})); });
        EXPECT_EQ(rig.transport->state(), TransportState::disconnected()) << byStop;
    }
}

TEST(BLETransportTests, ALostLinkLeavesTheTransportDisconnected) {
    Rig rig;
    rig.connectAdapter();
    rig.central->deliver([](auto& d) { d.deviceDisconnected(); });
    EXPECT_EQ(rig.transport->state(), TransportState::disconnected());
    EXPECT_EQ(sendResult(*rig.transport, {0x41}), "notConnected");
    EXPECT_TRUE(rig.central->writes.empty());
}

TEST(BLETransportTests, DisconnectClosesTheLinkAndRefusesSends) {
    Rig rig;
    rig.connectAdapter();
    rig.central->takeLog();
    rig.transport->disconnect();
    EXPECT_EQ(rig.transport->state(), TransportState::disconnected());
    EXPECT_EQ(rig.central->takeLog(), std::vector<std::string>{"cancelConnection"});
    EXPECT_EQ(sendResult(*rig.transport, {0x41}), "notConnected");
    // The stream outlives the link.
    EXPECT_FALSE(rig.transport->incoming()->isFinished());
}
