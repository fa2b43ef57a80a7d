// The UDS users against the simulated car: ECU scan, trouble codes, identification scan, watch of
// a live identifier, the sweep, and mode 01 polling working again after each of them.
#include "VEQEngine/DIDScanner.hpp"
#include "VEQEngine/ECUScanner.hpp"
#include "VEQEngine/ProtocolSweep.hpp"
#include "VEQEngine/UDSClient.hpp"
#include "VEQTransport/SimulatorTransport.hpp"

#include <gtest/gtest.h>

#include <memory>

using namespace veq;

namespace {

class SimulatedCar : public ::testing::Test {
protected:
    SimulatedCar() : transport_(std::make_shared<SimulatorTransport>()), session_(transport_) {
        session_.connect();
        for (const InitStep& step : session_.runInitialization()) EXPECT_TRUE(step.succeeded) << step.command;
        session_.raw("ATSH7DF");
    }

    // Engine speed read through mode 01 on the header now in force.
    bool pollingWorks() {
        transport_->setSimulatedTime(30.0);
        return session_.read(0x0C).has_value();
    }

    std::shared_ptr<SimulatorTransport> transport_;
    ELM327Session session_;
};

TEST_F(SimulatedCar, ECUScanFindsTheEngineAndTheTransmission) {
    ECUScanner scanner(session_);
    const std::vector<DiscoveredECU> found = scanner.scan(ECUScanner::standardCandidates());
    ASSERT_EQ(found.size(), 8u);
    EXPECT_EQ(found[0], (DiscoveredECU{"ME/CDI moteur", "7E0", "7E8", true, "A2569006200", "0044/3.11.0"}));
    EXPECT_EQ(found[1], (DiscoveredECU{"VGS boîte 9G", "7E1", "7E9", true, "A7252702300", "0014/1.09.0"}));
    for (std::size_t i = 2; i < found.size(); ++i) EXPECT_FALSE(found[i].responded) << found[i].txHeader;

    // As the application does after its scan: each answering ECU's codes, then functional addressing.
    UDSClient client(session_);
    client.target("7E0");
    const std::vector<UDSDTC> engineCodes = client.readDTCsByStatusMask(0xFF);
    ASSERT_EQ(engineCodes.size(), 2u);
    EXPECT_EQ(engineCodes[0].id(), "P0300-64");
    EXPECT_EQ(engineCodes[1].id(), "P0171-00");
    EXPECT_TRUE(engineCodes[0].isConfirmed());
    client.target("7E1");
    const std::vector<UDSDTC> gearboxCodes = client.readDTCsByStatusMask(0xFF);
    ASSERT_EQ(gearboxCodes.size(), 1u);
    EXPECT_EQ(gearboxCodes[0].id(), "P0715-62");
    EXPECT_EQ(client.requestSecuritySeed(0x01), (std::vector<std::uint8_t>{0x01, 0x5A, 0xC3, 0x19, 0x7E}));

    EXPECT_FALSE(pollingWorks()); // the transmission's header is still in force
    session_.raw("ATSH7DF");
    EXPECT_TRUE(pollingWorks());
}

TEST_F(SimulatedCar, IdentificationScanFindsTheSixIdentifiers) {
    for (const std::string ecu : {"7E0", "7E1"}) {
        SCOPED_TRACE(ecu);
        DIDScanner scanner(session_);
        std::vector<std::uint16_t> found;
        std::vector<std::int32_t> done;
        scanner.scan(ecu, DIDRange::priority()[0], [&](const DiscoveredDID& d) { found.push_back(d.did); },
                     [&](std::int32_t n, std::int32_t total, std::uint16_t) {
                         EXPECT_EQ(total, 128);
                         done.push_back(n);
                     });
        EXPECT_EQ(found, (std::vector<std::uint16_t>{0xF187, 0xF188, 0xF18C, 0xF190, 0xF195, 0xF197}));
        ASSERT_EQ(done.size(), 17u); // every 8 identifiers, and once more at the end
        for (std::size_t i = 0; i < 16; ++i) EXPECT_EQ(done[i], static_cast<std::int32_t>(8 * (i + 1)));
        EXPECT_EQ(done.back(), 128);
        EXPECT_FALSE(scanner.isScanning());
        EXPECT_TRUE(pollingWorks());
    }
}

TEST_F(SimulatedCar, WatchOfALiveIdentifierFollowsTheEngine) {
    DIDScanner scanner(session_, DIDScanner::Timing{std::chrono::nanoseconds::zero()});
    std::vector<double> rpm;
    double simulated = 10.0;
    transport_->setSimulatedTime(simulated);
    scanner.watch("7E0", {0x2001}, [&](std::uint16_t did, const std::vector<std::uint8_t>& value) {
        EXPECT_EQ(did, 0x2001);
        ASSERT_EQ(value.size(), 2u);
        rpm.push_back((value[0] * 256 + value[1]) / 4.0);
        simulated += 7.0;
        transport_->setSimulatedTime(simulated);
        if (rpm.size() == 4) scanner.stop();
    });
    ASSERT_EQ(rpm.size(), 4u);
    for (std::size_t i = 0; i < rpm.size(); ++i) {
        const VehicleState truth = VehicleSimulation().state(10.0 + 7.0 * static_cast<double>(i));
        EXPECT_NEAR(rpm[i], truth.rpm, 0.25) << i;
    }
    EXPECT_TRUE(pollingWorks());
}

TEST_F(SimulatedCar, SweepFindsTheCarOnTheFirstAttempt) {
    const auto outcome = ProtocolSweep::run(session_, true);
    ASSERT_TRUE(outcome.succeeded());
    EXPECT_EQ(outcome.attempts.size(), 1u);
    EXPECT_EQ(outcome.workingProtocol->number, "6");
    EXPECT_EQ(outcome.respondingECUs, std::vector<std::string>{"7E8"});
    EXPECT_TRUE(pollingWorks());
}

} // namespace
