#include "VEQTransport/BLETransport.hpp"

#include "StderrCapture.hpp"
#include "VEQTransport/FakeBLECentral.hpp"

#include <gtest/gtest.h>

#include <future>

using namespace veq;
using namespace veq::testing;

// Tracing is decided once per process; this program runs with it on.
TEST(BLETransportTraceTests, ALostLinkIsTracedAndNothingElseIs) {
    auto owned = std::make_unique<FakeBLECentral>();
    FakeBLECentral& central = *owned;
    BLETransport transport(std::move(owned));
    StderrCapture trace;
    central.deliver([](auto& d) { d.radioStateChanged(BLERadioState::poweredOn); });
    auto connecting = std::async(std::launch::async, [&] { transport.connect({}); });
    ASSERT_TRUE(central.waitForLine("startScan"));
    central.deliver([](auto& d) {
        d.deviceDiscovered(advertisement("AA", "OBDII", {"FFF0"}));
        d.deviceConnected();
        d.servicesDiscovered(std::nullopt, {"FFF0"});
        d.characteristicsDiscovered(0, std::nullopt, {{"FFF1", BLEProperty::notify | BLEProperty::write}});
    });
    ASSERT_EQ(connecting.wait_for(std::chrono::seconds(20)), std::future_status::ready);
    connecting.get();
    transport.send(std::vector<std::uint8_t>{0x41, 0x54, 0x5A, 0x0D});
    central.deliver([](auto& d) { d.valueUpdated({0, 0}, {0x3E}); });
    EXPECT_TRUE(trace.lines().empty());

    central.deliver([](auto& d) { d.deviceDisconnected(); });
    EXPECT_EQ(trace.lines(), std::vector<std::string>{"BLE: liaison perdue (l'adaptateur s'est déconnecté)"});
    EXPECT_EQ(transport.state(), TransportState::disconnected());
}
