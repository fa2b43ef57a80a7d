#include "VEQProtocol/ELM327Parser.hpp"

#include <gtest/gtest.h>

#include <random>

using namespace veq;
using Bytes = std::vector<std::uint8_t>;
using Strings = std::vector<std::string>;

TEST(ELM327ParserTests, Replies) {
    using F = FrameFormat;
    using E = ELM327Error;
    constexpr std::nullopt_t no = std::nullopt;
    const Bytes rpm{0x41, 0x0C, 0x1A, 0xF8};
    const Bytes vin13{0x49, 0x02, 0x01, 0x31, 0x47, 0x31, 0x4A, 0x43, 0x35, 0x34, 0x34, 0x34, 0x52};
    Bytes vin20 = vin13;
    vin20.insert(vin20.end(), {0x37, 0x32, 0x35, 0x32, 0x33, 0x36, 0x37});
    struct Case {
        std::string_view input;
        FrameFormat format;
        std::vector<ECUResponse> ecus;
        Strings text = {};
        std::optional<ELM327Error> error = {};
        bool prompt = true;
    };
    const Case cases[] = {
        {"41 0C 1A F8\r\r>", F::headersOff, {{no, rpm}}},
        // one entry per header in first-seen order; a second single frame of an ECU is ignored
        {"7E9 04 41 0C 1A F0\r7E8 04 41 0C 1A F8\r7E9 04 41 0D 00 00\r>", F::can11, {{"7E9", {0x41, 0x0C, 0x1A, 0xF0}}, {"7E8", rpm}}},
        {"7E8 10 14 49 02 01 31 47 31\r7E8 21 4A 43 35 34 34 34 52\r7E8 22 37 32 35 32 33 36 37\r\r>", F::can11, {{"7E8", vin20}}},
        {"18DAF110 03 41 0D 32\r18DAF118 03 41 0D 30\r>", F::can29, {{"18DAF110", {0x41, 0x0D, 0x32}}, {"18DAF118", {0x41, 0x0D, 0x30}}}},
        // 20 bytes announced, 13 came: cut short
        {"014\r0: 49 02 01 31 47 31\r1: 4A 43 35 34 34 34 52\r>", F::headersOff, {{no, vin13, ISOTP::Cut::ended}}, {"014"}},
        // the last numbered line is a whole frame: its padding is no data
        {"00A\r0: 43 04 01 43 01 96\r1: 02 34 02 CD 00 00 00\r\r>", F::headersOff,
         {{no, {0x43, 0x04, 0x01, 0x43, 0x01, 0x96, 0x02, 0x34, 0x02, 0xCD}}}, {"00A"}},
        {"00E\r0:62F187413235\r1:36393030363230\r2:30AAAAAAAAAAAA\r\r>", F::headersOff,
         {{no, {0x62, 0xF1, 0x87, 0x41, 0x32, 0x35, 0x36, 0x39, 0x30, 0x30, 0x36, 0x32, 0x30, 0x30}}}, {"00E"}},
        {"SEARCHING... 41 00 BE 3F A8 13\r>", F::headersOff, {{no, {0x41, 0x00, 0xBE, 0x3F, 0xA8, 0x13}}}},
        {"\xC2\xA0" "41 0D 20\t\r\n\r\n>", F::headersOff, {{no, {0x41, 0x0D, 0x20}}}},
        {"41 0D 20\r>41 0C 00 00\r>", F::headersOff, {{no, {0x41, 0x0D, 0x20}}}}, // after the prompt: dropped
        {"41 0D 20", F::headersOff, {{no, {0x41, 0x0D, 0x20}}}, {}, no, false},
        {"NO DATA\r\r>", F::can11, {}, {}, E::noData},
        {"CAN ERROR\rBUFFER FULL\r>", F::can11, {}, {}, E::canError}, // the first error wins
        {"OK\r>", F::headersOff, {}, {"OK"}},
        {"410\r>", F::can11, {}, {"410"}}, // too short for a header
        {"ELM327 v1.5\r>", F::headersOff, {}, {"ELM327 v1.5"}},
        {">", F::can11, {}},
        {"", F::headersOff, {}, {}, no, false},
        {"searching...SEARCHING...", F::headersOff, {}, {}, no, false},
    };
    for (const Case& c : cases) {
        const auto r = ELM327Parser::parse(c.input, c.format);
        EXPECT_EQ(r.ecus, c.ecus) << c.input;
        EXPECT_EQ(r.text, c.text) << c.input;
        EXPECT_EQ(r.error, c.error) << c.input;
        EXPECT_EQ(r.promptTerminated, c.prompt) << c.input;
    }
    EXPECT_TRUE(ELM327Parser::parse("SEARCHING...\r>", F::headersOff).lines.empty());
    EXPECT_EQ(ELM327Parser::parse("\xC2\xA0" "41 0D 20\t\r\n>", F::headersOff).lines, Strings{"41 0D 20"});
    EXPECT_EQ(ELM327Parser::parse("CAN ERROR\rBUFFER FULL\r>", F::can11).lines, (Strings{"CAN ERROR", "BUFFER FULL"}));
}

