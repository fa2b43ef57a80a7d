#include "VEQTransport/ELM327Emulator.hpp"

#include "TestSupport/FrenchLocale.hpp"

#include <gtest/gtest.h>

using namespace veq;
using Bytes = std::vector<std::uint8_t>;

namespace {

std::string reply(ELM327Emulator& emulator, std::string_view line, const VehicleState& state) {
    const Bytes bytes = emulator.respond(line, state);
    return {bytes.begin(), bytes.end()};
}

struct Step {
    std::string_view line;
    std::string_view reply;
};

// Runs the steps in order on one emulator, at simulation time 0.
void runScript(ELM327Emulator& emulator, std::initializer_list<Step> steps) {
    const VehicleState start = VehicleSimulation().state(0);
    for (const Step& step : steps) {
        EXPECT_EQ(reply(emulator, step.line, start), step.reply) << "line: " << step.line;
    }
}

} // namespace

TEST(ELM327EmulatorTests, EchoPromptAndLineEnds) {
    ELM327Emulator emulator;
    runScript(emulator, {
        {"", "\r>"},                                  // only the prompt
        {"   \t ", "\r>"},
        {"atz", "atz\rELM327 v1.5\r\r>"},             // any case; the echo shows it as typed
        {"  ATI \r\n", "ATI\rELM327 v1.5\r\r>"},      // white space and line ends trimmed
        {"ATE0", "OK\r\r>"},                          // not echoed: echo is off once it ran
        {"ATI", "ELM327 v1.5\r\r>"},
        {"ATE1", "ATE1\rOK\r\r>"},
        {"01 0c", "01 0c\r04410C0BE4000000\r\r>"},   // blanks inside are ignored but echoed
    });
}

TEST(ELM327EmulatorTests, ATCommands) {
    ELM327Emulator emulator;
    emulator.echo = false;
    runScript(emulator, {
        {"ATI", "ELM327 v1.5\r\r>"},
        {"ATWS", "ATWS\rELM327 v1.5\r\r>"}, // a warm start turns echo back on
        {"ATE0", "OK\r\r>"},
        {"AT@1", "OBDII to RS232 Interpreter\r\r>"},
        {"ATDPN", "6\r\r>"},
        {"ATDP", "ISO 15765-4 (CAN 11/500)\r\r>"},
        {"ATRV", "14.1V\r\r>"}, // 14.096 V
    });
    // Prefixes answered OK whatever follows ("ATS" covers ATST96; only the exact line ATMA
    // starts monitoring, in the transport, so "AT MA" gets here).
    for (std::string_view line : {"ATL0", "ATS0", "ATAT2", "ATST96", "ATCAF0", "ATCRA7E8", "ATFCSH7E0",
                                  "ATFCSD300000", "ATFCSM1", "ATCFC1", "ATTP6", "AT MA", "ATAL", "ATCSM0",
                                  "ATPPFFOFF"}) {
        runScript(emulator, {{line, "OK\r\r>"}});
    }
    for (std::string_view line : {"ATD", "ATX", "AT", "STI", "STDI", "STPX"}) {
        runScript(emulator, {{line, "?\r\r>"}});
    }
}

TEST(ELM327EmulatorTests, VoltageTextKeepsAPointUnderAFrenchLocale) {
    veq::testing::FrenchLocale french;
    ASSERT_TRUE(french.active());
    ELM327Emulator emulator;
    emulator.echo = false;
    VehicleState state;
    state.controlVoltage = 13.86;
    EXPECT_EQ(reply(emulator, "ATRV", state), "13.9V\r\r>");
}

TEST(ELM327EmulatorTests, SettingsChangedByCommands) {
    ELM327Emulator emulator;
    runScript(emulator, {{"ATH1", "ATH1\rOK\r\r>"}, {"ATE0", "OK\r\r>"}, {"ATSH7E0", "OK\r\r>"}});
    EXPECT_TRUE(emulator.headers);
    EXPECT_FALSE(emulator.echo);
    EXPECT_EQ(emulator.currentTxHeader, "7E0");

    for (std::string_view line : {"ATSP0", "atspa6", "ATSP3"}) {
        emulator.protocolNumber = "3";
        runScript(emulator, {{line, "OK\r\r>"}, {"ATDPN", "6\r\r>"}});
    }

    // A reset restores echo and headers, not the protocol or the request header.
    emulator.protocolNumber = "8";
    runScript(emulator, {{"ATZ", "ATZ\rELM327 v1.5\r\r>"}});
    EXPECT_TRUE(emulator.echo);
    EXPECT_FALSE(emulator.headers);
    EXPECT_EQ(emulator.protocolNumber, "8");
    EXPECT_EQ(emulator.currentTxHeader, "7E0");

    // The header is taken without any check.
    runScript(emulator, {{"AT SH 18 DB 33 F1", "AT SH 18 DB 33 F1\rOK\r\r>"}});
    EXPECT_EQ(emulator.currentTxHeader, "18DB33F1");
}

