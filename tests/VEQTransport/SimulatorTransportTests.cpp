#include "VEQTransport/SimulatorTransport.hpp"

#include "VEQProtocol/ELM327Parser.hpp"

#include <gtest/gtest.h>

using namespace veq;
using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

namespace {

// A bound on waits for monitor frames; reaching it means the monitor is broken.
constexpr auto safetyTimeout = 30s;

void send(SimulatorTransport& transport, std::string_view text) {
    const Bytes bytes(text.begin(), text.end());
    transport.send(bytes);
}

std::string asText(const IncomingStream::Chunk& chunk) { return {chunk.begin(), chunk.end()}; }

// Everything the transport has put on the stream so far (replies arrive inside send()).
std::vector<std::string> drain(IncomingStream& stream) {
    std::vector<std::string> out;
    while (auto chunk = stream.pop(0s, {})) out.push_back(asText(*chunk));
    return out;
}

std::string popText(IncomingStream& stream) {
    auto chunk = stream.pop(safetyTimeout, {});
    EXPECT_TRUE(chunk.has_value());
    return chunk ? asText(*chunk) : std::string();
}

bool isMonitorFrame(const std::string& chunk) {
    return chunk.size() == 28 && chunk.back() == '\r' && chunk[3] == ' ';
}

// The counter byte of a monitor frame: byte 7 of 0C8 and 3D9, byte 3 of 200.
int counterOf(const std::string& frame) {
    const std::string id = frame.substr(0, 3);
    const std::size_t byteIndex = id == "200" ? 3 : 7;
    return std::stoi(frame.substr(4 + (byteIndex - 1) * 3, 2), nullptr, 16);
}

const std::string stopSequence = "\r\r>";

} // namespace

TEST(SimulatorTransportTests, LifecycleAndSendOutsideTheConnectedState) {
    SimulatorTransport transport;
    EXPECT_EQ(transport.state(), TransportState::disconnected());
    try {
        send(transport, "ATZ\r");
        ADD_FAILURE() << "send before connect must throw";
    } catch (const TransportError& e) {
        EXPECT_EQ(e, TransportError::notConnected());
    }
    EXPECT_EQ(transport.incoming()->bufferedChunks(), 0u); // nothing put on the stream

    transport.connect({});
    EXPECT_EQ(transport.state(), TransportState::connected());
    EXPECT_EQ(transport.incoming()->bufferedChunks(), 0u); // connecting says nothing
    transport.disconnect();
    EXPECT_EQ(transport.state(), TransportState::disconnected());
    EXPECT_THROW(send(transport, "ATI\r"), TransportError);
}

TEST(SimulatorTransportTests, LinesAreCutAtCarriageReturns) {
    SimulatorTransport transport;
    transport.connect({});
    auto& stream = *transport.incoming();

    send(transport, "AT");
    send(transport, "Z");
    EXPECT_TRUE(drain(stream).empty()); // no reply before the line is complete
    send(transport, "\r");
    EXPECT_EQ(drain(stream), std::vector<std::string>{"ATZ\rELM327 v1.5\r\r>"});

    send(transport, "ATE0\rATH1\r"); // two commands, two stream elements
    EXPECT_EQ(drain(stream), (std::vector<std::string>{"OK\r\r>", "OK\r\r>"}));

    send(transport, " \t \r\r"); // blank lines: no reply at all, not even a prompt
    EXPECT_TRUE(drain(stream).empty());

    send(transport, "ATI\r\nATI\r\n"); // CR LF senders: the next line starts with a line feed
    EXPECT_EQ(drain(stream), (std::vector<std::string>{"ELM327 v1.5\r\r>", "ELM327 v1.5\r\r>"}));
    send(transport, "\nATMA\r"); // such a line is not the monitor command
    EXPECT_EQ(drain(stream), std::vector<std::string>{"OK\r\r>"});
    EXPECT_FALSE(transport.isMonitoring());

    send(transport, "AT\xFFI\r"); // invalid UTF-8 is replaced, then answered as unknown
    EXPECT_EQ(drain(stream), std::vector<std::string>{"?\r\r>"});
}

