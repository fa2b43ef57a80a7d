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

TEST_F(SessionSimulatorTest, InitialisationGivesElevenBitsTheSimulatorsBitmapsAndItsEngineSpeed) {
    EXPECT_EQ(session.format(), FrameFormat::can11);
    EXPECT_EQ(session.detectAndApplyProtocolFormat(), FrameFormat::can11);
    std::set<std::uint8_t> expected(OBDEncoder::supportedPIDs.begin(), OBDEncoder::supportedPIDs.end());
    expected.erase(0x00); // no bitmap names 00
    EXPECT_EQ(session.discoverSupportedPIDs(), expected);
    for (const double t : {0.0, 20.0, 63.2, 115.0}) {
        simulator->setSimulatedTime(t);
        const auto reading = session.read(0x0C);
        ASSERT_TRUE(reading && reading->scalar()) << t;
        EXPECT_NEAR(*reading->scalar(), simulator->groundTruth().rpm, 0.125) << t;
    }
}

TEST_F(SessionSimulatorTest, MonitorLinesStreamAndTheNextCommandGetsItsOwnReply) {
    const auto stream = session.startMonitoring();
    for (int i = 0; i < 12; ++i) {
        const auto line = stream->pop(20s, {});
        ASSERT_TRUE(line) << "the monitor went silent";
        EXPECT_EQ(line->size(), 3u + 8 * 3) << *line;
    }
    session.stopMonitoring();
    EXPECT_EQ(session.raw("ATI").lines, std::vector<std::string>{"ELM327 v1.5"});
    EXPECT_TRUE(session.read(0x0C).has_value());
}

TEST_F(SessionSimulatorTest, AfterAResetRepliesAreReadWithoutHeaders) {
    session.raw("ATZ");
    session.raw("ATE0");
    EXPECT_EQ(session.format(), FrameFormat::headersOff);
    EXPECT_TRUE(session.read(0x0C).has_value());
}

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
