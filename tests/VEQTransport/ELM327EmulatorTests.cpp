#include "VEQTransport/ELM327Emulator.hpp"

#include "TestSupport/FrenchLocale.hpp"

#include <gtest/gtest.h>

using namespace veq;
using Bytes = std::vector<std::uint8_t>;

namespace {

struct Step {
    std::string_view line;
    std::string_view reply;
};

// Runs the steps in order on one emulator, by default at simulation time 0.
void runScript(ELM327Emulator& emulator, std::initializer_list<Step> steps, const VehicleState& state = VehicleSimulation().state(0)) {
    for (const Step& step : steps) {
        const Bytes bytes = emulator.respond(step.line, state);
        EXPECT_EQ(std::string(bytes.begin(), bytes.end()), step.reply) << "line: " << step.line;
    }
}

} // namespace

TEST(ELM327EmulatorTests, EchoSettingsAndATCommands) {
    veq::testing::FrenchLocale french; // the voltage must keep its decimal point
    ASSERT_TRUE(french.active());
    ELM327Emulator emulator;
    runScript(emulator, {
        {"", "\r>"},                                  // only the prompt
        {"atz", "atz\rELM327 v1.5\r\r>"},             // any case; the echo shows it as typed
        {"  ATI \r\n", "ATI\rELM327 v1.5\r\r>"},      // white space and line ends trimmed
        {"01 0c", "01 0c\r04410C0BE4000000\r\r>"},   // blanks inside are ignored but echoed
        {"ATE0", "OK\r\r>"},                          // not echoed: echo is off once it ran
        {"ATH1", "OK\r\r>"},
        {"AT SH 18 DB 33 F1", "OK\r\r>"},             // the header is taken without any check
        {"AT@1", "OBDII to RS232 Interpreter\r\r>"},
        {"ATDP", "ISO 15765-4 (CAN 11/500)\r\r>"},
        {"ATRV", "14.1V\r\r>"},                       // 14.096 V, whatever the locale
    });
    EXPECT_TRUE(emulator.headers);
    EXPECT_EQ(emulator.currentTxHeader, "18DB33F1");
    emulator.protocolNumber = "3";
    runScript(emulator, {{"atspa3", "OK\r\r>"}, {"ATDPN", "6\r\r>"}}); // the simulated bus is always protocol 6
    // A reset restores echo and headers, not the protocol or the request header.
    emulator.protocolNumber = "8";
    runScript(emulator, {{"ATWS", "ATWS\rELM327 v1.5\r\r>"}});
    EXPECT_TRUE(emulator.echo);
    EXPECT_FALSE(emulator.headers);
    EXPECT_EQ(emulator.protocolNumber, "8");
    EXPECT_EQ(emulator.currentTxHeader, "18DB33F1");

    emulator.echo = false;
    // Prefixes answered OK whatever follows ("ATS" covers ATST96; only the exact line ATMA
    // starts monitoring, in the transport, so "AT MA" gets here).
    for (std::string_view line : {"ATL0", "ATST96", "ATCAF0", "ATCRA7E8", "ATFCSD300000", "ATTP6", "AT MA", "ATPPFFOFF"})
        runScript(emulator, {{line, "OK\r\r>"}});
    for (std::string_view line : {"ATD", "ATX", "AT", "STI"}) runScript(emulator, {{line, "?\r\r>"}});
}

TEST(ELM327EmulatorTests, OBDRequests) {
    ELM327Emulator emulator;
    emulator.echo = false;
    runScript(emulator, {
        {"0100", "064100BE3FA01300\r\r>"}, {"010C0D", "04410C0BE4000000\r\r>"}, // only the first parameter is read
        {"010C1", "?\r\r>"},                 // odd length (a response-count suffix)
        {"01\t0C", "?\r\r>"},                // tabs are not removed
        {"01", "NO DATA\r\r>"},              {"0102", "NO DATA\r\r>"},        // not supported by the car
        // the count byte of CAN: P0300 and P0171 stored, none pending, P0300 permanent
        {"03", "0643020300017100\r\r>"},     {"07", "0247000000000000\r\r>"},
        {"0A", "044A010300000000\r\r>"},     {"04", "0144000000000000\r\r>"}, // cleared
        {"03", "0643020300017100\r\r>"},     {"0904", "NO DATA\r\r>"},        // clearing changes nothing
        {"0101", "0641018207000000\r\r>"},   // lamp on, two codes stored
        {"ATSH7E1", "OK\r\r>"}, {"010C", "NO DATA\r\r>"}, {"1003", "065003003201F400\r\r>"}, // the transmission answers UDS only
    });
    emulator.storedDTCs = {{0x04, 0x20}, {0x01, 0x33}, {0x03, 0x00}, {0x01, 0x71}};
    emulator.headers = true;
    runScript(emulator, {{"ATSH7DF", "OK\r\r>"}, {"0101", "7E80641018407000000\r\r>"},
                         {"03", "7E8100A430404200133\r7E82103000171000000\r\r>"}});
    emulator.storedDTCs.clear();
    runScript(emulator, {{"0101", "7E80641010007000000\r\r>"}, {"03", "7E80243000000000000\r\r>"}}); // lamp off
}