TEST(SimulatorTransportTests, AnUnfinishedLineCannotGrowWithoutEnd) {
    SimulatorTransport transport;
    transport.connect({});
    for (int i = 0; i < 100; ++i) send(transport, std::string(1000, 'Z'));
    send(transport, "\r");
    const std::vector<std::string> replies = drain(*transport.incoming());
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0], std::string(SimulatorTransport::maxLineBytes, 'Z') + "\r?\r\r>");
    send(transport, "ATI\r"); // the next line starts clean
    EXPECT_EQ(drain(*transport.incoming()), std::vector<std::string>{"ATI\rELM327 v1.5\r\r>"});
}

// Drives the simulated car as the session does and reads every reply with the real parser:
// AT replies without headers, the others in the 11-bit format set by ATH1.
TEST(SimulatorTransportTests, SessionLikeExchangeParsesToTheExpectedPayloads) {
    SimulatorTransport transport;
    transport.setSimulatedTime(0);
    transport.connect({});
    auto& stream = *transport.incoming();
    auto exchange = [&](std::string_view command, FrameFormat format) {
        send(transport, std::string(command) + "\r");
        const std::vector<std::string> replies = drain(stream);
        EXPECT_EQ(replies.size(), 1u) << command;
        return ELM327Parser::parse(replies.empty() ? std::string() : replies[0], format);
    };

    ELM327Response r = exchange("ATZ", FrameFormat::headersOff);
    EXPECT_TRUE(r.promptTerminated);
    EXPECT_EQ(r.text, (std::vector<std::string>{"ATZ", "ELM327 v1.5"})); // echo is on after a reset
    r = exchange("ATE0", FrameFormat::headersOff);
    EXPECT_EQ(r.text, std::vector<std::string>{"OK"});
    r = exchange("ATH1", FrameFormat::headersOff);
    EXPECT_EQ(r.text, std::vector<std::string>{"OK"});

    const Bytes vin{'W', 'D', 'D', '2', '5', '7', '1', '2', '3', '1', 'A', '1', '2', '3', '4', '5', '6'};
    r = exchange("0100", FrameFormat::can11);
    ASSERT_EQ(r.ecus.size(), 1u);
    EXPECT_EQ(r.ecus[0].header, "7E8");
    EXPECT_EQ(r.ecus[0].payload, (Bytes{0x41, 0x00, 0xBE, 0x3F, 0xA0, 0x13}));
    EXPECT_FALSE(r.error);

    r = exchange("0902", FrameFormat::can11);
    ASSERT_EQ(r.ecus.size(), 1u);
    EXPECT_EQ(r.ecus[0].header, "7E8");
    Bytes expected{0x49, 0x02, 0x01};
    expected.insert(expected.end(), vin.begin(), vin.end());
    EXPECT_EQ(r.ecus[0].payload, expected);

    r = exchange("ATSH7E1", FrameFormat::headersOff);
    EXPECT_EQ(r.text, std::vector<std::string>{"OK"});
    r = exchange("22F190", FrameFormat::can11);
    ASSERT_EQ(r.ecus.size(), 1u);
    EXPECT_EQ(r.ecus[0].header, "7E9");
    expected = {0x62, 0xF1, 0x90};
    expected.insert(expected.end(), vin.begin(), vin.end());
    EXPECT_EQ(r.ecus[0].payload, expected);

    r = exchange("010C", FrameFormat::can11); // the engine does not answer the transmission's address
    EXPECT_EQ(r.error, ELM327Error::noData);
}

TEST(SimulatorTransportTests, FrozenTimeDrivesRepliesAndGroundTruth) {
    SimulatorTransport transport;
    EXPECT_EQ(transport.groundTruth(), VehicleSimulation().state(0)); // never connected: time 0
    transport.setSimulatedTime(115);
    transport.connect({});
    EXPECT_EQ(transport.groundTruth(), VehicleSimulation().state(115));
    EXPECT_EQ(transport.groundTruth().gear, -1);
    send(transport, "ATE0\r01A4\r010C\r");
    EXPECT_EQ(drain(*transport.incoming()),
              (std::vector<std::string>{"OK\r\r>", "0641A4000F12C000\r\r>", "04410C0BE4000000\r\r>"}));

    transport.disconnect();
    transport.connect({}); // the frozen time survives reconnection
    EXPECT_EQ(transport.groundTruth(), VehicleSimulation().state(115));
    transport.setSimulatedTime(52.5);
    EXPECT_EQ(transport.groundTruth(), VehicleSimulation().state(52.5));
    transport.resumeRealTime();
    EXPECT_LT(transport.groundTruth().runtimeSeconds, 52.5); // back on the clock since connect
}

