#include "VEQTransport/BLETransport.hpp"

#include "FakeBLECentral.hpp"

#include <gtest/gtest.h>

using namespace veq;
using namespace veq::testing;
using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;
using Rig = BLETransportRig;

TEST(BLETransportTests, ConnectSendReceiveAndDisconnect) {
    Rig rig;
    EXPECT_EQ(rig.send({0x41}), "notConnected");
    rig.connectAdapter();
    EXPECT_EQ(rig.transport->state(), TransportState::connected());
    EXPECT_EQ(rig.transport->serviceUUIDs(), std::vector<std::string>{"FFF0"});
    EXPECT_EQ(rig.send({0x30, 0x31, 0x0D}), "sent");
    ASSERT_EQ(rig.central->writes.size(), 1u);
    EXPECT_EQ(rig.central->writes[0].bytes, (Bytes{0x30, 0x31, 0x0D}));
    rig.central->deliver([](auto& d) { d.valueUpdated({0, 0}, {0x34, 0x31}); d.valueUpdated({0, 0}, {0x3E}); });
    auto& stream = *rig.transport->incoming();
    EXPECT_EQ(stream.pop(0s, {}), (Bytes{0x34, 0x31}));
    EXPECT_EQ(stream.pop(0s, {}), (Bytes{0x3E}));

    rig.central->takeLog();
    rig.transport->disconnect();
    EXPECT_EQ(rig.transport->state(), TransportState::disconnected());
    EXPECT_EQ(rig.central->takeLog(), std::vector<std::string>{"cancelConnection"});
    EXPECT_EQ(rig.send({0x41}), "notConnected");
    EXPECT_FALSE(stream.isFinished()); // the stream outlives the link
}

TEST(BLETransportTests, AFailedConnectThrowsAndRecordsThePrintedError) {
    Rig rig;
    rig.startConnect();
    rig.central->fire(30000ms);
    EXPECT_EQ(rig.connectResult(), "deviceNotFound");
    EXPECT_EQ(rig.transport->state(), TransportState::failed("deviceNotFound"));
}

TEST(BLETransportTests, DisconnectOrStopEndsAWaitingConnect) {
    for (const bool byStop : {false, true}) {
        Rig rig;
        rig.startConnect();
        if (byStop) rig.stop.request_stop();
        else rig.transport->disconnect();
        EXPECT_EQ(rig.connectResult(), "connectionFailed(\"Connexion annulée\")") << byStop;
        EXPECT_EQ(rig.transport->state(), TransportState::disconnected()) << byStop;
        EXPECT_TRUE(rig.central->waitForLine("stopScan")) << byStop;
        rig.central->deliver([](auto& d) { d.deviceDiscovered({"AA", "OBDII", {"FFF0"}}); });
        EXPECT_EQ(rig.transport->state(), TransportState::disconnected()) << byStop;
    }
}

TEST(BLETransportTests, ALostLinkLeavesTheTransportDisconnected) {
    Rig rig;
    rig.connectAdapter();
    rig.central->deliver([](auto& d) { d.deviceDisconnected(); });
    EXPECT_EQ(rig.transport->state(), TransportState::disconnected());
    EXPECT_EQ(rig.send({0x41}), "notConnected");
    EXPECT_TRUE(rig.central->writes.empty());
}
