// Error words, OBD modes and commands, UDS vocabulary and trouble codes.
#include "VEQProtocol/DTC.hpp"
#include "VEQProtocol/ELM327Error.hpp"
#include "VEQProtocol/ISOTP.hpp"
#include "VEQProtocol/OBDCommand.hpp"
#include "VEQProtocol/UDSDTC.hpp"
#include "VEQProtocol/UDSService.hpp"

#include "TestSupport/FrenchLocale.hpp"

#include <gtest/gtest.h>

using namespace veq;
using Bytes = std::vector<std::uint8_t>;

TEST(ELM327ErrorTests, DetectInTableOrder) {
    using E = ELM327Error;
    const std::pair<const char*, std::optional<ELM327Error>> cases[] = {
        {" ? ", E::unknownCommand},       {"41 ? 0C", std::nullopt},    {"no data", E::noData},
        {"NODATA", E::noData},            {"NO DATA CAN ERROR", E::noData}, {"UNABLETOCONNECT", E::unableToConnect},
        {"BUFFER FULL", E::bufferFull},   {"BUS INIT: ...ERROR", E::busInitError}, {"BUS INIT: ...", std::nullopt},
        {"CAN ERROR", E::canError},       {"BUSERROR", E::busError},    {"<DATA ERROR", E::dataError},
        {"FB ERROR", E::feedbackError},   {"LV RESET", E::lowVoltageReset}, {"S T O P P E D", E::stopped},
        {"STOPPED 41 0C", std::nullopt},  {"SEARCHING", std::nullopt},  {"41 0C 1A F8", std::nullopt},
        {"<RX ERROR", E::dataError},      {"<rx error", E::dataError},  {"7E8 10 14 49 <RX ERROR", E::dataError},
        {"<RXERROR", E::dataError},       {"RX ERROR", std::nullopt},
    };
    for (const auto& [line, expected] : cases) EXPECT_EQ(detectELM327Error(line), expected) << line;
    for (ELM327Error e : allCases<ELM327Error>()) {
        EXPECT_EQ(fromRaw<ELM327Error>(rawValue(e)), e);
        const bool fatal = e == E::noData || e == E::unableToConnect || e == E::unknownCommand;
        EXPECT_EQ(isRecoverable(e), !fatal) << rawValue(e);
    }
    EXPECT_EQ(fromRaw<ELM327Error>("no data"), std::nullopt); // exact and case-sensitive
}

TEST(OBDCommandTests, RequestTextAndBytes) {
    EXPECT_EQ(OBDCommand(0x0C).requestBytes(), (Bytes{'0', '1', '0', 'C', 0x0D}));
    EXPECT_EQ(OBDCommand(OBDMode::vehicleInfo, 0x02).requestString(), "0902");
    const OBDCommand permanent(OBDMode::permanentDTCs, std::nullopt);
    EXPECT_EQ(permanent.requestString(), "0A");
    EXPECT_EQ(permanent.expectedResponseByte(), 0x4A);
    EXPECT_NE(OBDCommand(0x0C), OBDCommand(OBDMode::currentData, std::nullopt));
    veq::testing::FrenchLocale french; // titles are literals, unaffected by the locale
    EXPECT_EQ(description(OBDMode::currentData), "Mode 01 \u2014 Données temps réel");
    EXPECT_EQ(description(OBDMode::permanentDTCs), "Mode 0A \u2014 Codes permanents");
}

TEST(UDSVocabularyTests, ServicesNegativeResponsesAndErrors) {
    EXPECT_EQ(fromRaw<UDSSessionType>(0x04), std::nullopt);
    EXPECT_EQ(fromRaw<UDSSessionType>(0x03), UDSSessionType::extended);
    const auto pending = fromRaw<UDSNegativeResponse>(0x78);
    ASSERT_TRUE(pending);
    EXPECT_TRUE(isPending(*pending) && !shouldRetry(*pending));
    const auto busy = fromRaw<UDSNegativeResponse>(0x21);
    ASSERT_TRUE(busy);
    EXPECT_TRUE(shouldRetry(*busy) && !isPending(*busy));
    EXPECT_EQ(description(*busy), "Occupé \u2014 réémettre");

    EXPECT_EQ(UDSError::negative(0x22, 0x31).negativeResponseCode(), UDSNegativeResponse::requestOutOfRange);
    EXPECT_EQ(UDSError::negative(0x22, 0x50).negativeResponseCode(), std::nullopt);
    EXPECT_FALSE(UDSError::negative(0x22, 0x31) == UDSError::negative(0x2E, 0x31));
}

