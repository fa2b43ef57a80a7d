#include "VEQEngine/ELM327Session.hpp"
#include "VEQTransport/OBDEncoder.hpp"
#include "VEQTransport/SimulatorTransport.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

namespace veq {
namespace {

using namespace std::chrono_literals;

class SessionSimulatorTest : public ::testing::Test {
protected:
    void SetUp() override {
        session.connect();
        steps = session.runInitialization();
    }

    std::shared_ptr<SimulatorTransport> simulator = std::make_shared<SimulatorTransport>();
    ELM327Session session{simulator};
    std::vector<InitStep> steps;
};

TEST_F(SessionSimulatorTest, InitialisationSucceedsAndSetsElevenBitHeaders) {
    ASSERT_EQ(steps.size(), InitStep::standardSequence.size());
    for (std::size_t i = 0; i < steps.size(); ++i) {
        EXPECT_EQ(steps[i].command, InitStep::standardSequence[i].command);
        EXPECT_TRUE(steps[i].succeeded) << steps[i].command;
    }
    EXPECT_EQ(session.format(), FrameFormat::can11);
    EXPECT_EQ(session.detectAndApplyProtocolFormat(), FrameFormat::can11);
    const ELM327Response probe = session.probeVehicle();
    ASSERT_EQ(probe.ecus.size(), 1u);
    EXPECT_EQ(probe.ecus[0].header, "7E8");
}

TEST_F(SessionSimulatorTest, SupportedParametersAreTheSimulatorsBitmaps) {
    // Every parameter the car answers is announced by a bitmap, except 00, which none names.
    std::set<std::uint8_t> expected(OBDEncoder::supportedPIDs.begin(), OBDEncoder::supportedPIDs.end());
    expected.erase(0x00);
    EXPECT_EQ(session.discoverSupportedPIDs(), expected);
}

TEST_F(SessionSimulatorTest, EngineSpeedReadsTheSimulatedValue) {
    for (const double t : {0.0, 7.5, 20.0, 45.0, 63.2, 100.0, 115.0}) {
        simulator->setSimulatedTime(t);
        const std::optional<PIDReading> reading = session.read(0x0C);
        ASSERT_TRUE(reading.has_value()) << t;
        ASSERT_TRUE(reading->scalar().has_value()) << t;
        // Encoded in quarters of a revolution, rounded to the nearest.
        EXPECT_NEAR(*reading->scalar(), simulator->groundTruth().rpm, 0.125) << t;
    }
}

TEST_F(SessionSimulatorTest, MonitorLinesStreamAndTheNextCommandGetsItsOwnReply) {
    const std::shared_ptr<MonitorStream> stream = session.startMonitoring();
    std::vector<std::string> lines;
    while (lines.size() < 12) {
        std::optional<std::string> line = stream->pop(20s, {});
        ASSERT_TRUE(line.has_value()) << "the monitor went silent";
        lines.push_back(*line);
    }
    const std::set<std::string> identifiers{"0C8", "3D9", "308", "200"};
    for (const std::string& line : lines) {
        EXPECT_EQ(line.size(), 3u + 8 * 3) << line;
        EXPECT_TRUE(identifiers.contains(line.substr(0, 3))) << line;
    }
    session.stopMonitoring();
    EXPECT_TRUE(stream->finished());
    const ELM327Response identity = session.raw("ATI");
    EXPECT_EQ(identity.lines, std::vector<std::string>{"ELM327 v1.5"});
    EXPECT_TRUE(identity.promptTerminated);
    EXPECT_EQ(session.format(), FrameFormat::can11);
    EXPECT_TRUE(session.read(0x0C).has_value());
}

TEST_F(SessionSimulatorTest, AfterAResetRepliesAreReadWithoutHeaders) {
    session.raw("ATZ");
    EXPECT_EQ(session.format(), FrameFormat::headersOff);
    session.raw("ATE0");
    simulator->setSimulatedTime(0);
    const std::optional<PIDReading> reading = session.read(0x0C);
    ASSERT_TRUE(reading.has_value());
    EXPECT_NEAR(*reading->scalar(), simulator->groundTruth().rpm, 0.125);
}

TEST_F(SessionSimulatorTest, RememberedHeaderPutsTheEngineBackInReach) {
    session.raw("ATSH7E0");
    const std::optional<std::string> before = session.transmitHeader();
    ASSERT_EQ(before, "7E0");
    session.raw("ATSH7E1"); // the transmission does not answer mode 01
    EXPECT_FALSE(session.read(0x0D).has_value());
    session.raw("ATSH" + *before);
    EXPECT_TRUE(session.read(0x0D).has_value());
}

} // namespace
} // namespace veq
