#include "StderrCapture.hpp"
#include "VEQTransport/FakeBLECentral.hpp"

#include <gtest/gtest.h>

using namespace veq;
using namespace veq::testing;

// This program runs with tracing on: only the loss of the link is traced, once.
TEST(BLETransportTraceTests, ALostLinkIsTracedOnceAndNothingElseIs) {
    BLETransportRig rig;
    StderrCapture trace;
    rig.connectAdapter();
    EXPECT_EQ(rig.send({0x41, 0x54, 0x5A, 0x0D}), "sent");
    rig.central->deliver([](auto& d) { d.valueUpdated({0, 0}, {0x3E}); });
    rig.central->deliver([](auto& d) { d.deviceDisconnected(); d.deviceDisconnected(); });
    EXPECT_EQ(trace.lines(), std::vector<std::string>{"BLE: liaison perdue (l'adaptateur s'est déconnecté)"});
}