TEST(ELM327EmulatorTests, SegmentationOfLongPayloads) {
    Bytes payload(300);
    for (std::size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<std::uint8_t>(i + 1);
    EXPECT_EQ(ELM327Emulator::segment(std::span(payload).first(8)),
              (std::vector<Bytes>{{0x10, 0x08, 1, 2, 3, 4, 5, 6}, {0x21, 7, 8, 0, 0, 0, 0, 0}}));
    // 300 bytes: the length spans the first frame's low nibble, and the sequence wraps F to 0.
    const std::vector<Bytes> frames = ELM327Emulator::segment(payload);
    ASSERT_EQ(frames.size(), 1u + 42u);
    EXPECT_EQ(frames[0][0], 0x11);
    EXPECT_EQ(frames[0][1], 0x2C);
    for (std::size_t i = 1; i < frames.size(); ++i) {
        EXPECT_EQ(frames[i][0], 0x20 | (i & 0x0F)) << i;
        EXPECT_EQ(frames[i][1], static_cast<std::uint8_t>(6 + (i - 1) * 7 + 1)) << i; // no byte lost or repeated
    }
}

TEST(ELM327EmulatorTests, UDSServices) {
    struct Exchange { std::string_view header, request, lines; };
    const Exchange exchanges[] = {
        {"7E0", "1003",     "065003003201F400"},                 // any session, fixed timings
        {"7E0", "190208",   "100B5902FF030064\r2108017100080000"}, // the mask is not examined
        {"7E1", "1902FF",   "075902FF07156208"},
        {"7E0", "1901FF",   "037F191200000000"},
        {"7E0", "22F188",   "100E62F188303034\r21342F332E31312E\r2230000000000000"},
        {"7E0", "22200120", "056220010BE40000"},                 // 761 rpm x 4; only the first identifier
        {"7E1", "222011",   "0462201145000000"},                 // 21.2 + 8 + 40 = 69.2 -> 69
        {"7E0", "222010",   "037F223100000000"},                 // gear belongs to the transmission
        {"7E1", "222001",   "037F223100000000"},                 // engine speed belongs to the engine
        {"7E0", "22F1",     "037F221300000000"},
        {"7E1", "27",       "0667015AC3197E00"},                 // a fixed seed, every key refused
        {"7E0", "270211223344", "037F273500000000"},
        {"7E0", "2EF19001", "037F2E3300000000"},                 // writing is always denied
        {"7E1", "3E80",     "027E000000000000"},                 // even with the suppress bit
        {"7E0", "3101FF00", "037F311100000000"},
        // The units the coding recipes address: identification, no live data, no codes.
        {"7E4", "22F197",   "100862F19753414D\r212D460000000000"}, // "SAM-F"
        {"740", "3E00",     "027E000000000000"},
        {"7B2", "1003",     "065003003201F400"},
        {"7E6", "1902FF",   "035902FF00000000"},
        {"7E2", "222001",   "037F223100000000"},
        {"7E2", "2EF19001", "037F2E3300000000"},
        {"7DF", "1003",     "NO DATA"},                          // only the units answer
        {"7E8", "3E00",     "NO DATA"},
        {"741", "3E00",     "NO DATA"},
        {"",    "3E00",     "NO DATA"},
    };
    for (const Exchange& e : exchanges) {
        ELM327Emulator emulator;
        emulator.echo = false;
        emulator.currentTxHeader = std::string(e.header);
        runScript(emulator, {{e.request, std::string(e.lines) + "\r\r>"}});
    }
}

TEST(ELM327EmulatorTests, ReplyHeaderForARequestHeader) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"7E7", "7EF"}, {"18DA", "18E2"}, {"FFFF", "10007"}, {"", "7E8"}, {"7G0", "7E8"}, {"12345", "7E8"}};
    for (const auto& [request, reply] : cases) EXPECT_EQ(ELM327Emulator::udsRxHeader(request), reply) << request;
}