TEST(UDSDTCTests, StatusBitsAndIdentity) {
    const UDSDTC confirmed{*DTC::decode(0x03, 0x01), 0x00, 0x09};
    EXPECT_EQ(confirmed.id(), "P0301-00");
    EXPECT_TRUE(confirmed.testFailed() && confirmed.isConfirmed());
    EXPECT_FALSE(confirmed.isPending() || confirmed.warningIndicatorRequested());
    const UDSDTC lamp{*DTC::decode(0x03, 0x01), 0x1A, 0x80};
    EXPECT_EQ(lamp.id(), "P0301-1A");
    EXPECT_TRUE(lamp.warningIndicatorRequested());
    EXPECT_FALSE(lamp.testFailed() || lamp.isPending() || lamp.isConfirmed());
}

TEST(DTCTests, DecodeAndList) {
    struct Case { std::uint8_t a, b; const char* code; DTC::System system; };
    const Case cases[] = {
        {0x01, 0x33, "P0133", DTC::System::powertrain}, {0x41, 0x23, "C0123", DTC::System::chassis},
        {0x8A, 0xBC, "B0ABC", DTC::System::body},       {0xC1, 0x00, "U0100", DTC::System::network},
        {0x20, 0xEE, "P20EE", DTC::System::powertrain}, {0xFF, 0xFF, "U3FFF", DTC::System::network},
    };
    for (const auto& c : cases) {
        const auto dtc = DTC::decode(c.a, c.b);
        ASSERT_TRUE(dtc) << c.code;
        EXPECT_EQ(std::tie(dtc->code, dtc->system), std::tie(c.code, c.system));
        EXPECT_EQ(dtc->raw, std::make_pair(c.a, c.b));
    }
    EXPECT_EQ(DTC::decode(0x00, 0x00), std::nullopt);
    DTC a = *DTC::decode(0x03, 0x00);
    DTC b = a;
    b.raw = {0x43, 0x00};
    EXPECT_EQ(a, b); // same code, other bytes
    EXPECT_EQ(std::hash<DTC>{}(a), std::hash<DTC>{}(b));

    const auto codes = [](const Bytes& bytes) {
        std::vector<std::string> out;
        for (const auto& d : DTC::list(bytes)) out.push_back(d.code);
        return out;
    };
    EXPECT_EQ(codes({0x01, 0x33, 0x00, 0x00, 0x03, 0x00}), (std::vector<std::string>{"P0133", "P0300"}));
    EXPECT_EQ(codes({0x01, 0x33, 0x03}), (std::vector<std::string>{"P0133"})); // an odd byte is dropped
    EXPECT_TRUE(codes({0x01}).empty());
}