TEST(ELM327ParserTests, InvalidUTF8BytesAreReplaced) {
    const Bytes raw{'4', '1', ' ', '0', 'D', 0xFF, '\r', '4', '1', ' ', '0', 'D', ' ', '2', '0', '\r', '>'};
    const auto r = ELM327Parser::parse(std::span<const std::uint8_t>(raw), FrameFormat::headersOff);
    EXPECT_EQ(r.text, Strings{"41 0D\xEF\xBF\xBD"});
    EXPECT_EQ(r.ecus, (std::vector<ECUResponse>{{std::nullopt, {0x41, 0x0D, 0x20}}}));
}

// What adapters in the field print: NUL bytes before data, a clone's receive error word, the
// echo of the command with echo on.
TEST(ELM327ParserTests, RealAdapterQuirks) {
    using F = FrameFormat;
    const ECUResponse supported{std::nullopt, {0x41, 0x00, 0xBE, 0x3F, 0xA8, 0x13}};
    struct Case { std::string_view input; FrameFormat format; std::string_view command; std::vector<ECUResponse> ecus; Strings lines; std::optional<ELM327Error> error = {}; };
    const Case cases[] = {
        {std::string_view("\0" "41 00 BE 3F\0 A8 13\r\r>\0", 23), F::headersOff, "", {supported}, {"41 00 BE 3F A8 13"}},
        {"7E8 10 14 49 02 01 31 47 31\r<RX ERROR\r\r>", F::can11, "0902", {{"7E8", {0x49, 0x02, 0x01, 0x31, 0x47, 0x31}, ISOTP::Cut::ended}}, // cut short
         {"7E8 10 14 49 02 01 31 47 31", "<RX ERROR"}, ELM327Error::dataError},
        {"0100\r41 00 BE 3F A8 13\r\r>", F::headersOff, "0100", {supported}, {"41 00 BE 3F A8 13"}},
        {"01 00\r41 00 BE 3F A8 13\r\r>", F::headersOff, "0100", {supported}, {"41 00 BE 3F A8 13"}},
        {"\r0100\rSEARCHING...\r41 00 BE 3F A8 13\r\r>", F::headersOff, "01 00", {supported}, {"41 00 BE 3F A8 13"}},
        {"atdpn\rA6\r\r>", F::headersOff, "ATDPN", {{std::nullopt, {0xA6}}}, {"A6"}},
        // only the first line is the echo, and only when it matches
        {"41 00 BE 3F A8 13\r0100\r\r>", F::headersOff, "0100", {{std::nullopt, {0x41, 0x00, 0xBE, 0x3F, 0xA8, 0x13, 0x01, 0x00}}},
         {"41 00 BE 3F A8 13", "0100"}},
        {"ATI\rELM327 v1.5\r\r>", F::headersOff, "ATZ", {}, {"ATI", "ELM327 v1.5"}},
    };
    for (const Case& c : cases) {
        const auto bytes = std::span(reinterpret_cast<const std::uint8_t*>(c.input.data()), c.input.size());
        const ELM327Response r = ELM327Parser::parse(bytes, c.format, c.command);
        EXPECT_EQ(r.ecus, c.ecus) << c.input;
        EXPECT_EQ(r.lines, c.lines) << c.input;
        EXPECT_EQ(r.error, c.error) << c.input;
    }
}

