// The UDS users against the simulated car, and mode 01 polling working again after each of them.
#include "VEQEngine/UDS/DIDScanner.hpp"
#include "VEQEngine/UDS/ECUScanner.hpp"
#include "VEQEngine/UDS/ProtocolSweep.hpp"
#include "VEQEngine/UDS/UDSClient.hpp"
#include "VEQTransport/SimulatorTransport.hpp"

#include <gtest/gtest.h>

using namespace veq;

namespace {

class SimulatedCar : public ::testing::Test {
protected:
    SimulatedCar() {
        session_.connect();
        session_.runInitialization();
        session_.raw("ATSH7DF");
    }
    bool pollingWorks() {
        transport_->setSimulatedTime(30.0);
        return session_.read(0x0C).has_value();
    }
    std::shared_ptr<SimulatorTransport> transport_ = std::make_shared<SimulatorTransport>();
    ELM327Session session_{transport_};
};

TEST_F(SimulatedCar, ECUScanFindsEveryUnitAndTheEngineAndTransmissionCodes) {
    ECUScanner scanner(session_);
    const auto found = scanner.scan(ECUScanner::standardCandidates());
    ASSERT_EQ(found.size(), 8u);
    EXPECT_EQ(found[0], (DiscoveredECU{"ME/CDI moteur", "7E0", "7E8", true, "A2569006200", "0044/3.11.0"}));
    EXPECT_EQ(found[1], (DiscoveredECU{"VGS boîte 9G", "7E1", "7E9", true, "A7252702300", "0014/1.09.0"}));
    EXPECT_EQ(found[4], (DiscoveredECU{"SAM avant", "7E4", "7EC", true, "A2059000121", "0031/4.10.0"}));
    EXPECT_TRUE(std::all_of(found.begin(), found.end(), [](const auto& e) { return e.responded; }));

    UDSClient client(session_);
    client.target("7E0");
    std::vector<std::string> codes;
    for (const UDSDTC& code : client.readDTCsByStatusMask(0xFF)) codes.push_back(code.id());
    client.target("7E1");
    for (const UDSDTC& code : client.readDTCsByStatusMask(0xFF)) codes.push_back(code.id());
    EXPECT_EQ(codes, (std::vector<std::string>{"P0300-64", "P0171-00", "P0715-62"}));
}

TEST_F(SimulatedCar, IdentificationScanFindsTheSixIdentifiersAndPollingWorksAfter) {
    DIDScanner scanner(session_);
    std::vector<std::uint16_t> found;
    std::vector<std::int32_t> done;
    scanner.scan("7E0", DIDRange::priority()[0], [&](const DiscoveredDID& d) { found.push_back(d.did); },
                 [&](std::int32_t n, std::int32_t, std::uint16_t) { done.push_back(n); });
    EXPECT_EQ(found, (std::vector<std::uint16_t>{0xF187, 0xF188, 0xF18C, 0xF190, 0xF195, 0xF197}));
    ASSERT_EQ(done.size(), 17u); // every 8 identifiers, and once more at the end
    EXPECT_EQ(done[0], 8);
    EXPECT_EQ(done[15], 128);
    EXPECT_TRUE(pollingWorks());
}

TEST_F(SimulatedCar, WatchOfALiveIdentifierFollowsTheEngine) {
    DIDScanner scanner(session_, DIDScanner::Timing{std::chrono::nanoseconds::zero()});
    std::vector<double> rpm;
    transport_->setSimulatedTime(10.0);
    scanner.watch("7E0", {0x2001}, [&](std::uint16_t, const std::vector<std::uint8_t>& value) {
        ASSERT_EQ(value.size(), 2u);
        rpm.push_back((value[0] * 256 + value[1]) / 4.0);
        transport_->setSimulatedTime(10.0 + 7.0 * static_cast<double>(rpm.size()));
        if (rpm.size() == 3) scanner.stop();
    });
    ASSERT_EQ(rpm.size(), 3u);
    for (std::size_t i = 0; i < rpm.size(); ++i)
        EXPECT_NEAR(rpm[i], VehicleSimulation().state(10.0 + 7.0 * static_cast<double>(i)).rpm, 0.25) << i;
    EXPECT_TRUE(pollingWorks());
}

TEST_F(SimulatedCar, SweepFindsTheCarOnTheFirstAttempt) {
    const auto outcome = ProtocolSweep::run(session_, true);
    ASSERT_TRUE(outcome.succeeded());
    EXPECT_EQ(outcome.attempts.size(), 1u);
    EXPECT_EQ(outcome.respondingECUs, std::vector<std::string>{"7E8"});
    EXPECT_TRUE(pollingWorks());
}

} // namespace