TEST(ISOTPTests, ReassemblyByControlNibble) {
    struct Case { std::vector<Bytes> frames; Bytes expected; };
    const Case cases[] = {
        {{}, {}},
        {{{}}, {}},
        {{{0x10}}, {}},                                                      // first frame too short
        {{{0x10, 0x0A, 0x49, 0x02, 0x01}}, {0x49, 0x02, 0x01}},              // no consecutive frame came
        {{{0x10, 0x05, 1, 2, 3}, {0x21, 4, 5, 6, 7}}, {1, 2, 3, 4, 5}},     // cut to the announced length
        {{{0x10, 0x06, 1, 2}, {0x30, 9, 9}, {0x21, 3, 4}, {}, {0x22, 5, 6}}, {1, 2, 3, 4, 5, 6}}, // flow control skipped
        {{{0x04, 0x41, 0x0C, 0x1A, 0xF8, 0x55}}, {0x41, 0x0C, 0x1A, 0xF8}}, // single frame, padding cut
        {{{0x07, 0x41, 0x0C}}, {0x41, 0x0C}},                               // shorter than announced
        {{{0x02, 0x41, 0x0D}, {0x02, 0x41, 0x0C}}, {0x41, 0x0D}},            // later frames ignored
        {{{0x41, 0x0C, 0x1A}}, {0x41, 0x0C, 0x1A}},                          // PCI already removed
        {{{0x49, 0x02}, {0x31, 0x47}}, {0x49, 0x02, 0x31, 0x47}},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(ISOTP::reassemble(cases[i].frames), cases[i].expected) << i;
}

// Every first or single frame begins a message of its own, cutting short the one under way, and a
// consecutive frame out of sequence ends its message cut short: no frame printed twice, lost or
// left over from a message given up is ever taken into another.
TEST(ISOTPTests, EachMessageOfOneECUAsItWasSent) {
    using ISOTP::Cut;
    using M = ISOTP::Message;
    const Bytes pending{0x7F, 0x22, 0x78};
    const Bytes pendingFrame{0x03, 0x7F, 0x22, 0x78, 0, 0, 0, 0};
    // A message of 6 + 17 x 7 bytes: its sequence numbers run 1 to F, then 0 and 1.
    std::vector<Bytes> long17{{0x10, 125, 0, 1, 2, 3, 4, 5}};
    Bytes long17Bytes{0, 1, 2, 3, 4, 5};
    for (int n = 1; n <= 17; ++n) {
        Bytes frame{static_cast<std::uint8_t>(0x20 | (n & 0x0F))};
        for (int b = 0; b < 7; ++b) frame.push_back(static_cast<std::uint8_t>(long17Bytes.size() + b));
        long17Bytes.insert(long17Bytes.end(), frame.begin() + 1, frame.end());
        long17.push_back(frame);
    }
    std::vector<Bytes> long17Skipping = long17;
    long17Skipping.erase(long17Skipping.begin() + 16); // the frame numbered 0 lost: 1 comes after F
    struct Case { std::vector<Bytes> frames; M first; std::vector<M> later; };
    const Case cases[] = {
        {{pendingFrame, {0x04, 0x62, 0xF1, 0x90, 0x41, 0, 0, 0}}, {pending}, {{{0x62, 0xF1, 0x90, 0x41}}}},
        {{pendingFrame, pendingFrame, {0x02, 0x50, 0x03, 0, 0}}, {pending}, {{pending}, {{0x50, 0x03}}}},
        {{pendingFrame, {0x10, 0x09, 0x62, 0xF1, 0x90, 1, 2, 3}, {0x21, 4, 5, 6, 0, 0, 0, 0}}, {pending},
         {{{0x62, 0xF1, 0x90, 1, 2, 3, 4, 5, 6}}}},
        // a second multi-frame message after a complete one
        {{{0x10, 0x07, 1, 2, 3, 4, 5, 6}, {0x21, 7, 0, 0}, {0x10, 0x08, 9, 8, 7, 6, 5, 4}, {0x21, 3, 2}},
         {{1, 2, 3, 4, 5, 6, 7}}, {{{9, 8, 7, 6, 5, 4, 3, 2}}}},
        {{{0x10, 0x07, 1, 2, 3, 4, 5, 6}, {0x21, 7, 0, 0}, {0x21, 9}, {0x01, 0x44}}, {{1, 2, 3, 4, 5, 6, 7}}, {{{0x44}}}},
        {{pendingFrame, {0x10, 0x09, 0x62, 0xF1, 0x90, 1, 2, 3}}, {pending}, {{{0x62, 0xF1, 0x90, 1, 2, 3}, Cut::ended}}},
        {{pendingFrame, {0x10, 0x09, 0x62, 0xF1}, {0x03, 0x7E, 0x00, 0x00}}, {pending},
         {{{0x62, 0xF1}, Cut::interrupted}, {{0x7E, 0x00, 0x00}}}},
        {{pendingFrame, {0x21, 1, 2}, {0x41, 0x0C}, {}, {0x00, 0x41}}, {pending}, {}},         // no message's frames
        {{{0x10, 0x0A, 1, 2, 3, 4, 5, 6}, {0x02, 0x50, 0x03}, {0x21, 7, 8, 9, 10}}, {{1, 2, 3, 4, 5, 6}, Cut::interrupted},
         {{{0x50, 0x03}}}},
        // interrupted by its own message sent again, whole
        {{{0x10, 0x0C, 1, 2, 3, 4, 5, 6}, {0x21, 7, 8}, {0x10, 0x08, 1, 2, 3, 4, 5, 6}, {0x21, 7, 8}},
         {{1, 2, 3, 4, 5, 6, 7, 8}, Cut::interrupted}, {{{1, 2, 3, 4, 5, 6, 7, 8}}}},
        // a consecutive frame printed twice, then the next
        {{{0x10, 0x0E, 1, 2, 3, 4, 5, 6}, {0x21, 7, 8, 9, 10, 11, 12, 13}, {0x21, 7, 8, 9, 10, 11, 12, 13}, {0x22, 14}},
         {{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13}, Cut::outOfSequence}, {}},
        // a consecutive frame lost, then one that would fill the length
        {{{0x10, 0x0D, 1, 2, 3, 4, 5, 6}, {0x22, 7, 8, 9, 10, 11, 12, 13}}, {{1, 2, 3, 4, 5, 6}, Cut::outOfSequence}, {}},
        {long17, {long17Bytes}, {}},
        {long17Skipping, {Bytes(long17Bytes.begin(), long17Bytes.begin() + 6 + 15 * 7), Cut::outOfSequence}, {}},
        {{{0x41, 0x0C}, {0x02, 0x41, 0x0D}}, {{0x41, 0x0C, 0x02, 0x41, 0x0D}}, {}},           // no control bytes: joined
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        ISOTP::Reassembler reassembler;
        for (const Bytes& frame : cases[i].frames) reassembler.add(frame);
        const ISOTP::Reassembler::Messages messages = reassembler.takeAll();
        EXPECT_EQ(messages.first, cases[i].first) << i;
        EXPECT_EQ(messages.later, cases[i].later) << i;
        EXPECT_EQ(ISOTP::reassemble(cases[i].frames), cases[i].first.bytes) << i;
    }
}