// An ECU's later messages are follow-ups, each read on its own: a "response pending" then the
// answer, a message cut short (by its own message sent again) then the whole one. A frame that
// belongs to no message is dropped and named; without headers the line numbers are the sequence.
TEST(ELM327ParserTests, AnECUsLaterMessagesAreFollowUps) {
    using ISOTP::Cut;
    using F = FrameFormat;
    constexpr std::nullopt_t no = std::nullopt;
    const Bytes partNumber{0x62, 0xF1, 0x87, 0x30, 0x43, 0x4B, 0x39, 0x32, 0x37, 0x31, 0x35, 0x38}; // "0CK927158"
    const Bytes part14{0x62, 0xF1, 0x87, 0x41, 0x32, 0x35, 0x36, 0x39, 0x30, 0x30, 0x36, 0x32, 0x30, 0x30};
    const Bytes codes1{0x43, 0x04, 0x01, 0x43, 0x01, 0x96, 0x02, 0x34, 0x02, 0xCD};
    // 7E2's 40 codes: 3 + 160 bytes in numbered lines 0 to F, then 0 to 7 again.
    constexpr std::size_t udsLength = 0xA3;
    std::string udsCodes = "0A3\r";
    Bytes udsBytes;
    for (std::size_t line = 0, at = 0; at < udsLength; ++line) {
        udsCodes += std::string(1, "0123456789ABCDEF"[line % 16]) + ":";
        for (int b = 0; b < (line == 0 ? 6 : 7); ++b, ++at) {
            const std::uint8_t value = at == 0 ? 0x59 : at < udsLength ? static_cast<std::uint8_t>(at) : 0xAA;
            udsCodes += {' ', "0123456789ABCDEF"[value >> 4], "0123456789ABCDEF"[value & 0x0F]};
            if (at < udsLength) udsBytes.push_back(value);
        }
        udsCodes += "\r";
    }
    std::string udsMissing = udsCodes;
    const std::size_t lineF = udsMissing.find("\rF:"), line0 = udsMissing.find("\r0:", lineF);
    std::string udsPastF = udsCodes;
    udsPastF.replace(line0, 3, "\r10:"); // numbered on past F instead of 0
    udsMissing.erase(line0, udsMissing.find('\r', line0 + 1) - line0); // the line numbered 0 after F lost
    const Bytes part13(part14.begin(), part14.begin() + 13);
    const Bytes supported{0x41, 0x00, 0xBE, 0x3F, 0xA8, 0x13}, supported2{0x41, 0x00, 0x00, 0x40, 0x00, 0x01};
    struct Case {
        std::string input;
        std::vector<ECUResponse> ecus, followUps;
        FrameFormat format = F::can11;
        Strings strays = {};
    };
    const Case cases[] = {
        {"7E8037F227800000000\r7E9037E0000000000\r7E80462F19041000000\r\r>",
         {{"7E8", {0x7F, 0x22, 0x78}}, {"7E9", {0x7E, 0x00, 0x00}}}, {{"7E8", {0x62, 0xF1, 0x90, 0x41}}}},
        {"7E9101262F18730434B\r7E921393237313538\r7E9100C62F18730434B\r7E921393237313538\r\r>",
         {{"7E9", partNumber, Cut::interrupted}}, {{"7E9", partNumber}}},
        {"7E9100E62F18730434B\r7E921393237313538\r7E921393237313538\r7E9223030\r\r>",
         {{"7E9", partNumber, Cut::outOfSequence}}, {}, F::can11, {"7E9"}},
        // a stray consecutive frame, then a flow-control frame, before the whole message
        {"7E92230\r7E9300000\r7E9100C62F18730434B\r7E921393237313538\r\r>", {{"7E9", partNumber}}, {}, F::can11,
         {"7E9", "7E9"}},
        // only frames of no message: the ECU answered, broken
        {"7E92230\r7E80341 0D 20\r\r>", {{"7E9", {}, Cut::stray}, {"7E8", {0x41, 0x0D, 0x20}}}, {}, F::can11, {"7E9"}},
        {"18DAF1102230\r>", {{"18DAF110", {}, Cut::stray}}, {}, F::can29, {"18DAF110"}},
        // a single frame one byte short of its length
        {"7E80762F1953031 32\r\r>", {{"7E8", {0x62, 0xF1, 0x95, 0x30, 0x31, 0x32}, Cut::shortFrame}}, {}},
        // without headers each count begins a message; what follows a whole one is a message too
        {"00A\r0: 43 04 01 43 01 96\r1: 02 34 02 CD 00 00 00\r43 01 01 33\r\r>",
         {{no, codes1}}, {{no, {0x43, 0x01, 0x01, 0x33}}}, F::headersOff},
        {"00A\r0: 43 04 01 43 01 96\r1: 02 34 02 CD 00 00 00\r00A\r0: 43 04 01 33 03 00\r1: 01 71 04 20 00 00 00\r\r>",
         {{no, codes1}}, {{no, {0x43, 0x04, 0x01, 0x33, 0x03, 0x00, 0x01, 0x71, 0x04, 0x20}}}, F::headersOff},
        // a numbered line printed twice breaks its message; no later line joins it
        {"00E\r0:62F187413235\r1:36393030363230\r1:36393030363230\r2:30AAAAAAAAAAAA\r\r>",
         {{no, Bytes(part14.begin(), part14.begin() + 13), Cut::outOfSequence}}, {}, F::headersOff, {""}},
        // cut short, then whole: a new count line begins the next message
        {"00E\r0:62F187413235\r00E\r0:62F187413235\r1:36393030363230\r2:30AAAAAAAAAAAA\r\r>",
         {{no, Bytes(part14.begin(), part14.begin() + 6), Cut::interrupted}}, {{no, part14}}, F::headersOff},
        {udsCodes + "\r>", {{no, udsBytes}}, {}, F::headersOff},
        {udsMissing + "\r>", {{no, Bytes(udsBytes.begin(), udsBytes.begin() + 6 + 15 * 7), Cut::outOfSequence}}, {},
         F::headersOff, Strings(6, "")},
        {udsPastF + "\r>", {{no, Bytes(udsBytes.begin(), udsBytes.begin() + 6 + 15 * 7), Cut::outOfSequence}}, {},
         F::headersOff, Strings(7, "")},
        // numbered lines with no count line carry their sequence all the same: 0 first, each the next
        {"0:62F187413235\r1:36393030363230\r1:36393030363230\r2:30\r\r>", {{no, part13, Cut::outOfSequence}}, {},
         F::headersOff, {""}},
        {"0:62F187413235\r1:36393030363230\r2:30\r\r>", {{no, part14}}, {}, F::canHeadersOff},
        {"1:36393030363230\r2:30\r\r>", {{no, {}, Cut::outOfSequence}}, {}, F::headersOff, {""}},
        // a count line whose line 0 never came: a message broken before its first byte
        {"43 01 07 00\r00A\r1: C1 00 41 23 00 00 00\r\r>", {{no, {0x43, 0x01, 0x07, 0x00}}}, {{no, {}, Cut::outOfSequence}},
         F::canHeadersOff},
        // on CAN without headers each line outside a counted message is a message of its own
        {"7F 19 78\r59 02 FF\r\r>", {{no, {0x7F, 0x19, 0x78}}}, {{no, {0x59, 0x02, 0xFF}}}, F::canHeadersOff},
        {"41 00 BE 3F A8 13\r41 00 00 40 00 01\r\r>", {{no, supported}}, {{no, supported2}}, F::canHeadersOff},
        {"43 01 07 00\r00A\r0: 43 04 01 33 03 00\r1: C1 00 41 23 00 00 00\r43 00\r\r>", {{no, {0x43, 0x01, 0x07, 0x00}}},
         {{no, {0x43, 0x04, 0x01, 0x33, 0x03, 0x00, 0xC1, 0x00, 0x41, 0x23}}, {no, {0x43, 0x00}}}, F::canHeadersOff},
        // protocol unknown: a negative response is a message of its own, the lines around it joined
        {"7F 19 78\r59 02 FF\r\r>", {{no, {0x7F, 0x19, 0x78}}}, {{no, {0x59, 0x02, 0xFF}}}, F::headersOff},
        {"7F 22 78\r62 F1 8B 01\r02 03\r7F 22 78\r\r>", {{no, {0x7F, 0x22, 0x78}}},
         {{no, {0x62, 0xF1, 0x8B, 0x01, 0x02, 0x03}}, {no, {0x7F, 0x22, 0x78}}}, F::headersOff},
        // an older protocol's lines are still joined
        {"41 00 BE 3F A8 13\r41 00 00 40 00 01\r\r>", {{no, {0x41, 0x00, 0xBE, 0x3F, 0xA8, 0x13, 0x41, 0x00, 0x00, 0x40, 0x00, 0x01}}},
         {}, F::headersOff},
    };
    for (const Case& c : cases) {
        const auto r = ELM327Parser::parse(c.input, c.format);
        EXPECT_EQ(r.ecus, c.ecus) << c.input;
        EXPECT_EQ(r.followUps, c.followUps) << c.input;
        EXPECT_EQ(r.strayFrames, c.strays) << c.input;
    }
}