TEST(ELM327EmulatorTests, OBDRequestsWithHeadersOff) {
    ELM327Emulator emulator;
    emulator.echo = false;
    // clang-format off
    runScript(emulator, {
        {"010C",   "04410C0BE4000000\r\r>"},
        {"0100",   "064100BE3FA01300\r\r>"},
        {"010C0D", "04410C0BE4000000\r\r>"},          // only the first parameter is read
        {"010C1",  "?\r\r>"},                         // odd length (a response-count suffix)
        {"01\t0C", "?\r\r>"},                         // tabs are not removed
        {"01ZZ",   "?\r\r>"},
        {"01",     "NO DATA\r\r>"},
        {"0102",   "NO DATA\r\r>"},                   // not supported by the car
        {"00",     "NO DATA\r\r>"},
        {"3F00",   "NO DATA\r\r>"},
        {"05",     "NO DATA\r\r>"},
        {"03",     "0543030001710000\r\r>"},          // P0300, P0171
        {"07",     "0147000000000000\r\r>"},          // no pending code
        {"0A",     "034A030000000000\r\r>"},          // P0300 permanent
        {"04",     "0144000000000000\r\r>"},
        {"03",     "0543030001710000\r\r>"},          // clearing changes nothing
        {"09",     "NO DATA\r\r>"},
        {"0900",   "0649004000000000\r\r>"},
        {"0904",   "NO DATA\r\r>"},
        {"0902",   "1014490201574444\r2132353731323331\r2241313233343536\r\r>"},
    });
    // clang-format on
}

TEST(ELM327EmulatorTests, OBDRequestsWithHeadersOn) {
    ELM327Emulator emulator;
    emulator.echo = false;
    emulator.headers = true;
    runScript(emulator, {
        {"03", "7E80543030001710000\r\r>"},
        {"010D", "7E803410D0000000000\r\r>"},
        {"0902", "7E81014490201574444\r7E82132353731323331\r7E82241313233343536\r\r>"},
        {"01", "NO DATA\r\r>"},
    });
}

TEST(ELM327EmulatorTests, OnlyTheFunctionalAndEngineAddressesAnswerOBD) {
    ELM327Emulator emulator;
    emulator.echo = false;
    runScript(emulator, {
        {"ATSH7E0", "OK\r\r>"}, {"010C", "04410C0BE4000000\r\r>"},
        {"ATSH7E1", "OK\r\r>"}, {"010C", "NO DATA\r\r>"}, {"03", "NO DATA\r\r>"}, {"0902", "NO DATA\r\r>"},
        {"1003", "065003003201F400\r\r>"},            // the transmission still answers UDS
        {"ATSH7DF", "OK\r\r>"}, {"010C", "04410C0BE4000000\r\r>"},
    });
}

TEST(ELM327EmulatorTests, SegmentationOfLongPayloads) {
    auto payload = [](std::size_t n) {
        Bytes b(n);
        for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(i + 1);
        return b;
    };
    const std::vector<Bytes> empty = ELM327Emulator::segment({});
    ASSERT_EQ(empty.size(), 1u);
    EXPECT_EQ(empty[0], (Bytes{0x00, 0, 0, 0, 0, 0, 0, 0}));

    EXPECT_EQ(ELM327Emulator::segment(payload(7)), (std::vector<Bytes>{{0x07, 1, 2, 3, 4, 5, 6, 7}}));
    EXPECT_EQ(ELM327Emulator::segment(payload(8)),
              (std::vector<Bytes>{{0x10, 0x08, 1, 2, 3, 4, 5, 6}, {0x21, 7, 8, 0, 0, 0, 0, 0}}));
    EXPECT_EQ(ELM327Emulator::segment(payload(13)),
              (std::vector<Bytes>{{0x10, 0x0D, 1, 2, 3, 4, 5, 6}, {0x21, 7, 8, 9, 10, 11, 12, 13}}));

    // 300 bytes: the length spans the first frame's low nibble, and the sequence wraps F → 0.
    const std::vector<Bytes> frames = ELM327Emulator::segment(payload(300));
    ASSERT_EQ(frames.size(), 1u + 42u); // 6 bytes, then 294 / 7 consecutive frames
    EXPECT_EQ(frames[0][0], 0x11);
    EXPECT_EQ(frames[0][1], 0x2C);
    for (std::size_t i = 1; i < frames.size(); ++i) {
        ASSERT_EQ(frames[i].size(), 8u);
        EXPECT_EQ(frames[i][0], 0x20 | (i & 0x0F)) << i;
        EXPECT_EQ(frames[i][1], static_cast<std::uint8_t>(6 + (i - 1) * 7 + 1)) << i; // no byte lost or repeated
    }
}
