#include "VEQTransport/SimulatorTransport.hpp"

#include <gtest/gtest.h>

using namespace veq;
using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;
using Strings = std::vector<std::string>;

namespace {

void send(SimulatorTransport& transport, std::string_view text) { transport.send(Bytes(text.begin(), text.end()), {}); }

// Everything the transport has put on the stream so far (replies arrive inside send()).
Strings drain(IncomingStream& stream) {
    Strings out;
    while (auto chunk = stream.pop(0s, {})) out.emplace_back(chunk->begin(), chunk->end());
    return out;
}

// The next chunk, waiting for it; the bound is reached only when the monitor is broken.
std::string popText(IncomingStream& stream) {
    auto chunk = stream.pop(30s, {});
    EXPECT_TRUE(chunk.has_value());
    return chunk ? std::string(chunk->begin(), chunk->end()) : std::string();
}

// Whether `frames` are whole batches (0C8, 3D9, 308, 200), each counter byte (byte 7 of 0C8
// and 3D9, byte 3 of 200) numbering its batch from 0.
bool areBatchesCountedFromZero(const Strings& frames) {
    static const std::string ids[] = {"0C8", "3D9", "308", "200"};
    if (frames.size() % 4 != 0) return false;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        if (frames[i].size() != 28 || frames[i].back() != '\r' || frames[i].substr(0, 4) != ids[i % 4] + " ") return false;
        const std::size_t counterByte = i % 4 == 3 ? 3 : 7;
        if (i % 4 != 2 && std::stoi(frames[i].substr(4 + (counterByte - 1) * 3, 2), nullptr, 16) != static_cast<int>(i / 4))
            return false;
    }
    return true;
}

} // namespace

TEST(SimulatorTransportTests, LinesAreCutAtCarriageReturns) {
    SimulatorTransport transport;
    transport.connect({});
    auto& stream = *transport.incoming();
    send(transport, "AT");
    send(transport, "Z");
    EXPECT_TRUE(drain(stream).empty()); // no reply before the line is complete
    send(transport, "\r");
    EXPECT_EQ(drain(stream), Strings{"ATZ\rELM327 v1.5\r\r>"});
    send(transport, "ATE0\rATH1\r \t \r\r"); // two replies; blank lines get none, not even a prompt
    EXPECT_EQ(drain(stream), (Strings{"OK\r\r>", "OK\r\r>"}));
    send(transport, "ATI\r\nATMA\r"); // CR LF senders: the next line starts with a line feed, so is no ATMA
    EXPECT_EQ(drain(stream), (Strings{"ELM327 v1.5\r\r>", "OK\r\r>"}));
    EXPECT_FALSE(transport.isMonitoring());
    send(transport, "AT\xFFI\r"); // invalid UTF-8 is replaced, then answered as unknown
    EXPECT_EQ(drain(stream), Strings{"?\r\r>"});

    send(transport, "ATE1\r");
    drain(stream);
    for (int i = 0; i < 100; ++i) send(transport, std::string(1000, 'Z')); // an unfinished line is bounded
    send(transport, "\r");
    EXPECT_EQ(drain(stream), Strings{std::string(SimulatorTransport::maxLineBytes, 'Z') + "\r?\r\r>"});
    send(transport, "ATI\r"); // the next line starts clean
    EXPECT_EQ(drain(stream), Strings{"ATI\rELM327 v1.5\r\r>"});
}

TEST(SimulatorTransportTests, FrozenTimeDrivesRepliesAndGroundTruth) {
    SimulatorTransport transport;
    transport.setSimulatedTime(115);
    transport.connect({});
    send(transport, "ATE0\r01A4\r010C\r");
    EXPECT_EQ(drain(*transport.incoming()), (Strings{"OK\r\r>", "0641A4000F12C000\r\r>", "04410C0BE4000000\r\r>"}));
    transport.disconnect();
    transport.connect({}); // the frozen time survives reconnection
    EXPECT_EQ(transport.groundTruth(), VehicleSimulation().state(115));
    transport.resumeRealTime();
    EXPECT_LT(transport.groundTruth().runtimeSeconds, 115); // back on the clock since connect
}

