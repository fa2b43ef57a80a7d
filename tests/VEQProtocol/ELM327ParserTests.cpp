#include "VEQProtocol/ELM327Parser.hpp"

#include <gtest/gtest.h>

#include <random>

using namespace veq;
using Bytes = std::vector<std::uint8_t>;

namespace {

ELM327Response parse(std::string_view text, FrameFormat format) { return ELM327Parser::parse(text, format); }

} // namespace

TEST(ELM327ParserTests, SingleFrameWithoutHeaders) {
    const auto r = parse("41 0C 1A F8\r\r>", FrameFormat::headersOff);
    ASSERT_EQ(r.ecus.size(), 1u);
    EXPECT_FALSE(r.ecus[0].header.has_value());
    EXPECT_EQ(r.ecus[0].payload, (Bytes{0x41, 0x0C, 0x1A, 0xF8}));
    EXPECT_TRUE(r.promptTerminated);
    EXPECT_TRUE(r.text.empty());
    EXPECT_EQ(r.lines, std::vector<std::string>{"41 0C 1A F8"});
}

TEST(ELM327ParserTests, TwoECUsKeepFirstSeenOrder) {
    const auto r = parse("7E9 04 41 0C 1A F0\r7E8 04 41 0C 1A F8\r7E9 04 41 0D 00 00\r>", FrameFormat::can11);
    ASSERT_EQ(r.ecus.size(), 2u);
    EXPECT_EQ(r.ecus[0].header, "7E9");
    EXPECT_EQ(r.ecus[0].payload, (Bytes{0x41, 0x0C, 0x1A, 0xF0})); // a single frame: later frames ignored
    EXPECT_EQ(r.ecus[1].header, "7E8");
    EXPECT_EQ(r.ecus[1].payload, (Bytes{0x41, 0x0C, 0x1A, 0xF8}));
    EXPECT_EQ(r.firstPayload(), &r.ecus[0].payload);
}

TEST(ELM327ParserTests, MultiFrameVINIsReassembled) {
    const auto r = parse("7E8 10 14 49 02 01 31 47 31\r7E8 21 4A 43 35 34 34 34 52\r7E8 22 37 32 35 32 33 36 37\r\r>",
                         FrameFormat::can11);
    ASSERT_EQ(r.ecus.size(), 1u);
    const Bytes expected{0x49, 0x02, 0x01, 0x31, 0x47, 0x31, 0x4A, 0x43, 0x35, 0x34,
                         0x34, 0x34, 0x52, 0x37, 0x32, 0x35, 0x32, 0x33, 0x36, 0x37};
    EXPECT_EQ(r.ecus[0].payload, expected);
}

TEST(ELM327ParserTests, TwentyNineBitHeaders) {
    const auto r = parse("18DAF110 03 41 0D 32\r18DAF118 03 41 0D 30\r>", FrameFormat::can29);
    ASSERT_EQ(r.ecus.size(), 2u);
    EXPECT_EQ(r.ecus[0].header, "18DAF110");
    EXPECT_EQ(r.ecus[0].payload, (Bytes{0x41, 0x0D, 0x32}));
    EXPECT_EQ(r.ecus[1].header, "18DAF118");
}

TEST(ELM327ParserTests, NumberedLinesWithoutHeaders) {
    const auto r = parse("014\r0: 49 02 01 31 47 31\r1: 4A 43 35 34 34 34 52\r>", FrameFormat::headersOff);
    EXPECT_EQ(r.text, std::vector<std::string>{"014"});
    ASSERT_EQ(r.ecus.size(), 1u);
    EXPECT_FALSE(r.ecus[0].header);
    EXPECT_EQ(r.ecus[0].payload,
              (Bytes{0x49, 0x02, 0x01, 0x31, 0x47, 0x31, 0x4A, 0x43, 0x35, 0x34, 0x34, 0x34, 0x52}));
}

TEST(ELM327ParserTests, SearchingPrefixIsStripped) {
    auto r = parse("SEARCHING...\r>", FrameFormat::headersOff);
    EXPECT_TRUE(r.lines.empty());
    EXPECT_TRUE(r.isEmpty());

    r = parse("SEARCHING... 41 00 BE 3F A8 13\r>", FrameFormat::headersOff);
    EXPECT_EQ(r.lines, std::vector<std::string>{"41 00 BE 3F A8 13"});
    ASSERT_EQ(r.ecus.size(), 1u);
    EXPECT_EQ(r.ecus[0].payload, (Bytes{0x41, 0x00, 0xBE, 0x3F, 0xA8, 0x13}));

    r = parse("searching...SEARCHING...", FrameFormat::headersOff); // repeated, any case
    EXPECT_TRUE(r.lines.empty());
}