TEST(SimulatorTransportTests, StreamStaysOpenAcrossDisconnectAndReconnectAnswersAfresh) {
    SimulatorTransport transport;
    const std::shared_ptr<IncomingStream> stream = transport.incoming();
    transport.connect({});
    send(transport, "ATE0\rATH1\rATSH7E1\r");
    drain(*stream);
    transport.disconnect();
    EXPECT_FALSE(stream->isFinished());
    EXPECT_EQ(stream->pop(0s, {}), std::nullopt); // open and silent
    EXPECT_EQ(transport.incoming(), stream);      // the same stream for the transport's life

    transport.connect({}); // echo on, headers off, request header 7DF again
    send(transport, "0100\r");
    EXPECT_EQ(drain(*stream), std::vector<std::string>{"0100\r064100BE3FA01300\r\r>"});
}

TEST(SimulatorTransportTests, FloodIsBoundedAndKeepsTheNewestReplies) {
    constexpr std::size_t capacity = 1024;
    SimulatorTransport transport(capacity);
    transport.connect({});
    transport.setSimulatedTime(0);
    send(transport, "ATE0\r");
    constexpr int commands = 2000;
    for (int i = 0; i < commands; ++i) send(transport, i % 2 == 0 ? "0100\r" : "010D\r");
    const IncomingStream& stream = *transport.incoming();
    EXPECT_LE(stream.bufferedBytes(), capacity);
    EXPECT_EQ(stream.droppedChunks() + stream.bufferedChunks(), commands + 1u);
    const std::vector<std::string> left = drain(*transport.incoming());
    ASSERT_FALSE(left.empty());
    EXPECT_EQ(left.back(), "03410D0000000000\r\r>"); // the last command's reply, whole
    for (const std::string& reply : left) EXPECT_TRUE(reply.ends_with("\r\r>"));
}

TEST(SimulatorTransportTests, MonitorFramesOfOneBatch) {
    const auto frames = SimulatorTransport::canFrames(VehicleSimulation().state(0), 0);
    EXPECT_EQ(frames, (std::array<std::string, 4>{
                          "0C8 11 0B E4 18 00 00 00 00",
                          "3D9 00 00 00 00 FE 00 00 1A",
                          "308 3D 27 40 00 00 00 00 00",
                          "200 00 00 00 00 80 00 00 55",
                      }));
    const auto later = SimulatorTransport::canFrames(VehicleSimulation().state(52.5), 0xAB);
    // 4812.5 rpm × 4 = 19250; 125.28 km/h → 125; pedal 69.5 % × 2.55 = 177.2; throttle 66.5 % × 2.55 = 169.6
    EXPECT_EQ(later[0], "0C8 11 4B 32 B1 00 00 AB 00");
    EXPECT_EQ(later[1], "3D9 7D 7D 00 00 FE 00 AB 1A");
    EXPECT_EQ(later[3], "200 00 00 AB 00 80 00 00 55");
    EXPECT_EQ(later[2], "308 5F A9 40 00 00 00 00 00"); // coolant 95.55 → 95, throttle 169.6 → 169
}

