#include "VEQEngine/Session/ELM327Session.hpp"
#include "VEQProtocol/DTCResponse.hpp"
#include "VEQProtocol/ReadinessMonitors.hpp"
#include "VEQTransport/OBDEncoder.hpp"
#include "VEQTransport/SimulatorTransport.hpp"

#include <gtest/gtest.h>

namespace veq {
namespace {

using namespace std::chrono_literals;

class SessionSimulatorTest : public ::testing::Test {
protected:
    void SetUp() override {
        session.connect();
        for (const InitStep& step : session.runInitialization()) EXPECT_TRUE(step.succeeded) << step.command;
    }
    std::shared_ptr<SimulatorTransport> simulator = std::make_shared<SimulatorTransport>();
    ELM327Session session{simulator};
};

// The simulated car's codes read as a real car's: its CAN replies carry the count byte.
TEST_F(SessionSimulatorTest, TroubleCodesAndTheLampReadThroughTheSessionWithAndWithoutHeaders) {
    const auto read = [&](OBDMode mode) {
        std::vector<std::string> out;
        const ELM327Response reply = session.query(OBDCommand(mode, std::nullopt));
        for (const DTC& dtc : DTCResponse::codes(reply, mode, session.protocolNumber().value_or(""))) out.push_back(dtc.code);
        return out;
    };
    for (const bool headers : {true, false}) {
        if (!headers) session.raw("ATH0");
        session.raw("ATDPN");
        EXPECT_EQ(session.protocolNumber(), "6");
        EXPECT_EQ(read(OBDMode::storedDTCs), (std::vector<std::string>{"P0300", "P0171"})) << headers;
        EXPECT_EQ(read(OBDMode::pendingDTCs), std::vector<std::string>{}) << headers;
        EXPECT_EQ(read(OBDMode::permanentDTCs), std::vector<std::string>{"P0300"}) << headers;
        const ELM327Response status = session.query(OBDCommand(0x01));
        ASSERT_FALSE(status.ecus.empty());
        const auto monitors = MonitorStatus::decode(status.ecus.front().data(OBDMode::currentData, 0x01).value_or(std::vector<std::uint8_t>{}));
        ASSERT_TRUE(monitors);
        EXPECT_TRUE(monitors->milOn);
        EXPECT_EQ(monitors->dtcCount, 2);
    }
}

} // namespace
} // namespace veq