TEST(ELM327ParserTests, ErrorWordsTravelInsideTheResponse) {
    auto r = parse("NO DATA\r\r>", FrameFormat::can11);
    EXPECT_EQ(r.error, ELM327Error::noData);
    EXPECT_EQ(r.lines, std::vector<std::string>{"NO DATA"});
    EXPECT_TRUE(r.ecus.empty());
    EXPECT_TRUE(r.text.empty());
    EXPECT_FALSE(r.isEmpty());
    EXPECT_TRUE(r.isError());

    r = parse("CAN ERROR\rBUFFER FULL\r>", FrameFormat::can11);
    EXPECT_EQ(r.error, ELM327Error::canError); // the first one wins
    EXPECT_EQ(r.lines.size(), 2u);
}

TEST(ELM327ParserTests, TextAndShortLines) {
    auto r = parse("OK\r>", FrameFormat::headersOff);
    EXPECT_EQ(r.text, std::vector<std::string>{"OK"});
    EXPECT_TRUE(r.ecus.empty());

    r = parse("410\r>", FrameFormat::can11); // too short for a header, odd length
    EXPECT_EQ(r.text, std::vector<std::string>{"410"});
    EXPECT_TRUE(r.ecus.empty());

    r = parse("ELM327 v1.5\r>", FrameFormat::headersOff);
    EXPECT_EQ(r.text, std::vector<std::string>{"ELM327 v1.5"});
}

TEST(ELM327ParserTests, PromptAndEmptyReplies) {
    auto r = parse(">", FrameFormat::can11);
    EXPECT_TRUE(r.promptTerminated);
    EXPECT_TRUE(r.lines.empty() && r.ecus.empty() && r.text.empty() && !r.error);

    r = parse("41 0D 20", FrameFormat::headersOff); // no prompt: the whole text is parsed
    EXPECT_FALSE(r.promptTerminated);
    EXPECT_EQ(r.ecus.size(), 1u);

    r = parse("", FrameFormat::headersOff);
    EXPECT_FALSE(r.promptTerminated);
    EXPECT_TRUE(r.isEmpty());
    EXPECT_TRUE(r.lines.empty());

    r = parse("41 0D 20\r>41 0C 00 00\r>", FrameFormat::headersOff); // after the prompt: dropped
    ASSERT_EQ(r.ecus.size(), 1u);
    EXPECT_EQ(r.ecus[0].payload, (Bytes{0x41, 0x0D, 0x20}));
}

TEST(ELM327ParserTests, LineBreaksAndUnicodeSpaces) {
    const auto r = parse("\xC2\xA0" "41 0D 20\t\r\n\r\n>", FrameFormat::headersOff);
    EXPECT_EQ(r.lines, std::vector<std::string>{"41 0D 20"});
    ASSERT_EQ(r.ecus.size(), 1u);
}

TEST(ELM327ParserTests, InvalidUTF8BytesAreReplaced) {
    const Bytes raw{'4', '1', ' ', '0', 'D', 0xFF, '\r', '4', '1', ' ', '0', 'D', ' ', '2', '0', '\r', '>'};
    const auto r = ELM327Parser::parse(std::span<const std::uint8_t>(raw), FrameFormat::headersOff);
    ASSERT_EQ(r.text.size(), 1u);
    EXPECT_EQ(r.text[0], "41 0D\xEF\xBF\xBD");
    ASSERT_EQ(r.ecus.size(), 1u);
    EXPECT_EQ(r.ecus[0].payload, (Bytes{0x41, 0x0D, 0x20}));
}

TEST(ELM327ParserTests, EchoCheckOfResponseData) {
    const ECUResponse rpm{std::nullopt, {0x41, 0x0C, 0x1A, 0xF8}};
    EXPECT_EQ(rpm.data(OBDMode::currentData, 0x0C), (Bytes{0x1A, 0xF8}));
    EXPECT_EQ(rpm.data(OBDMode::currentData, 0x0D), std::nullopt);
    EXPECT_EQ(rpm.data(OBDMode::vehicleInfo, std::nullopt), std::nullopt);
    EXPECT_EQ(rpm.responseMode(), 0x41);
    EXPECT_EQ((ECUResponse{std::nullopt, {0x41, 0x0D, 0x20}}).data(OBDMode::currentData, 0x0C), std::nullopt);
    EXPECT_EQ((ECUResponse{std::nullopt, {0x41}}).data(OBDMode::currentData, 0x0C), std::nullopt);
    EXPECT_EQ((ECUResponse{std::nullopt, {0x41, 0x0C}}).data(OBDMode::currentData, 0x0C), Bytes{});
    EXPECT_EQ((ECUResponse{std::nullopt, {0x43, 0x01, 0x01, 0x33}}).data(OBDMode::storedDTCs, std::nullopt),
              (Bytes{0x01, 0x01, 0x33}));
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
    const FrameFormat formats[] = {FrameFormat::headersOff, FrameFormat::can11, FrameFormat::can29};
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
        const auto r = ELM327Parser::parse(bytes, formats[i % 3]);
        ASSERT_EQ(r.promptTerminated, input.find('>') != std::string::npos);
        ASSERT_LE(r.text.size() + r.ecus.size(), r.lines.size());
        for (const auto& ecu : r.ecus) ASSERT_FALSE(ecu.payload.empty());
        ASSERT_TRUE(!r.error || !r.lines.empty());
    }
}