TEST(SimulatorTransportTests, AnyWriteEndsMonitorModeAndNothingFollowsTheStopSequence) {
    SimulatorTransport transport;
    transport.connect({});
    transport.setSimulatedTime(52.5); // replies only: monitor frames keep to real time
    auto& stream = *transport.incoming();
    send(transport, "ATE0\r");
    drain(stream);

    send(transport, "ATMA\r");
    EXPECT_TRUE(transport.isMonitoring());
    std::vector<std::string> frames;
    while (frames.size() < 8) frames.push_back(popText(stream)); // two batches
    for (const std::string& f : frames) EXPECT_TRUE(isMonitorFrame(f)) << f;
    EXPECT_EQ(frames[0].substr(0, 16), "0C8 11 0B E4 18 "); // idle since connect, not the frozen 52.5 s

    send(transport, "0100\r"); // ends monitoring; these bytes are dropped
    EXPECT_FALSE(transport.isMonitoring());
    std::vector<std::string> tail = drain(stream);
    ASSERT_FALSE(tail.empty());
    EXPECT_EQ(tail.back(), stopSequence);
    tail.pop_back();
    frames.insert(frames.end(), tail.begin(), tail.end());
    ASSERT_EQ(frames.size() % 4, 0u); // the last batch was completed before the stop
    for (std::size_t i = 0; i < frames.size(); ++i) {
        EXPECT_TRUE(isMonitorFrame(frames[i])) << frames[i];
        EXPECT_EQ(frames[i].substr(0, 3), (std::array<std::string, 4>{"0C8", "3D9", "308", "200"}[i % 4]));
        if (i % 4 != 2) {
            EXPECT_EQ(counterOf(frames[i]), static_cast<int>(i / 4)) << frames[i];
        }
    }

    send(transport, "0100\r"); // answered normally, and nothing else arrives
    EXPECT_EQ(drain(stream), std::vector<std::string>{"064100BE3FA01300\r\r>"});
}

TEST(SimulatorTransportTests, LinesAfterATMAInTheSameWriteAreStillAnswered) {
    SimulatorTransport transport;
    transport.connect({});
    send(transport, "ATMA\rATI\r");
    EXPECT_TRUE(transport.isMonitoring());
    send(transport, "\r");
    std::vector<std::string> chunks = drain(*transport.incoming());
    ASSERT_FALSE(chunks.empty());
    EXPECT_EQ(chunks.back(), stopSequence);
    chunks.pop_back();
    EXPECT_EQ(std::erase(chunks, "ATI\rELM327 v1.5\r\r>"), 1u);
    for (const std::string& f : chunks) EXPECT_TRUE(isMonitorFrame(f)) << f;
}

TEST(SimulatorTransportTests, DisconnectStopsTheMonitor) {
    SimulatorTransport transport;
    transport.connect({});
    auto& stream = *transport.incoming();
    send(transport, "ATMA\r");
    EXPECT_TRUE(isMonitorFrame(popText(stream)));
    transport.disconnect();
    EXPECT_FALSE(transport.isMonitoring());
    const std::vector<std::string> rest = drain(stream);
    EXPECT_EQ(rest.size() % 4, 3u); // the batch under way was completed, no stop sequence
    for (const std::string& f : rest) EXPECT_TRUE(isMonitorFrame(f)) << f;

    transport.connect({});
    send(transport, "ATI\r"); // first command after reconnecting: its normal reply only
    EXPECT_EQ(drain(stream), std::vector<std::string>{"ATI\rELM327 v1.5\r\r>"});
}

// Starting and stopping the monitor many times: every stop joins its thread before the stop
// sequence goes out, so a stopped monitor never adds a frame later and each new monitor starts
// counting from 0.
TEST(SimulatorTransportTests, MonitorStartAndStopThousandTimes) {
    SimulatorTransport transport;
    transport.connect({});
    auto& stream = *transport.incoming();
    send(transport, "ATE0\r");
    drain(stream);
    for (int cycle = 0; cycle < 1000; ++cycle) {
        send(transport, "ATMA\r");
        std::vector<std::string> chunks;
        if (cycle % 2 == 0) chunks.push_back(popText(stream)); // half of them wait for a frame
        send(transport, "x");
        ASSERT_FALSE(transport.isMonitoring());
        const std::vector<std::string> rest = drain(stream);
        chunks.insert(chunks.end(), rest.begin(), rest.end());
        ASSERT_FALSE(chunks.empty());
        ASSERT_EQ(chunks.back(), stopSequence) << "cycle " << cycle;
        chunks.pop_back();
        ASSERT_EQ(chunks.size() % 4, 0u) << "cycle " << cycle;
        for (std::size_t i = 0; i < chunks.size(); ++i) {
            ASSERT_TRUE(isMonitorFrame(chunks[i])) << "cycle " << cycle;
            if (i % 4 != 2) {
                ASSERT_EQ(counterOf(chunks[i]), static_cast<int>(i / 4)) << "cycle " << cycle;
            }
        }
        send(transport, "ATI\r");
        ASSERT_EQ(drain(stream), std::vector<std::string>{"ELM327 v1.5\r\r>"}) << "cycle " << cycle;
    }
}