TEST(ELM327ParserTests, EchoCheckOfResponseData) {
    using O = std::optional<Bytes>;
    struct Case { Bytes payload; OBDMode mode; std::optional<std::uint8_t> pid; O data; };
    const Case cases[] = {
        {{0x41, 0x0C, 0x1A, 0xF8}, OBDMode::currentData, 0x0C, Bytes{0x1A, 0xF8}},
        {{0x41, 0x0C, 0x1A, 0xF8}, OBDMode::currentData, 0x0D, std::nullopt},
        {{0x41, 0x0C, 0x1A, 0xF8}, OBDMode::vehicleInfo, std::nullopt, std::nullopt},
        {{0x41}, OBDMode::currentData, 0x0C, std::nullopt},
        {{0x41, 0x0C}, OBDMode::currentData, 0x0C, Bytes{}},
        {{0x43, 0x01, 0x01, 0x33}, OBDMode::storedDTCs, std::nullopt, Bytes{0x01, 0x01, 0x33}},
    };
    for (const Case& c : cases) EXPECT_EQ((ECUResponse{std::nullopt, c.payload}.data(c.mode, c.pid)), c.data);
    EXPECT_EQ((ECUResponse{std::nullopt, {}}).responseMode(), std::nullopt);
}

// Random and mutated replies: nothing may crash or read out of bounds (the sanitizer build
// checks memory), and the invariants of a response must hold.
TEST(ELM327ParserTests, RobustOnRandomAndMutatedReplies) {
    const std::string seeds[] = {
        "7E8 10 14 49 02 01 31 47 31\r7E8 21 4A 43 35 34 34 34 52\r7E8 22 37 32 35 32 33 36 37\r\r>",
        "SEARCHING...\r41 00 BE 3F A8 13\r>", "0: 49 02 01 31 47 31\r1: 4A 43\r>", "NO DATA\r>",
        "18DAF110 03 41 0D 32\r>", "7E8 03 7F 22 78\r>", "BUS INIT: ...ERROR\r>"};
    const char alphabet[] = "0123456789ABCDEFabcdef :\r\n>.?SEARCHINGNODAT\t\xC2\xA0\xFF\x80";
    std::mt19937 rng(20261206);
    const FrameFormat formats[] = {FrameFormat::headersOff, FrameFormat::can11, FrameFormat::can29, FrameFormat::canHeadersOff};
    for (int i = 0; i < 100000; ++i) {
        std::string input;
        if (i % 2 == 0) {
            input = seeds[rng() % std::size(seeds)];
            const int mutations = 1 + static_cast<int>(rng() % 6);
            for (int m = 0; m < mutations && !input.empty(); ++m) {
                const std::size_t at = rng() % input.size();
                switch (rng() % 3) {
                case 0: input[at] = static_cast<char>(rng() & 0xFF); break;
                case 1: input.erase(at, 1 + rng() % 4); break;
                default: input.insert(at, 1, alphabet[rng() % (sizeof alphabet - 1)]); break;
                }
            }
        } else {
            const std::size_t len = rng() % 64;
            for (std::size_t k = 0; k < len; ++k) input.push_back(alphabet[rng() % (sizeof alphabet - 1)]);
        }
        const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(input.data()), input.size());
        const auto r = ELM327Parser::parse(bytes, formats[i % std::size(formats)]);
        ASSERT_EQ(r.promptTerminated, input.find('>') != std::string::npos);
        ASSERT_LE(r.text.size(), r.lines.size());
        ASSERT_LE(r.ecus.size(), r.lines.size());
        for (const auto& ecu : r.ecus) ASSERT_TRUE(!ecu.payload.empty() || ecu.cutShort());
        ASSERT_TRUE(!r.error || !r.lines.empty());
    }
}