TEST(SimulatorTransportTests, MonitorFramesOfOneBatch) {
    // 4812.5 rpm x 4 = 19250; 125.28 km/h -> 125; pedal 69.5 % x 2.55 = 177.2; coolant 95.55 -> 95,
    // throttle 66.5 % x 2.55 = 169.6 -> 169
    EXPECT_EQ(SimulatorTransport::canFrames(VehicleSimulation().state(52.5), 0xAB),
              (std::array<std::string, 4>{"0C8 11 4B 32 B1 00 00 AB 00", "3D9 7D 7D 00 00 FE 00 AB 1A",
                                          "308 5F A9 40 00 00 00 00 00", "200 00 00 AB 00 80 00 00 55"}));
}

// Disconnect stops the monitor; the stream stays open, and a reconnected transport starts afresh.
TEST(SimulatorTransportTests, LifecycleMonitorAndReconnect) {
    SimulatorTransport transport;
    auto& stream = *transport.incoming();
    EXPECT_THROW(send(transport, "ATZ\r"), TransportError);
    transport.connect({});
    EXPECT_EQ(transport.state(), TransportState::connected());
    send(transport, "ATH1\rATMA\rATI\r");
    EXPECT_TRUE(transport.isMonitoring());
    Strings chunks{popText(stream)};
    transport.disconnect();
    EXPECT_FALSE(transport.isMonitoring());
    EXPECT_THROW(send(transport, "ATI\r"), TransportError);
    for (std::string& chunk : drain(stream)) chunks.push_back(std::move(chunk));
    EXPECT_EQ(std::erase(chunks, "ATH1\rOK\r\r>") + std::erase(chunks, "ATI\rELM327 v1.5\r\r>"), 2u); // the line after ATMA too
    EXPECT_TRUE(areBatchesCountedFromZero(chunks)); // the batch under way was completed, no stop sequence
    EXPECT_FALSE(stream.isFinished());
    transport.connect({}); // echo on, headers off again
    send(transport, "0100\r");
    EXPECT_EQ(drain(stream), Strings{"0100\r064100BE3FA01300\r\r>"});
}

// Starting and stopping the monitor many times: any write stops it, every stop joins its
// thread before the stop sequence goes out, so a stopped monitor never adds a frame later and
// each new monitor starts counting from 0. The bytes that stop it are dropped.
TEST(SimulatorTransportTests, MonitorStartAndStopThousandTimes) {
    SimulatorTransport transport;
    transport.connect({});
    transport.setSimulatedTime(52.5); // replies only: monitor frames keep to real time
    auto& stream = *transport.incoming();
    send(transport, "ATE0\r");
    drain(stream);
    for (int cycle = 0; cycle < 1000; ++cycle) {
        send(transport, "ATMA\r");
        ASSERT_TRUE(transport.isMonitoring());
        Strings chunks;
        if (cycle % 2 == 0) chunks.push_back(popText(stream)); // half of them wait for a frame
        if (cycle == 0) { EXPECT_EQ(chunks[0].substr(0, 16), "0C8 11 0B E4 18 "); } // idle since connect, not 52.5 s
        send(transport, cycle % 2 == 0 ? "0100\r" : "x");
        ASSERT_FALSE(transport.isMonitoring());
        const Strings rest = drain(stream);
        chunks.insert(chunks.end(), rest.begin(), rest.end());
        ASSERT_FALSE(chunks.empty());
        ASSERT_EQ(chunks.back(), "\r\r>") << "cycle " << cycle;
        chunks.pop_back();
        ASSERT_TRUE(areBatchesCountedFromZero(chunks)) << "cycle " << cycle;
        send(transport, "ATI\r");
        ASSERT_EQ(drain(stream), Strings{"ELM327 v1.5\r\r>"}) << "cycle " << cycle;
    }
}
